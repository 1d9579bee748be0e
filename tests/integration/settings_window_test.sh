#!/usr/bin/env bash
# Drives the real settings window with the keyboard, as a user would: Options, then a new
# palette. The change must be saved, and a kaleon running in another process (on a display
# of its own) must restart in the new palette's colours.
#
#     settings_window_test.sh BUILD_DIR SOURCE_DIR SCREEN_PROBE
# Exit status 77 (skipped) when Xvfb or xdotool is missing.
set -uo pipefail
build=$1 source=$2 probe=$3
. "$(dirname "$0")/screen_checks.sh"
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*"; exit 1; }
command -v Xvfb >/dev/null || skip "no Xvfb"
command -v xdotool >/dev/null || skip "no xdotool"

work=$(mktemp -d /tmp/kaleon-settings-XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME="$work/config" ASAN_OPTIONS=detect_leaks=0 GSK_RENDERER=cairo
settings="$XDG_CONFIG_HOME/kaleon/org.kaleon.saver.plist"

start_server() { # start_server DISPLAY SIZE
    Xvfb "$1" -screen 0 "$2x24" -nolisten tcp >/dev/null 2>&1 & pids+=($!)
    for _ in $(seq 50); do DISPLAY=$1 xdpyinfo >/dev/null 2>&1 && return; sleep 0.1; done
    skip "Xvfb did not start"
}
shows_only() { # shows_only DISPLAY PALETTE_FILE: every colour on the screen is one of the palette's
    local shown allowed
    shown=$(DISPLAY=$1 "$probe" | head -1)
    allowed=$(palette_colours "$2")
    for entry in ${shown#*COLOURS}; do
        echo "$allowed" | grep -qx "${entry%%:*}" || { echo "$shown"; return 1; }
    done
}

png_width() { # png_width FILE: the width in a PNG header, or nothing
    [ "$(head -c 4 "$1" 2>/dev/null | tail -c 3)" = PNG ] && od -An -N4 -j16 -tu1 "$1" |
        awk '{ print ((($1 * 256 + $2) * 256 + $3) * 256 + $4) }'
}

ui=:$((500 + RANDOM % 200)) saver=:$((700 + RANDOM % 200))
start_server "$ui" 800x600

# Pictures of the window, alone and with its sheet, drawn by GTK itself.
DISPLAY=$ui "$build/apps/kaleon-config/kaleon-config" --screenshot "$work/window.png" --delay 0 ||
    fail "no picture of the window"
DISPLAY=$ui "$build/apps/kaleon-config/kaleon-config" --screenshot "$work/sheet.png" --sheet --delay 0 ||
    fail "no picture of the window with its sheet"
alone=$(png_width "$work/window.png") both=$(png_width "$work/sheet.png")
[ "${alone:-0}" -ge 400 ] && [ "${both:-0}" -gt $((alone + 200)) ] ||
    fail "pictures ${alone:-none} and ${both:-none} pixels wide: no window or no sheet"
start_server "$saver" 320x200
DISPLAY=$saver "$build/apps/kaleon/kaleon" --root --speed 100 >"$work/saver.log" 2>&1 & pids+=($!)
sleep 1.5
shows_only "$saver" KaleonColors.plist || fail "the saver does not start in the default palette"

DISPLAY=$ui "$build/apps/kaleon-config/kaleon-config" >"$work/config.log" 2>&1 & pids+=($!)
export DISPLAY=$ui
window=$(timeout 20 xdotool search --sync --name "Kaleon Settings" | head -1)
[ -n "$window" ] || fail "no settings window: $(cat "$work/config.log")"
xdotool windowfocus --sync "$window"
xdotool key alt+o
sheet=$(timeout 10 xdotool search --sync --name "Kaleon Options" | head -1)
[ -n "$sheet" ] || fail "Options did not show the sheet"
xdotool windowfocus --sync "$sheet"
xdotool key alt+p
sleep 0.5
xdotool key Down
sleep 0.3
xdotool key Return
for _ in $(seq 30); do grep -q TGKaleonColorPaletteDefaultsKey "$settings" 2>/dev/null && break; sleep 0.1; done
chosen=$(grep -A1 TGKaleonColorPaletteDefaultsKey "$settings" 2>/dev/null | sed -n 's/.*<string>\(.*\)<\/string>.*/\1/p')
[ -n "$chosen" ] && [ "$chosen" != KaleonColors.plist ] || fail "no new palette was saved"
echo "chose $chosen"

# The other process restarts its picture in the new palette, within an interval.
for _ in $(seq 30); do shows_only "$saver" "$chosen" >/dev/null && break; sleep 0.1; done
shows_only "$saver" "$chosen" || fail "the running saver does not show $chosen"
xdotool key Escape
sleep 0.3
kill -0 "${pids[3]}" 2>/dev/null || fail "the settings window ended: $(cat "$work/config.log")"
echo "PASSED"
