#!/bin/sh
# Renders the plotter's pictures of the documentation, drawn offscreen from a month of a
# simulated instrument: fetched by the transfer program, converted by ostrel.
#   docs/fenlux-view.png          the plot, 450 pixels wide, of a day and a half
#   docs/fenlux-rose.png          the wind rose
#   docs/fenlux-distribution.png  the speed distribution with its Weibull fit
#
#   fenlux/tools/screenshot.sh [build-folder]      (default: build)
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
cmake --build "$build" --target fenlux_screenshot ostrel-cli quorvalin-bench transfer -j2
bin=$build/bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# An instrument that has recorded 31 days, and its station folder.
export QUORVALIN_BENCH="$work/bench"
"$bin/quorvalin-bench" clock "2026-03-01 00:00:00" >/dev/null
"$bin/quorvalin-bench" create tower --serial 123 --port COM3 --days 31 --measurements 1 --title "Tower A" >/dev/null
station="$work/Tower A"
mkdir -p "$station/vrn"
printf 'creator kestal 3.0\r\nstation Tower A\r\nconnection COM3\r\npassword read\r\n' >"$station/station.cfg"
"$bin/transfer" --station="$station" >/dev/null
"$bin/ostrel" "$station"/vrn/*.vrn >"$work/tower-a.txt"

for view in plot rose distribution; do
    name=fenlux-$view.png
    size=
    [ "$view" = plot ] && name=fenlux-view.png && size="--size=450x400 --plot-width=450"
    QT_QPA_PLATFORM=offscreen "$bin/fenlux_screenshot" --view=$view $size "$root/docs/$name" "$work/tower-a.txt"
    echo "written: $root/docs/$name"
done
