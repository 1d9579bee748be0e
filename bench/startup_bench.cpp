// Start-up to the first written frame of a headless render, in process and as a whole
// `kaleon --render` run. Reference: starting a process that does nothing (/bin/true).

#include "host/offscreen_host.h"
#include "saver/kaleon_screensaver_view.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>

using namespace kaleon;

extern char** environ;

namespace {

std::filesystem::path scratch()
{
    static const auto folder = std::filesystem::temp_directory_path() / "kaleon-startup-bench";
    return folder;
}

void run(std::vector<std::string> arguments)
{
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (::posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        std::abort();
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::abort();
}

void BM_SpawnTrueReference(benchmark::State& state)
{
    for (auto _ : state)
        run({ "/bin/true" });
}
BENCHMARK(BM_SpawnTrueReference)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_KaleonRenderFirstFrame(benchmark::State& state)
{
    for (auto _ : state)
        run({ KALEON_BINARY, "--render", scratch().string(), "--frames", "1", "--size", "1920x1080" });
}
BENCHMARK(BM_KaleonRenderFirstFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_InProcessFirstFrame(benchmark::State& state)
{
    host::RenderOptions options;
    options.directory = scratch();
    options.frames = 1;
    options.size = { 1920, 1080 };
    for (auto _ : state) {
        const auto written = host::renderOffscreen(options,
            [](gfx::Rect frame, bool isPreview) { return saver::KaleonScreensaverView::make(frame, isPreview); });
        benchmark::DoNotOptimize(written.has_value());
    }
}
BENCHMARK(BM_InProcessFirstFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    ::setenv("KALEON_RESOURCES", KALEON_RESOURCES_DIR, 1);
    ::setenv("XDG_CONFIG_HOME", (scratch() / "config").c_str(), 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(scratch());
    return 0;
}
