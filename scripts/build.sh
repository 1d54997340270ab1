#!/usr/bin/env bash
# Configures and builds one preset (default: "default"). TESSARO_WERROR=ON turns warnings into errors.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
cmake --preset "$preset" -DTESSARO_WERROR="${TESSARO_WERROR:-OFF}" > /dev/null
cmake --build --preset "$preset"
