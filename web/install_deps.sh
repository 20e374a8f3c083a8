#!/usr/bin/env bash
# Installs what the playground's build and browser tests need, from Debian's packages, when
# something is missing: Node.js and npm, emscripten (the WebAssembly compiler) and Chromium
# (the browser the tests drive). Without root it only says what is missing: the browser tests
# are then left out, nothing fails.
set -euo pipefail

need=()
command -v node >/dev/null || need+=(nodejs)
command -v npm >/dev/null || need+=(npm)
command -v emcc >/dev/null || need+=(emscripten)
[ -x /usr/bin/chromium ] || need+=(chromium)
exec "$(dirname "$0")/../cmake/install_missing.sh" "The browser tests" optional ${need[@]+"${need[@]}"}
