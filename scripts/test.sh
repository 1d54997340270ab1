#!/usr/bin/env bash
# Installs what is missing, builds the default preset and runs every test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh default
ctest --preset default
