#!/bin/sh
# Creates a simulated station with a recorded history, stores its data logs in a station
# folder as the terminal names them and, when a display is available, opens kestal on it.
#
#   kestal/demo.sh <build folder> [work folder]
#
# Everything (bench, stations, settings) lives in the work folder (default: a new
# temporary folder); the user's own settings are not touched.
set -eu

build=$(cd "${1:?usage: demo.sh <build folder> [work folder]}" && pwd)
work=${2:-$(mktemp -d "${TMPDIR:-/tmp}/kestal-demo-XXXXXX")}
mkdir -p "$work"
work=$(cd "$work" && pwd)
bin=$build/bin

export QUORVALIN_BENCH="$work/bench"
export XDG_CONFIG_HOME="$work/config"

# A simulated instrument on COM3 with 60 days of history in four data logs.
"$bin/quorvalin-bench" ports add COM3 >/dev/null
if ! "$bin/quorvalin-bench" list | grep -q '^hilltop '; then
    "$bin/quorvalin-bench" create hilltop --port COM3 --days 60 --measurements 4 --title "Hill Top"
fi

# The station folder with the instrument's data logs.
"$bin/kestal-demo-station" --folder "$work/stations/Hill Top" --connection COM3 \
    --name "Hill Top" --password varno

# The terminal's main data folder.
mkdir -p "$XDG_CONFIG_HOME/varno"
printf '[folders]\nroot=%s\n' "$work/stations" > "$XDG_CONFIG_HOME/varno/kestal.conf"

echo "station folder: $work/stations/Hill Top"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$bin/kestal"
else
    echo "no display: start it later with"
    echo "  QUORVALIN_BENCH='$QUORVALIN_BENCH' XDG_CONFIG_HOME='$XDG_CONFIG_HOME' '$bin/kestal'"
fi
