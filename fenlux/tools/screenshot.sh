#!/bin/sh
# Renders docs/fenlux-view.png: a generated 20-day data log read through the converter and
# shown in the plotter, drawn offscreen.
#
#   fenlux/tools/screenshot.sh [build-folder]      (default: build)
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
cmake --build "$build" --target fenlux_screenshot ostrel-cli ostrel-make-log -j2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bin/ostrel-make-log" --days 20 --period 600 "$work/station.vrn"
QT_QPA_PLATFORM=offscreen "$build/bin/fenlux_screenshot" "$root/docs/fenlux-view.png" \
    "$work/station.vrn" "$build/bin/ostrel"
echo "written: $root/docs/fenlux-view.png"
