#!/usr/bin/env bash
# Installs Debian packages that a part of the build lacks: install_missing.sh WHAT MODE
# PACKAGE... (WHAT names the part in messages). As root it installs them; otherwise it names
# them, and fails when MODE is "required" (with "optional" the part's tests are left out).
set -euo pipefail

what=$1 mode=$2
shift 2
[ $# -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
    echo "$what needs: $* (apt-get install $*)" >&2
    [ "$mode" = optional ] && exit 0
    exit 1
fi
echo "Installing $*"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q "$@"
