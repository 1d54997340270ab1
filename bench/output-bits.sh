#!/usr/bin/env bash
# Fingerprints what the cartogram command writes, for refactorings that must not change a bit:
# the specified run of the example (its 41 files), the convergence mode on the example, and the
# convergence mode on the counties. Prints one "sha256  run/file" line per file; the times in
# the information files (the "... Second" columns) are blanked first, since they differ from run
# to run. Compare two builds with diff:
#   bash bench/output-bits.sh > before.txt; (change, rebuild); bash bench/output-bits.sh > after.txt
#   diff before.txt after.txt && echo same bits
# Usage: bash bench/output-bits.sh [path/to/tessaro-cli]   (default build/default/cli/tessaro-cli)
set -euo pipefail
cd "$(dirname "$0")/.."
cli="${1:-build/default/cli/tessaro-cli}"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

"$cli" --quiet cartogram examples/us_states/us_states.shp --field POP --svg --output-dir "$out/standard" >/dev/null
"$cli" --quiet cartogram examples/us_states/us_states.shp --field POP --svg --converge \
  --output-dir "$out/states_converge" >/dev/null
"$cli" --quiet cartogram examples/us_counties/us_counties.shp --field RATE --converge \
  --output-dir "$out/counties_converge" >/dev/null

for log in "$out"/*/*_nfo.txt; do
  sed -i -E 's/[0-9.]+ (Second|Millisecond|Minute)(,|$)/TIME\2/' "$log"
done
(cd "$out" && find . -type f | sort | xargs sha256sum | sed 's| \./| |')
