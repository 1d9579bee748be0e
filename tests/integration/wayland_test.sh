#!/usr/bin/env bash
# Installs Kaleon into a temporary prefix and runs `kaleon --fullscreen` on a headless sway with
# two outputs, as an unprivileged user: each output must show colours of the palette and a
# shape, an output added while it runs must be covered too, a key must end it (every time),
# swayidle must start it on idle. Then once on a headless weston, which has no layer shell:
# the full-screen windows stand in, and SIGTERM ends it.
#
#     wayland_test.sh BUILD_DIR SOURCE_DIR SCREEN_PROBE POINTER
# Exit status 77 (skipped) when sway, grim or wtype is missing or sway cannot start.
set -uo pipefail
build=$1 source=$2 probe=$3 pointer=$4
. "$(dirname "$0")/screen_checks.sh"
skip() { echo "SKIPPED: $*"; exit 77; }
fail() {
    echo "FAILED: $*"
    for log in "$work"/*.log; do [ -s "$log" ] && { echo "--- ${log##*/}"; tail -15 "$log"; }; done
    exit 1
}
for tool in sway swaymsg grim wtype; do
    command -v "$tool" >/dev/null || skip "no $tool (Debian packages sway, grim, wtype)"
done

work=$(mktemp -d /tmp/kaleon-wayland-XXXXXX)
chmod 755 "$work"
cleanup() {
    [ -n "${saver:-}" ] && kill -KILL "$saver" 2>/dev/null
    for pid in ${idle:-} ${compositor:-}; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null || fail "cmake --install"
chmod -R a+rX "$work/prefix"
cp "$pointer" "$work/prefix/bin/" && chmod a+rx "$work/prefix/bin/${pointer##*/}"
palette=$(palette_colours Ocean.plist)

# sway will not run as root: it, and everything that talks to it, runs as nobody.
as_user=()
runtime="$work/runtime" home="$work/home"
mkdir -p "$runtime" "$home"
chmod 700 "$runtime"
if [ "$(id -u)" -eq 0 ]; then
    command -v setpriv >/dev/null || skip "running as root without setpriv"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    chown nobody:nogroup "$runtime" "$home"
fi
user_env=(env -i HOME="$home" XDG_RUNTIME_DIR="$runtime" PATH="$work/prefix/bin:/usr/bin:/bin"
    LSAN_OPTIONS=detect_leaks=0 ASAN_OPTIONS=detect_leaks=0)
as() { "${as_user[@]}" "${user_env[@]}" "$@"; }
# Starts a command as the user in the background, its output to LOG; $! is its own process id
# (setpriv and env exec it), so that signals sent to $! reach it.
spawn() { # spawn LOG COMMAND...
    local log=$1
    shift
    "${as_user[@]}" "${user_env[@]}" "$@" </dev/null >"$log" 2>&1 &
}

# Every output shows colours of Ocean only, and at least two: the background and a shape.
check_outputs() { # check_outputs OUTPUT...
    local files=()
    for output in "$@"; do
        as WAYLAND_DISPLAY="$socket" grim -o "$output" "$home/$output.png" 2>>"$work/grim.log" \
            || fail "grim cannot take $output"
        files+=("$home/$output.png")
    done
    check_pictures "${files[@]}"
}

check_pictures() { # check_pictures PNG...
    local shown
    shown=$("$probe" --png "$@") || fail "cannot read the pictures"
    echo "$shown"
    check_shown output "$palette" "$shown"
}

start_kaleon() { # start_kaleon LOG: a saver on $socket, as an idle manager would start it
    spawn "$1" WAYLAND_DISPLAY="$socket" kaleon --fullscreen --speed 100 --palette Ocean
    saver=$!
}

# Waits up to $2 tenths of a second for process $1 to end; its status is in $ended.
await_end() {
    for _ in $(seq "$2"); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$1" 2>/dev/null && return 1
    wait "$1"; ended=$?
    return 0
}

# sway, headless, with a first output; a second one made before the saver starts.
sway_config="$work/sway.conf"
echo 'output * mode 800x600' > "$sway_config"
chmod 644 "$sway_config"
spawn "$work/sway.log" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$sway_config"
compositor=$!
socket= ipc=
for _ in $(seq 100); do
    socket=$(cd "$runtime" && ls wayland-[0-9] 2>/dev/null | head -1)
    ipc=$(ls "$runtime"/sway-ipc.*.sock 2>/dev/null | head -1)
    [ -n "$socket" ] && [ -n "$ipc" ] && break
    kill -0 "$compositor" 2>/dev/null || break
    sleep 0.1
done
[ -n "$socket" ] && [ -n "$ipc" ] || skip "sway did not start: $(tail -3 "$work/sway.log" | tr "\n" " ")"
sm() { as swaymsg -s "$ipc" "$@" >/dev/null; }
sm create_output || fail "swaymsg create_output"
outputs() { as swaymsg -s "$ipc" -t get_outputs -r | grep -o '"name": "[^"]*"' | cut -d'"' -f4; }
for _ in $(seq 20); do [ "$(outputs | wc -l)" -ge 2 ] && break; sleep 0.1; done
[ "$(outputs | wc -l)" -eq 2 ] || fail "sway made no second output: $(outputs | tr "\n" " ")"

echo "sway: two outputs, $(outputs | tr "\n" " ")"
start_kaleon "$work/kaleon.log"
sleep 3.5 # three intervals at --speed 100: shapes have come in
kill -0 "$saver" 2>/dev/null || fail "kaleon ended by itself"
grep -q "no layer shell" "$work/kaleon.log" && fail "kaleon did not find sway's layer shell"
mapfile -t first < <(outputs)
check_outputs "${first[@]}"

# An output plugged in while the saver runs is covered too.
sm create_output || fail "swaymsg create_output"
sleep 2
mapfile -t all < <(outputs)
[ "${#all[@]}" -eq 3 ] || fail "sway made no third output"
echo "output added while running: ${all[2]}"
check_outputs "${all[2]}"

# A HiDPI output: scale 2 gives it pictures of twice the points.
sm output "${all[0]}" scale 2 || fail "swaymsg output scale"
sleep 1.5
kill -0 "$saver" 2>/dev/null || fail "kaleon ended when an output's scale changed"
check_outputs "${all[0]}"
echo "output ${all[0]} at scale 2 still covered"

# A key ends it. wtype's keyboard must be seen before its key is: it holds the key down a while.
as WAYLAND_DISPLAY="$socket" wtype -s 400 x || fail "wtype"
await_end "$saver" 20 || fail "kaleon still runs two seconds after a key"
[ "$ended" -eq 0 ] || fail "kaleon ended with status $ended after a key"
echo "a key ended it"

# `kaleon --quit` ends it, as an idle manager's resume command does; with none left it says so.
start_kaleon "$work/quit.log"
sleep 1.5
as kaleon --quit || fail "kaleon --quit did not end the saver"
await_end "$saver" 5 || fail "kaleon still runs after kaleon --quit returned"
as kaleon --quit 2>"$work/quit-again.log" && fail "kaleon --quit found a saver where none runs"
grep -q "no full-screen saver is running" "$work/quit-again.log" || fail "kaleon --quit with none running said: $(cat "$work/quit-again.log")"
echo "kaleon --quit ended it"

# The pointer: a move of a few points is noise, one past them ends it, and so does a click.
start_kaleon "$work/pointer.log"
sleep 1.5
as WAYLAND_DISPLAY="$socket" kaleon_wayland_pointer move 4 3 || fail "cannot move a virtual pointer"
sleep 0.5
kill -0 "$saver" 2>/dev/null || fail "a pointer move of 5 points ended kaleon"
as WAYLAND_DISPLAY="$socket" kaleon_wayland_pointer move 40 30 || fail "cannot move a virtual pointer"
await_end "$saver" 20 || fail "kaleon still runs two seconds after the pointer moved 50 points"
[ "$ended" -eq 0 ] || fail "kaleon ended with status $ended after the pointer moved"
start_kaleon "$work/click.log"
sleep 1.5
as WAYLAND_DISPLAY="$socket" kaleon_wayland_pointer click || fail "cannot click a virtual pointer"
await_end "$saver" 20 || fail "kaleon still runs two seconds after a click"
echo "a small move was ignored; a larger one ended it, and so did a click"

# Every time: twenty starts, each ended by a key as soon as it covers the outputs.
for run in $(seq 20); do
    start_kaleon "$work/run.log"
    sleep 1.5
    kill -0 "$saver" 2>/dev/null || fail "run $run: kaleon ended by itself"
    as WAYLAND_DISPLAY="$socket" wtype -s 400 x || fail "wtype"
    await_end "$saver" 30 || fail "run $run: kaleon still runs three seconds after a key"
    [ "$ended" -eq 0 ] || fail "run $run: kaleon ended with status $ended"
done
echo "20 of 20 runs ended by a key"

# swayidle starts it when the seat has been idle a second, and `kaleon --quit` ends it on resume.
if command -v swayidle >/dev/null; then
    spawn "$work/swayidle.log" WAYLAND_DISPLAY="$socket" swayidle timeout 1 'kaleon --fullscreen --speed 100 --seed 7' \
        resume 'kaleon --quit'
    idle=$!
    for _ in $(seq 50); do pgrep -f "^kaleon --fullscreen --speed 100 --seed 7$" >/dev/null && break; sleep 0.1; done
    pgrep -f "^kaleon --fullscreen --speed 100 --seed 7$" >/dev/null || fail "swayidle did not start kaleon"
    sleep 1.5
    as WAYLAND_DISPLAY="$socket" wtype -s 400 x || fail "wtype"
    for _ in $(seq 30); do pgrep -f "^kaleon --fullscreen --speed 100 --seed 7$" >/dev/null || break; sleep 0.1; done
    pgrep -f "^kaleon --fullscreen --speed 100 --seed 7$" >/dev/null && fail "kaleon started by swayidle still runs after a key"
    # A second idle second after the key starts another: it goes with swayidle.
    kill "$idle"; wait "$idle" 2>/dev/null; idle=
    as kaleon --quit 2>/dev/null
    echo "swayidle started it on idle; it ended on the next key"
else
    echo "swayidle check skipped: no swayidle (Debian package swayidle)"
fi
# The settings window is a Wayland window of its own here (no DISPLAY to fall back on).
as WAYLAND_DISPLAY="$socket" timeout 30 kaleon-config --screenshot "$home/settings.png" >"$work/settings.log" 2>&1 \
    || fail "kaleon-config cannot show its window on Wayland"
[ -s "$home/settings.png" ] || fail "kaleon-config took no picture of its window on Wayland"
echo "kaleon-config: a native Wayland window"

# Through Xwayland (SDL on X11) each output has a window of its own too.
if command -v Xwayland >/dev/null; then
    sm exec "printenv DISPLAY > $home/display"
    for _ in $(seq 30); do [ -s "$home/display" ] && break; sleep 0.1; done
    x_display=$(cat "$home/display" 2>/dev/null)
    [ -n "$x_display" ] || fail "sway started no Xwayland"
    spawn "$work/xwayland.log" DISPLAY="$x_display" WAYLAND_DISPLAY="$socket" kaleon --fullscreen --backend x11 \
        --speed 100 --palette Ocean
    saver=$!
    sleep 3.5
    kill -0 "$saver" 2>/dev/null || fail "kaleon ended by itself under Xwayland"
    check_outputs "${all[@]}"
    as WAYLAND_DISPLAY="$socket" wtype -s 400 x || fail "wtype"
    await_end "$saver" 20 || fail "kaleon still runs under Xwayland two seconds after a key"
    spawn "$work/xwayland.log" DISPLAY="$x_display" WAYLAND_DISPLAY="$socket" kaleon --fullscreen --backend x11
    saver=$!
    sleep 1.5
    as WAYLAND_DISPLAY="$socket" kaleon_wayland_pointer move 40 30 || fail "cannot move a virtual pointer"
    await_end "$saver" 20 || fail "kaleon still runs under Xwayland two seconds after the pointer moved 50 points"
    echo "Xwayland ($x_display): every output covered; a key ended it, and the pointer"
else
    echo "Xwayland check skipped: no Xwayland (Debian package xwayland)"
fi
kill "$compositor"; wait "$compositor" 2>/dev/null; compositor=

# weston has no layer shell: a full-screen window on each output, said once, and SIGTERM ends it.
if command -v weston >/dev/null; then
    spawn "$work/weston.log" weston --backend=headless-backend.so --socket=wayland-weston --idle-time=0 \
        --use-pixman --width=800 --height=600 --debug
    compositor=$!
    for _ in $(seq 50); do [ -S "$runtime/wayland-weston" ] && break; sleep 0.1; done
    if [ -S "$runtime/wayland-weston" ]; then
        socket=wayland-weston
        start_kaleon "$work/weston-kaleon.log"
        sleep 2
        kill -0 "$saver" 2>/dev/null || fail "kaleon ended by itself on weston"
        [ "$(grep -c "no layer shell; covering each output with a full-screen window" "$work/weston-kaleon.log")" -eq 1 ] \
            || fail "kaleon did not say once that it falls back to full-screen windows"
        if command -v weston-screenshooter >/dev/null; then
            (cd "$home" && rm -f wayland-screenshot-*.png && as WAYLAND_DISPLAY="$socket" weston-screenshooter) \
                || fail "weston-screenshooter"
            check_pictures "$home"/wayland-screenshot-*.png
        fi
        kill -TERM "$saver"
        await_end "$saver" 10 || fail "kaleon still runs a second after SIGTERM on weston"
        [ "$ended" -eq 143 ] || fail "kaleon did not end by SIGTERM (status $ended)"
        echo "weston: full-screen windows instead of the layer shell; SIGTERM ended it"
    else
        echo "weston check skipped: weston did not start: $(tail -2 "$work/weston.log" | tr "\n" " ")"
    fi
else
    echo "weston check skipped: no weston (Debian package weston)"
fi
echo "PASSED"
