#!/usr/bin/env bash
# Installs what the editor tests need, from Debian's packages, when something is missing:
# Neovim for the end-to-end test of the language server, Node.js and npm for the VS Code
# grammar test. A node or npm already on PATH (from elsewhere) is kept as it is. When not run
# as root it only names what is missing: the tests of a missing editor are then left out.
set -euo pipefail

need=()
command -v nvim >/dev/null || need+=(neovim)
command -v node >/dev/null || need+=(nodejs)
command -v npm >/dev/null || need+=(npm)
exec "$(dirname "$0")/../cmake/install_missing.sh" "The editor tests" optional ${need[@]+"${need[@]}"}
