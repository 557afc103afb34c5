#!/usr/bin/env bash
# Runs lintian on the Debian packages: errors fail, warnings are shown. Exit status 77
# (skipped) where lintian is not installed.
#   lintian.sh PACKAGES
set -uo pipefail
command -v lintian >/dev/null || { echo "lintian is not installed: skipped"; exit 77; }
report="$(lintian --tag-display-limit 0 "$1"/*.deb 2>&1)"
echo "$report"
! grep -q '^E: ' <<<"$report"
