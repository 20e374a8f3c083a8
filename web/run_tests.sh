#!/usr/bin/env bash
# The browser tests: builds the WebAssembly module and the playground (`make web`, which
# installs the pinned npm packages when they are missing), then runs the *.test.mjs files
# with Node's test runner. $1 is the folder of the built vexasm and vexasim.
set -euo pipefail
cd "$(dirname "$0")/.."
make --no-print-directory web >/dev/null
cd web
VEXA_TOOLS_DIR="$1" node --test --test-concurrency=1 test/*.test.mjs
