# Two entry points do all set-up: `make run` and `make test`.
SHELL := /bin/bash
BUILD_RELEASE := build/release
BUILD_DEBUG := build/debug
WERROR ?= OFF
JOBS ?= $(shell nproc)
FRAMES ?= 4
SIZE ?= 1280x720
RENDER_DIR ?= render

.PHONY: release-configure package package-check catalogue-goal run test soak bench fuzz fuzz-smoke tsan artwork deps release debug clean format format-check tidy

deps:
	@scripts/install-deps

release-configure: deps
	@cmake -S . -B $(BUILD_RELEASE) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKALEON_WERROR=$(WERROR) >/dev/null

release: release-configure
	@cmake --build $(BUILD_RELEASE) -j $(JOBS)

debug: deps
	@cmake -S . -B $(BUILD_DEBUG) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKALEON_SANITIZE=ON -DKALEON_WERROR=$(WERROR) >/dev/null
	@cmake --build $(BUILD_DEBUG) -j $(JOBS)

# A window where a display exists; otherwise a headless render to PNG files.
# Builds only the saver (not the tests and benchmarks) before it runs.
run: release-configure
	@cmake --build $(BUILD_RELEASE) -j $(JOBS) --target kaleon
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	    $(BUILD_RELEASE)/apps/kaleon/kaleon; \
	else \
	    echo "No display: rendering $(FRAMES) frames headless instead."; \
	    $(BUILD_RELEASE)/apps/kaleon/kaleon --render $(RENDER_DIR) --frames $(FRAMES) --size $(SIZE); \
	fi

# Debug build with AddressSanitizer and UndefinedBehaviorSanitizer; GUI tests get a virtual display.
test: debug
	@if [ -n "$$DISPLAY" ]; then \
	    cd $(BUILD_DEBUG) && ctest --output-on-failure -j $(JOBS); \
	else \
	    cd $(BUILD_DEBUG) && xvfb-run -a ctest --output-on-failure -j $(JOBS); \
	fi

# The saver for 10,000 frames at 1280x720 and 500 at 2560x1440 scale 2, settings changing as
# it goes, on the optimised build: the tree and the resident memory must stay flat.
SOAK_FRAMES ?= 10000
SOAK_LARGE_FRAMES ?= 500
soak: release-configure
	@cmake --build $(BUILD_RELEASE) -j $(JOBS) --target kaleon_soak_tests
	@KALEON_SOAK_FRAMES=$(SOAK_FRAMES) KALEON_SOAK_LARGE_FRAMES=$(SOAK_LARGE_FRAMES) $(BUILD_RELEASE)/tests/kaleon_soak_tests

# Medians of five for each benchmark; the display benchmark (minutes of a virtual X server) runs once.
bench: release
	@for b in $(BUILD_RELEASE)/bench/kaleon_*_bench; do \
	    [ $$b = $(BUILD_RELEASE)/bench/kaleon_display_bench ] && continue; \
	    $$b --benchmark_repetitions=5 --benchmark_report_aggregates_only=true; done
	@$(BUILD_RELEASE)/bench/kaleon_display_bench

# Every case of the bad-input catalogue on the optimised build, each within the goal's 2 s and
# 200 MB, with its figures.
catalogue-goal: release
	@KALEON_CATALOGUE_GOAL=1 $(BUILD_RELEASE)/tests/kaleon_apps_tests --gtest_filter='BadInputCatalogue.*'

BUILD_TSAN := build/tsan

# The queue, bitmap pool and cryptor tests under ThreadSanitizer.
tsan: deps
	@cmake -S . -B $(BUILD_TSAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKALEON_TSAN=ON -DKALEON_BUILD_BENCH=OFF -DKALEON_WERROR=$(WERROR) >/dev/null
	@cmake --build $(BUILD_TSAN) -j $(JOBS) --target kaleon_core_tests kaleon_gfx_tests kaleon_container_tests
	@TSAN_OPTIONS=halt_on_error=1 $(BUILD_TSAN)/tests/kaleon_core_tests --gtest_filter='SerialQueue*:NotificationCenter*'
	@TSAN_OPTIONS=halt_on_error=1 $(BUILD_TSAN)/tests/kaleon_gfx_tests
	@TSAN_OPTIONS=halt_on_error=1 $(BUILD_TSAN)/tests/kaleon_container_tests

BUILD_FUZZ := build/fuzz
FUZZ_SECONDS ?= 30
FUZZERS := decimal path_data svg_reader svg_round_trip legacy_tokenizer hex_color container_reader openssl_reader \
	palette_reader settings_reader shape
# What one input may cost before it counts as a finding; the end-to-end shape fuzzer is held
# to what the saver may spend on a user's file.
FUZZ_LIMITS := -rss_limit_mb=2048 -timeout=60
FUZZ_LIMITS_shape := -rss_limit_mb=512 -timeout=5

fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALEON_FUZZ=ON -DKALEON_WERROR=$(WERROR) >/dev/null
	@cmake --build $(BUILD_FUZZ) -j $(JOBS)

# Runs every fuzzer for FUZZ_SECONDS from the seed corpus (new inputs go to a scratch folder).
fuzz-smoke: fuzz
	@for f in $(FUZZERS); do \
	    scratch=$$(mktemp -d); \
	    echo "fuzzing $$f for $(FUZZ_SECONDS) s"; \
	    limits="$(FUZZ_LIMITS)"; [ $$f = shape ] && limits="$(FUZZ_LIMITS_shape)"; \
	    $(BUILD_FUZZ)/fuzz/$${f}_fuzzer -max_total_time=$(FUZZ_SECONDS) -max_len=65536 $$limits \
	        -print_final_stats=0 $$scratch fuzz/corpus/$$f 2>&1 | grep -E "^(==|SUMMARY|Done|INFO: a crash)|ERROR" ; \
	    status=$${PIPESTATUS[0]}; rm -rf $$scratch; \
	    [ $$status -eq 0 ] || { echo "fuzzer $$f failed"; exit 1; }; \
	done

# Makes the shapes, the logo and the README's contact sheet again (the same bytes every time).
artwork: release
	@$(BUILD_RELEASE)/tools/kaleon_make_artwork resources --contact-sheet docs/contact-sheet.png

SOURCES = $(shell git ls-files '*.cpp' '*.h')

# Rewrites every source file in the project's style.
format:
	@clang-format -i $(SOURCES)

# Fails when a source file is not in the project's style.
format-check: deps
	@clang-format --dry-run -Werror $(SOURCES)

# The checks of .clang-tidy over all our code, tests and benchmarks too (the Release build's
# compile commands).
tidy: release
	@run-clang-tidy -p $(BUILD_RELEASE) -quiet -extra-arg=-Wno-unknown-warning-option 'src/' 'apps/' 'tools/' 'tests/' 'bench/' > $(BUILD_RELEASE)/clang-tidy.log 2>&1 \
	    || { grep -E 'error:|warning:' $(BUILD_RELEASE)/clang-tidy.log | sort -u; exit 1; }

BUILD_PACKAGE := build/package

# A Debian package, build/package/kaleon_VERSION_ARCH.deb, for /usr.
package: deps
	@cmake -S . -B $(BUILD_PACKAGE) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
	    -DKALEON_BUILD_TESTS=OFF -DKALEON_BUILD_BENCH=OFF -DKALEON_WERROR=$(WERROR) >/dev/null
	@cmake --build $(BUILD_PACKAGE) -j $(JOBS)
	@cd $(BUILD_PACKAGE) && cpack -G DEB | tail -1

# The package as Debian's own checker sees it: no error and no warning.
package-check: package
	@scripts/install-deps lintian
	@lintian --fail-on error,warning --tag-display-limit 0 $(BUILD_PACKAGE)/kaleon_*.deb 2>&1 | grep -v "root privileges"; \
	    status=$${PIPESTATUS[0]}; [ $$status -eq 0 ] && echo "lintian: the package is clean"; exit $$status

clean:
	rm -rf build
