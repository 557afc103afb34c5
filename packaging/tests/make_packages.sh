#!/usr/bin/env bash
# Writes the Debian packages of a build afresh into a folder of their own.
#   make_packages.sh CPACK CPACK_CONFIG FOLDER
set -euo pipefail
cpack="$1" config="$2" folder="$3"
rm -rf "$folder"
"$cpack" -G DEB --config "$config" -B "$folder" >"$folder.log" 2>&1 || { cat "$folder.log"; exit 1; }
ls "$folder"/*.deb
