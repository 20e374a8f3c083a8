#!/usr/bin/env bash
# Installs what the language server vexa-lsp needs to build, from Debian's packages, when it
# is missing: nlohmann's JSON library.
set -euo pipefail

need=()
[ -f /usr/include/nlohmann/json.hpp ] || need+=(nlohmann-json3-dev)
exec "$(dirname "$0")/../cmake/install_missing.sh" "The language server" required ${need[@]+"${need[@]}"}
