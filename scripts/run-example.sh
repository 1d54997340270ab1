#!/usr/bin/env bash
# Installs what is missing, builds tessaro-cli and runs it on the shipped example.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh default >&2
./build/default/cli/tessaro-cli info examples/us_states/us_states.shp
