#!/bin/sh
# The whole road in one command: a simulated instrument, a station for it, an unattended
# transfer of its data logs into the station's "vrn" folder, and one of them converted
# into a text table.
#
# usage: transfer/demo.sh BUILD_DIR [WORK_DIR]
#   BUILD_DIR  the build folder (its bin/ holds transfer, quorvalin-bench and ostrel)
#   WORK_DIR   where the bench and the station go (default: a new temporary folder);
#              an existing folder must be empty or hold an earlier demo
set -eu

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 BUILD_DIR [WORK_DIR]" >&2
    exit 2
fi
bin=$(cd "$1" && pwd)/bin
for program in transfer quorvalin-bench ostrel; do
    if [ ! -x "$bin/$program" ]; then
        echo "$0: $bin/$program is missing: build the targets transfer, quorvalin-bench and ostrel-cli" >&2
        exit 1
    fi
done

if [ $# -eq 2 ]; then
    work=$2
    mkdir -p "$work"
    if [ -e "$work/.transfer-demo" ]; then
        rm -rf "$work/bench" "$work/stations"
    elif [ -n "$(ls -A "$work")" ]; then
        echo "$0: $work is not empty and holds no earlier demo" >&2
        exit 1
    fi
else
    work=$(mktemp -d "${TMPDIR:-/tmp}/transfer-demo-XXXXXX")
fi
work=$(cd "$work" && pwd)
touch "$work/.transfer-demo"

step() { printf '\n=== %s\n' "$*"; }

# 1. A simulated instrument on the direct line COM3, with three days of recorded history
#    in three data logs (the last one still recording). The PC clock that the bench's
#    instruments see is frozen, so every run of the demo shows the same data.
export QUORVALIN_BENCH="$work/bench"
step "simulated instrument on COM3"
"$bin/quorvalin-bench" clock "2026-03-15 12:00:00"
"$bin/quorvalin-bench" create tower --serial 123 --port COM3 --days 3 --measurements 3 --title "Demo Tower"

# 2. Its station folder, laid out as the terminal keeps it.
station="$work/stations/Demo Tower"
mkdir -p "$station/vrn" "$station/export" "$station/documents"
printf 'creator kestal 3.0\r\nstation Demo Tower\r\nconnection COM3\r\npassword read\r\n' >"$station/station.cfg"
chmod 600 "$station/station.cfg"
step "station folder $station"
cat "$station/station.cfg" | tr -d '\r'

# 3. The unattended call: every data log the folder does not hold yet.
step "transfer --station=\"$station\""
"$bin/transfer" --station="$station"

# 4. Six hours later the running data log has grown: only it is fetched again.
step "six hours later"
"$bin/quorvalin-bench" advance 6h
"$bin/transfer" --station="$station"

step "data logs in $station/vrn"
ls -l "$station/vrn"

# 5. The first data log as a text table.
first=
for file in "$station"/vrn/*.vrn; do
    first=$file
    break
done
table="$station/export/$(basename "$first" .vrn).txt"
step "ostrel \"$first\" (first lines; whole table in $table)"
"$bin/ostrel" "$first" >"$table"
head -n 12 "$table"

step "done; everything is in $work"
