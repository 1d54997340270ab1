#!/usr/bin/env bash
# How the convergence mode's time and memory grow with the map: for each cell count, makes a
# synthetic Voronoi map (tessaro_voronoi_map, its fixed default seed) and runs a fixed number of
# rounds on it. Prints one table row per map: cells, ring points in and after the rounds, wall
# time, the median (least, most) round, peak memory, and the weighted mean error the run
# reports after its rounds (a fixed round count compares the cost of a round, not of a whole
# run; bench/peer-compare.sh measures whole runs from their files).
#
# Usage: bash bench/voronoi-curve.sh [CELLS ...]   (default 1000 10000 100000)
#   CLI=path/to/tessaro-cli           (default build/default/cli/tessaro-cli)
#   MAPGEN=path/to/tessaro_voronoi_map (default build/default/bench/tessaro_voronoi_map)
#   ROUNDS=N                          rounds per map (default 10)
#   KEEP=dir                          keep the maps and outputs in dir instead of a temporary folder
set -euo pipefail
cd "$(dirname "$0")/.."
cli="${CLI:-build/default/cli/tessaro-cli}"
mapgen="${MAPGEN:-build/default/bench/tessaro_voronoi_map}"
rounds="${ROUNDS:-10}"
cells_list=("$@")
[ ${#cells_list[@]} -eq 0 ] && cells_list=(1000 10000 100000)
for program in "$cli" "$mapgen"; do
  if [ ! -x "$program" ]; then
    echo "voronoi-curve: $program is missing; build it first (cmake --build --preset default)" >&2
    exit 2
  fi
done
[ -x /usr/bin/time ] || { echo "voronoi-curve: /usr/bin/time is missing (Debian package time)" >&2; exit 2; }
if [ -n "${KEEP:-}" ]; then
  out="$KEEP"; mkdir -p "$out"
else
  out="$(mktemp -d)"; trap 'rm -rf "$out"' EXIT
fi

# Ring points of a polygon shapefile, as the command line's summary of the file counts them.
ring_points() {
  "$cli" info "$1" | sed -n 's/^Vertices: *//p'
}

echo "| cells | ring points in → after $rounds rounds | $rounds rounds | a round: median (least–most) | peak memory | weighted mean error after the rounds |"
echo "|---:|---:|---:|---:|---:|---:|"
for cells in "${cells_list[@]}"; do
  map="$out/v$cells.shp"
  "$mapgen" "$cells" "$map" >/dev/null
  dir="$out/v${cells}_out"
  rm -rf "$dir"
  start=$(date +%s.%N)
  /usr/bin/time -v -o "$out/time.txt" "$cli" cartogram "$map" --field POP --converge --max-rounds "$rounds" \
    --output-dir "$dir" >"$out/run.txt" 2>&1
  end=$(date +%s.%N)
  result=$(ls "$dir"/*.shp | head -1)
  memory=$(( $(sed -n 's/.*Maximum resident set size (kbytes): //p' "$out/time.txt") / 1024 ))
  round_times=$(sed -n 's/^round [0-9]*: weighted mean error [0-9.e+-]*, \([0-9.]*\) Second$/\1/p' "$out/run.txt" | sort -g)
  per_round=$(echo "$round_times" | awk '{t[NR] = $1} END {
    if (NR == 0) { print "n/a"; exit }
    m = NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
    printf "%.2f s (%.2f–%.2f)", m, t[1], t[NR] }')
  error=$(sed -n 's/^Weighted mean error: .*, \([0-9.e+-]*\) at round.*/\1/p' "$out/run.txt")
  printf '| %s | %s → %s | %.1f s | %s | %s MB | %s |\n' "$cells" "$(ring_points "$map")" "$(ring_points "$result")" \
    "$(echo "$end - $start" | bc)" "$per_round" "$memory" "$error"
done
