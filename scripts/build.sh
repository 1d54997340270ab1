#!/usr/bin/env bash
# Configures and builds one preset (default: "default"). TESSARO_WERROR=ON turns warnings into errors;
# TESSARO_LINE_DEBUG_INFO=ON keeps only line tables as debug information (a faster build).
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
cmake --preset "$preset" -DTESSARO_WERROR="${TESSARO_WERROR:-OFF}" \
  -DTESSARO_LINE_DEBUG_INFO="${TESSARO_LINE_DEBUG_INFO:-OFF}" > /dev/null
cmake --build --preset "$preset"
