#!/usr/bin/env bash
# Runs Tessaro's convergence mode and a flow-based peer (cartogram-cpp) on the same maps, one after
# the other on this machine, and prints per map: wall time and peak memory of each, the weighted
# mean and the largest relative area error measured from each output file (bench/area-errors.py),
# and the ratio of the wall times (peer / Tessaro: above 1 means Tessaro is faster).
#
# The peer is not part of the project and is never built or fetched here: give the folder that
# holds its `cartogram` program and its `clean_input.py`, which makes the cleaned GeoJSON copy the
# peer needs (it refuses invalid rings). Tessaro reads the map as given.
#
# Usage: bash bench/peer-compare.sh PEER_DIR [MAP.shp:FIELD:ID_FIELD ...]
#   default maps: examples/us_states (POP by NAME) and examples/us_counties (RATE by GEOID)
#   CLI=path/to/tessaro-cli   (default build/default/cli/tessaro-cli)
#   PYTHON=python3 with GDAL's osgeo bindings, for clean_input.py (default python3)
set -euo pipefail
peer="${1:?usage: peer-compare.sh PEER_DIR [MAP.shp:FIELD:ID_FIELD ...]}"
shift
peer="$(cd "$peer" && pwd)"
maps=()
for entry in "$@"; do maps+=("$(realpath "${entry%%:*}"):${entry#*:}"); done
cd "$(dirname "$0")/.."
cli="${CLI:-build/default/cli/tessaro-cli}"
python="${PYTHON:-python3}"
[ -x "$peer/cartogram" ] || { echo "error: no program $peer/cartogram" >&2; exit 2; }
[ -f "$peer/clean_input.py" ] || { echo "error: no $peer/clean_input.py" >&2; exit 2; }
[ -x "$cli" ] || { echo "error: build tessaro-cli first ($cli)" >&2; exit 2; }
[ ${#maps[@]} -gt 0 ] || maps=(examples/us_states/us_states.shp:POP:NAME examples/us_counties/us_counties.shp:RATE:GEOID)
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

# "seconds peak-KB" of a command, its output to $out/log.txt.
timed() {
  /usr/bin/time -f "%e %M" -o "$out/time.txt" "$@" >"$out/log.txt" 2>&1 || {
    echo "error: $* failed:" >&2; tail -5 "$out/log.txt" >&2; return 1; }
  cat "$out/time.txt"
}

# "weighted largest" from bench/area-errors.py's line.
errors() {
  "$python" bench/area-errors.py "$1" "$2" "$3" |
    sed -n 's/.*weighted \([^,]*\), max relative \([^ ]*\).*/\1 \2/p'
}

printf '%-14s | %9s %8s %9s %9s | %9s %8s %9s %9s | %s\n' map "peer s" "peer MB" "weighted" largest \
  "Tessaro s" "MB" "weighted" largest "peer/Tessaro"
for entry in "${maps[@]}"; do
  IFS=: read -r map field id <<<"$entry"
  name="$(basename "$map" .shp)"
  dir="$out/$name"; mkdir -p "$dir"

  read -r ts tkb < <(timed "$cli" cartogram "$map" --field "$field" --converge --output-dir "$dir/tessaro")
  read -r tw tl < <(errors "$map" "$(ls "$dir"/tessaro/*.shp | head -1)" "$field")

  "$python" "$peer/clean_input.py" "$map" "$dir/clean.geojson" --drop-empty 2>"$dir/clean.txt"
  ogr2ogr -f CSV "$dir/values.csv" "$dir/clean.geojson" -select "$id,$field"
  ps=failed pkb=0 pw=- pl=-
  if peer_time=$(cd "$dir" && timed "$peer/cartogram" clean.geojson values.csv --skip_projection); then
    read -r ps pkb <<<"$peer_time"
    # The peer writes its result in its own grid units: shares of area compare, areas do not.
    ogr2ogr -f "ESRI Shapefile" "$dir/peer.shp" "$dir/values_cartogram.geojson" 2>/dev/null
    ogr2ogr -f "ESRI Shapefile" "$dir/clean.shp" "$dir/clean.geojson" 2>/dev/null
    read -r pw pl < <(errors "$dir/clean.shp" "$dir/peer.shp" "$field")
  fi

  ratio=-
  [ "$ps" = failed ] || ratio=$(printf '%.2f' "$(echo "$ps / $ts" | bc -l)")
  printf '%-14s | %9s %8d %9s %9s | %9s %8d %9s %9s | %s\n' "$name" "$ps" $((pkb / 1024)) "$pw" "$pl" \
    "$ts" $((tkb / 1024)) "$tw" "$tl" "$ratio"
done
