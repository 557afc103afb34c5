#!/usr/bin/env bash
# Unpacks the Debian packages into a temporary root, as dpkg would install them, and runs
# what they hold there: every program and library finds the libraries it links, those of
# the suite inside the root; the converter converts as the build's; the Python package
# imports and reads with Debian's interpreter.
#   unpacked.sh PACKAGES BUILD_DIR PYTHON
set -euo pipefail
packages="$1" build="$2" python="$3"
work="$(mktemp -d "${TMPDIR:-/tmp}/varno-unpacked-XXXXXX")"
trap 'rm -rf "$work"' EXIT
root="$work/root"
unset LD_LIBRARY_PATH PYTHONPATH
for deb in "$packages"/*.deb; do
    dpkg -x "$deb" "$root"
done

failed=0
fail() {
    echo "FAILED: $*" >&2
    failed=1
}

suite_libraries='lib(ostrel|ostrelview|quorvalin|quorvalin_sim|lunebrig|qtsupport|qtsupport_core)\.so'
while IFS= read -r -d '' file; do
    [ "$(head -c 4 "$file")" = $'\x7fELF' ] || continue
    links="$(ldd "$file")"
    if grep -q "not found" <<<"$links"; then
        fail "${file#"$root"} lacks $(grep "not found" <<<"$links" | tr -s ' \t' ' ')"
    fi
    while read -r library _ path _; do
        [[ "$path" == "$root"/* ]] || fail "${file#"$root"} takes $library from $path, not from the package"
    done < <(grep -E "^\s*$suite_libraries" <<<"$links")
done < <(find "$root" -type f -print0)

"$build/bin/ostrel-make-log" --days 3 "$work/log.vrn"
"$root/usr/bin/ostrel" -d -f%.9g "$work/log.vrn" >"$work/unpacked.txt" || fail "the unpacked converter"
"$build/bin/ostrel" -d -f%.9g "$work/log.vrn" >"$work/built.txt"
cmp -s "$work/unpacked.txt" "$work/built.txt" || fail "the unpacked converter writes another table than the build's"
if [ -e "$root/usr/bin/quorvalin-bench" ]; then
    QUORVALIN_BENCH="$work/bench" "$root/usr/bin/quorvalin-bench" list >/dev/null || fail "the unpacked quorvalin-bench"
fi

if compgen -G "$packages/python3-varno_*.deb" >/dev/null; then
    rows=$(PYTHONPATH="$root/usr/lib/python3/dist-packages" "$python" -c '
import sys, varno
assert varno.__file__.startswith(sys.argv[1]), varno.__file__
print(len(varno.read(sys.argv[2])))' "$root" "$work/log.vrn") || fail "import varno from the unpacked package"
    [ "${rows:-}" = "$(wc -l <"$work/built.txt")" ] || fail "the unpacked varno.read gave ${rows:-no} rows"
fi

[ "$failed" = 0 ] && echo "the unpacked packages work"
exit "$failed"
