#!/usr/bin/env bash
# Installs what the vexa Python package needs to build and test, from Debian's packages, when
# something is missing: Python's development files, pybind11, numpy, pytest, matplotlib and
# Dask's distributed (the sweep example and its test).
# Checks only (and fails, naming what is missing) when not run as root.
set -euo pipefail

python=/usr/bin/python3
need=()
[ -x "$python" ] || need+=(python3)
[ -f /usr/include/pybind11/pybind11.h ] || need+=(pybind11-dev)
if [ -x "$python" ]; then
    include=$("$python" -c 'import sysconfig; print(sysconfig.get_paths()["include"])')
    [ -f "$include/Python.h" ] || need+=(python3-dev)
    for module in numpy:python3-numpy pytest:python3-pytest matplotlib:python3-matplotlib \
        distributed:python3-distributed; do
        "$python" -c "import ${module%%:*}" 2>/dev/null || need+=("${module#*:}")
    done
else
    need+=(python3-dev python3-numpy python3-pytest python3-matplotlib python3-distributed)
fi
[ ${#need[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "The Python package needs: ${need[*]} (apt-get install ${need[*]})" >&2
    exit 1
fi
echo "Installing ${need[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q "${need[@]}"
