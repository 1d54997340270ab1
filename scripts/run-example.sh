#!/usr/bin/env bash
# Installs what is missing, builds tessaro-cli alone (not the desktop program, the tests or the
# benchmarks) and makes the cartogram of the shipped example, the US states sized by population,
# twice, never into examples/:
# - the standard run (4 rounds) into output/us_states;
# - the convergence mode (rounds until the weighted mean error is below 0.001, the map never
#   folded, only the result exported) into output/us_states_converge, with the result drawn as a
#   map filled by population (us_states.png) and as a web page (us_states.html).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default -DTESSARO_WERROR="${TESSARO_WERROR:-OFF}" >/dev/null
cmake --build --preset default --target tessaro-cli >&2
cli=./build/default/cli/tessaro-cli
"$cli" cartogram examples/us_states/us_states.shp --field POP --svg --output-dir output/us_states
echo
"$cli" cartogram examples/us_states/us_states.shp --field POP --svg --converge \
  --output-dir output/us_states_converge --labels NAME --title "US states sized by population" \
  --map-picture output/us_states_converge/us_states.png --html output/us_states_converge/us_states.html
echo
echo "Standard run:     output/us_states (last round: us_states_3_py.svg)"
echo "Convergence mode: output/us_states_converge (result: the one us_states_*_py.svg there;"
echo "                  the map filled by population: us_states.png; the web page: us_states.html)"
