#!/usr/bin/env bash
# Screenshots of the curve chart in the real window, for the README and for a
# look by eye: a curve read through the file dialog, then a zoom (left-button
# drag) and a scroll (right-button drag), each saved as PNG.
#
#     tools/chart_shots.sh CURVE OUT_PREFIX [BUILD_DIR]
#
# writes OUT_PREFIX-loaded.png, -zoomed.png and -scrolled.png (the window) and
# OUT_PREFIX-chart-*.png (the chart alone). Runs its own X server.
set -euo pipefail
[ "${1:-}" = "--inner" ] || {
    [ $# -ge 2 ] || { echo "usage: $0 CURVE OUT_PREFIX [BUILD_DIR]" >&2; exit 2; }
    root=$(cd "$(dirname "$0")/.." && pwd)
    curve=$(realpath "$1"); out=$(realpath -m "$2"); build=$(realpath "${3:-$root/build}")
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$BASH" "$0" --inner "$curve" "$out" "$build"
}
curve=$2 out=$3 build=$4
export QT_QPA_PLATFORM=xcb QT_FONT_DPI=120 QT_ENABLE_HIGHDPI_SCALING=0 LC_ALL=C.UTF-8
scratch=$(mktemp -d)
trap 'kill $pid 2>/dev/null; rm -rf "$scratch"' EXIT
export XDG_CONFIG_HOME=$scratch XDG_RUNTIME_DIR=$scratch

declare -A X Y W H
while read -r name x y w h; do X[$name]=$x Y[$name]=$y W[$name]=$w H[$name]=$h; done \
    < <("$build/tests/acceptance_probe")

"$build/quelmora" & pid=$!
wid=$(xdotool search --sync --onlyvisible --pid $pid | head -1)
sleep 0.5
at() { xdotool mousemove --window "$wid" "$1" "$2"; }
xdotool mousemove --window "$wid" $((X[BitBtn1] + W[BitBtn1] / 2)) $((Y[BitBtn1] + H[BitBtn1] / 2)) click 1
for _ in $(seq 100); do
    dialog=$(xdotool search --onlyvisible --pid $pid | grep -vx "$wid" | head -1 || true)
    [ -n "$dialog" ] && break
    sleep 0.1
done
[ -n "$dialog" ] || { echo "no file dialog" >&2; exit 1; }
xdotool windowfocus --sync "$dialog" type --delay 8 "$curve"
xdotool key Return
sleep 2

shot() {
    import -window "$wid" "$out-$1.png"
    import -window "$wid" -crop "${W[Chart1]}x${H[Chart1]}+${X[Chart1]}+${Y[Chart1]}" +repage "$out-chart-$1.png"
}
shot loaded
# Zoom: from a quarter into the chart to its middle, down and to the right.
cx=${X[Chart1]} cy=${Y[Chart1]} cw=${W[Chart1]} ch=${H[Chart1]}
at $((cx + cw * 30 / 100)) $((cy + ch * 20 / 100)); xdotool mousedown 1
for f in 35 40 45 50 55; do at $((cx + cw * f / 100)) $((cy + ch * (f + 5) / 100)); sleep 0.05; done
xdotool mouseup 1; sleep 1.5
shot zoomed
# Scroll: drag with the right button 60 pixels to the left and 30 up.
at $((cx + cw / 2)) $((cy + ch / 2)); xdotool mousedown 3
for d in 10 20 30 40 50 60; do at $((cx + cw / 2 - d)) $((cy + ch / 2 - d / 2)); sleep 0.05; done
xdotool mouseup 3; sleep 1.5
shot scrolled
