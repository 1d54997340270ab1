#!/usr/bin/env bash
# Times the convergence mode on examples/us_states (POP) and examples/us_counties (RATE), with 1
# and 2 threads. Prints, per run: rounds, kept round, wall time, peak memory, the
# weighted mean error the run reports, the weighted and largest relative area error measured
# from the output files (bench/area-errors.py; largest over polygons above 0.01 % of the total),
# and the findings of `tessaro-cli check --overlaps` on the output that the input does not
# already have: invalid rings (by record and ring) and overlapping pairs.
#
# Usage: bash bench/converge.sh [COUNTIES.shp]   (default examples/us_counties; "none" skips it)
#   CLI=path/to/tessaro-cli        (default build/default/cli/tessaro-cli)
#   COUNTY_ROUNDS=N                --max-rounds for the counties runs (default: the mode's 100)
#   THREADS="1 2"                  thread counts to run
#   KEEP=dir                       keep the outputs in dir instead of a temporary folder
set -euo pipefail
cd "$(dirname "$0")/.."
cli="${CLI:-build/default/cli/tessaro-cli}"
counties="${1:-examples/us_counties/us_counties.shp}"
[ "$counties" = none ] && counties=""
threads_list="${THREADS:-1 2}"
if [ -n "${KEEP:-}" ]; then
  out="$KEEP"; mkdir -p "$out"
else
  out="$(mktemp -d)"; trap 'rm -rf "$out"' EXIT
fi
have_time=0
[ -x /usr/bin/time ] && have_time=1

# Findings reduced to "record, ring: kind" so a ring whose point count changed still matches.
findings() {
  "$cli" check --overlaps "$1" 2>&1 | grep '^Record ' | awk -F': ' '{print $1": "$2}' | sort -u || true
}

run() {
  local name="$1" input="$2" field="$3" threads="$4"; shift 4
  local dir="$out/${name}_t$threads"
  rm -rf "$dir"
  local args=(cartogram "$input" --field "$field" --converge --threads "$threads" --output-dir "$dir" "$@")
  local start end
  start=$(date +%s.%N)
  if [ "$have_time" = 1 ]; then
    /usr/bin/time -v -o "$out/time.txt" "$cli" "${args[@]}" >"$out/summary.txt" 2>"$out/progress.txt"
  else
    "$cli" "${args[@]}" >"$out/summary.txt" 2>"$out/progress.txt"
  fi
  end=$(date +%s.%N)
  local result
  result=$(ls "$dir"/*.shp | head -1)
  local rounds kept reported memory="n/a"
  rounds=$(sed -n 's/^Rounds transformed: //p' "$out/summary.txt")
  kept=$(sed -n 's/^Kept round: \([0-9]*\).*/\1/p' "$out/summary.txt")
  reported=$(sed -n 's/^Weighted mean error: .*, \([0-9.]*\) at round.*/\1/p' "$out/summary.txt")
  [ "$have_time" = 1 ] && memory="$(( $(sed -n 's/.*Maximum resident set size (kbytes): //p' "$out/time.txt") / 1024 )) MB"
  findings "$input" >"$out/before.txt"
  findings "$result" >"$out/after.txt"
  local new_invalid new_overlaps
  new_invalid=$(comm -13 "$out/before.txt" "$out/after.txt" | grep -vc ': overlap$' || true)
  new_overlaps=$(comm -13 "$out/before.txt" "$out/after.txt" | grep -c ': overlap$' || true)
  echo "## $name, $threads thread(s) $*"
  echo "rounds $rounds, kept $kept, wall $(printf '%.2f' "$(echo "$end - $start" | bc)") s, peak memory $memory"
  echo "reported weighted mean error $reported"
  echo "files: $(python3 bench/area-errors.py "$input" "$result" "$field")"
  echo "new invalid rings $new_invalid, new overlapping pairs $new_overlaps"
  comm -13 "$out/before.txt" "$out/after.txt" | sed 's/^/  new: /'
  grep -i '^warning\|overlaps in round' "$out/summary.txt" "$out/progress.txt" 2>/dev/null | sed 's/^[^:]*:/  /' | head -5 || true
  echo
}

for threads in $threads_list; do
  run us_states examples/us_states/us_states.shp POP "$threads"
done
if [ -n "$counties" ]; then
  extra=()
  [ -n "${COUNTY_ROUNDS:-}" ] && extra=(--max-rounds "$COUNTY_ROUNDS")
  for threads in $threads_list; do
    run us_counties "$counties" RATE "$threads" "${extra[@]}"
  done
fi
