#!/usr/bin/env bash
# Times whole cartogram runs on examples/us_states: at the defaults and at 8 and 16 steps,
# with 1 and 2 threads. Prints, per configuration, the wall time of the run and each round's
# time and weighted mean error (from the progress lines), then the final error.
# Usage: bash bench/cartogram-run.sh [path/to/tessaro-cli]
set -euo pipefail
cd "$(dirname "$0")/.."
cli="${1:-build/default/cli/tessaro-cli}"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

for steps in default 8 16; do
  for threads in 1 2; do
    args=(cartogram examples/us_states/us_states.shp --field POP --threads "$threads" --output-dir "$out/run")
    [ "$steps" != default ] && args+=(--steps "$steps")
    rm -rf "$out/run"
    start=$(date +%s.%N)
    "$cli" "${args[@]}" >"$out/summary.txt" 2>"$out/progress.txt"
    end=$(date +%s.%N)
    echo "## steps $steps, threads $threads: $(echo "$end - $start" | bc) s wall (exports included)"
    echo "| round | weighted mean error | round time |"
    echo "|---|---|---|"
    sed -n 's/^round \([0-9]*\): weighted mean error \([0-9.]*\), \(.*\)$/| \1 | \2 | \3 |/p' "$out/progress.txt"
    grep '^Weighted mean error' "$out/summary.txt"
    echo
  done
done
