#!/usr/bin/env bash
# Installs what the language server vexa-lsp needs to build, from Debian's packages, when it is
# missing: nlohmann's JSON library. Checks only (and fails, naming it) when not run as root.
set -euo pipefail

[ -f /usr/include/nlohmann/json.hpp ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
    echo "The language server needs: nlohmann-json3-dev (apt-get install nlohmann-json3-dev)" >&2
    exit 1
fi
echo "Installing nlohmann-json3-dev"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q nlohmann-json3-dev
