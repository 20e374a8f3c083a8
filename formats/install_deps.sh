#!/usr/bin/env bash
# Installs what the numpy archives (vexasim's signal files, the Python package's tables) need
# to build, from Debian's packages, when it is missing: libzip.
set -euo pipefail

need=()
[ -f /usr/include/zip.h ] || need+=(libzip-dev)
exec "$(dirname "$0")/../cmake/install_missing.sh" "The numpy archives" required ${need[@]+"${need[@]}"}
