#!/usr/bin/env bash
# Installs what is missing, builds tessaro-cli and makes the cartogram of the shipped example:
# the US states sized by population, written into output/us_states (never into examples/).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh default >&2
./build/default/cli/tessaro-cli cartogram examples/us_states/us_states.shp --field POP --svg \
  --output-dir output/us_states
