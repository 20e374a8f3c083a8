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
exec "$(dirname "$0")/../cmake/install_missing.sh" "The Python package" required ${need[@]+"${need[@]}"}
