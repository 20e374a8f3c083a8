#!/usr/bin/env bash
# Installs what the numpy archives of vexasim and the Python package need to build, from Debian's packages,
# when it is missing: libzip. Checks only (and fails, naming it) when not run as root.
set -euo pipefail

[ -f /usr/include/zip.h ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
    echo "The numpy archives need: libzip-dev (apt-get install libzip-dev)" >&2
    exit 1
fi
echo "Installing libzip-dev"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q libzip-dev
