#!/usr/bin/env bash
# Installs the conversion library with its development files into a temporary prefix,
# builds a small program against it with find_package and with pkg-config, and runs both
# on a data log.
#   check.sh BUILD_DIR LIBDIR CXX_COMPILER
set -euo pipefail
build="$1" libdir="$2" compiler="$3"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/varno-installed-XXXXXX")"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

for component in library development; do
    cmake --install "$build" --prefix "$prefix" --component "$component" >/dev/null
done
"$build/bin/ostrel-make-log" --days 2 "$work/log.vrn"
rows=$("$build/bin/ostrel" -d "$work/log.vrn" | wc -l)
names=$("$build/bin/ostrel" "$work/log.vrn" | grep '^"date"' | cut -d' ' -f4- | tr -d '"' | tr ' ' ',')
expected="$rows rows from 2006-08-01 00:00:00: $names"

check() { # how it was built, what the program printed
    if [ "$2" != "$expected" ]; then
        printf 'built with %s, the program printed\n  %s\ninstead of\n  %s\n' "$1" "$2" "$expected" >&2
        exit 1
    fi
    echo "built with $1: $2"
}

cmake -S "$here" -B "$work/with-cmake" -DCMAKE_CXX_COMPILER="$compiler" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/with-cmake" >/dev/null
check find_package "$("$work/with-cmake/count-rows" "$work/log.vrn")"

export PKG_CONFIG_LIBDIR="$prefix/$libdir/pkgconfig"
# shellcheck disable=SC2046 # the flags are words
"$compiler" -o "$work/with-pkg-config" "$here/count_rows.cpp" $(pkg-config --cflags --libs varno-ostrel)
check pkg-config "$(LD_LIBRARY_PATH="$prefix/$libdir" "$work/with-pkg-config" "$work/log.vrn")"
