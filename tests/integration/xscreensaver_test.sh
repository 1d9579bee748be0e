#!/usr/bin/env bash
# Installs Kaleon into a temporary prefix and runs it as a hack under the real XScreenSaver
# daemon on a virtual X server, as an unprivileged user: the hack must fill each screen with
# colours of the palette it was given, bring shapes in, and end by SIGTERM when the daemon
# unblanks. Run once with one X screen and once with two.
#
#     xscreensaver_test.sh BUILD_DIR SOURCE_DIR SCREEN_PROBE
# Exit status 77 (skipped) when Xvfb or the daemon is missing or cannot start.
set -uo pipefail
build=$1 source=$2 probe=$3
. "$(dirname "$0")/screen_checks.sh"
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*"; [ -f "$work/daemon.log" ] && tail -20 "$work/daemon.log"; exit 1; }
command -v Xvfb >/dev/null || skip "no Xvfb"
command -v xscreensaver >/dev/null || skip "no xscreensaver (Debian package xscreensaver)"

work=$(mktemp -d /tmp/kaleon-xss-XXXXXX)
chmod 755 "$work"
cleanup() {
    [ -n "${daemon:-}" ] && kill "$daemon" 2>/dev/null
    [ -n "${server:-}" ] && kill "$server" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null || fail "cmake --install"
chmod -R a+rX "$work/prefix"
# The palette the hack is told to use, and its colours.
palette=$(palette_colours Ocean.plist)

# The daemon refuses to run as root: run it (and so the hack) as nobody.
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    command -v setpriv >/dev/null || skip "running as root without setpriv"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi

run() { # run SCREENS...: one X screen per argument (WxH)
    local display=:$((70 + RANDOM % 400)) screens=() home="$work/home"
    for size in "$@"; do screens+=(-screen "$((${#screens[@]} / 3))" "${size}x24"); done
    rm -rf "$home"; mkdir -p "$home"
    cat > "$home/.xscreensaver" <<CONF
mode:		one
selected:	0
timeout:	0:30:00
lock:		False
splash:		False
fade:		False
unfade:		False
programs:	kaleon -root -speed 100 -palette Ocean
CONF
    [ "$(id -u)" -eq 0 ] && chown -R nobody:nogroup "$home"
    Xvfb "$display" "${screens[@]}" -nolisten tcp >"$work/xvfb.log" 2>&1 & server=$!
    for _ in $(seq 50); do DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    DISPLAY=$display xdpyinfo >/dev/null 2>&1 || skip "Xvfb did not start"
    local env=(env -i HOME="$home" DISPLAY="$display" PATH="$work/prefix/bin:/usr/bin:/bin"
        LSAN_OPTIONS=detect_leaks=0 ASAN_OPTIONS=detect_leaks=0)
    # The probe adopts the hack if the daemon leaves it behind, and says how it ended. A daemon
    # started just as the server comes up sometimes leaves at once: it gets three tries.
    for _ in 1 2 3; do
        "$probe" --reap "$work/ended.log" "${as_user[@]}" "${env[@]}" xscreensaver -no-splash -verbose \
            </dev/null >"$work/daemon.log" 2>&1 & daemon=$!
        for _ in $(seq 50); do
            "${as_user[@]}" "${env[@]}" xscreensaver-command -version >/dev/null 2>&1 && break
            kill -0 "$daemon" 2>/dev/null || break
            sleep 0.1
        done
        kill -0 "$daemon" 2>/dev/null && break
        sleep 0.5
    done
    kill -0 "$daemon" 2>/dev/null || skip "the daemon did not start: $(tail -3 "$work/daemon.log" | tr "\n" " ") $(cat "$work/ended.log")"
    "${as_user[@]}" "${env[@]}" xscreensaver-command -activate >/dev/null || fail "activate"

    local hacks=0
    for _ in $(seq 100); do
        hacks=$(pgrep -c -f "^kaleon -root" || true)
        [ "$hacks" -ge $# ] && break
        sleep 0.1
    done
    [ "$hacks" -eq $# ] || fail "$# screens but $hacks hacks running: $(pgrep -a -f "^kaleon -root")"
    sleep 3.5 # three intervals: shapes have come in
    local shown
    shown=$(DISPLAY=$display "$probe") || fail "cannot read the screens"
    echo "$shown"
    [ "$(echo "$shown" | wc -l)" -eq $# ] || fail "expected $# screens"
    check_shown screen "$palette" "$shown"

    "${as_user[@]}" "${env[@]}" xscreensaver-command -deactivate >/dev/null || fail "deactivate"
    # SIGTERM ends the hack at once (within a frame), before the screen has faded back in.
    for _ in $(seq 10); do pgrep -f "^kaleon -root" >/dev/null || break; sleep 0.1; done
    pgrep -f "^kaleon -root" >/dev/null && fail "the hack is still running a second after the daemon unblanked"
    for _ in $(seq 50); do grep -q "^kaleon " "$work/ended.log" "$work/daemon.log" && break; sleep 0.1; done
    grep -q "(kaleon) terminated with signal 15" "$work/daemon.log" || grep -q "^kaleon signal 15" "$work/ended.log" \
        || fail "the hack did not end by SIGTERM: $(cat "$work/ended.log")"
    "${as_user[@]}" "${env[@]}" xscreensaver-command -exit >/dev/null 2>&1
    wait "$daemon" 2>/dev/null; daemon=
    kill "$server"; wait "$server" 2>/dev/null; server=
}

# The settings tool reads kaleon.xml from its own folder only: show it ours in a mount
# namespace of this test's own. It must match every option of a command line that sets them
# all, keep them all, and run the hack in its preview.
settings_tool() {
    [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null && command -v xscreensaver-settings >/dev/null \
        || { echo "settings tool check skipped: needs root, unshare and xscreensaver-settings"; return; }
    local display=:$((70 + RANDOM % 400)) home="$work/settings-home" config="$work/config"
    mkdir -p "$home" "$config"
    cp /usr/share/xscreensaver/config/*.xml "$config/" 2>/dev/null
    cp "$work/prefix/share/xscreensaver/config/kaleon.xml" "$config/"
    local line="kaleon --root --speed 300 --direction 2 --palette Ocean.plist --fps"
    printf 'mode:\tone\nselected:\t0\nprograms:\t%s\n' "$line" > "$home/.xscreensaver"
    chown -R nobody:nogroup "$home"
    Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >"$work/xvfb.log" 2>&1 & server=$!
    for _ in $(seq 50); do DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    # Mounted as root; the tool itself, like the daemon, runs no hack as root.
    unshare -m bash -c "mount --bind '$config' /usr/share/xscreensaver/config && \
        setpriv --reuid=nobody --regid=nogroup --clear-groups env -i HOME='$home' DISPLAY=$display \
        PATH='$work/prefix/bin:/usr/bin:/bin' ASAN_OPTIONS=detect_leaks=0 timeout 5 xscreensaver-settings --debug" \
        >"$work/settings.log" 2>&1
    kill "$server"; wait "$server" 2>/dev/null; server=
    grep -q "reading .*/kaleon.xml" "$work/settings.log" || { cat "$work/settings.log"; fail "the settings tool did not read kaleon.xml"; }
    grep "WARNING: kaleon" "$work/settings.log" && fail "kaleon.xml does not describe every option"
    grep -q "scheduling preview \"$line\"" "$work/settings.log" || fail "the settings tool dropped options of \"$line\""
    grep -q "forked [0-9]* (kaleon)" "$work/settings.log" || fail "the settings tool's preview did not run kaleon"
    grep -q "(kaleon) died" "$work/settings.log" && { cat "$work/settings.log"; fail "the hack died in the settings tool's preview"; }
    echo "settings tool: kaleon.xml read, every option kept, preview running"
}

run 640x480
run 640x480 480x360
settings_tool
echo "PASSED"
