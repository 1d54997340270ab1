#!/usr/bin/env bash
# A long fuzzing campaign over every reader of untrusted bytes: each target in turn for the
# given number of seconds (default one hour each), then a table of the executions done and
# what was found. Crashing inputs stay in build/fuzz/artifacts/TARGET; copy one into
# tests/fuzz/crashes/TARGET once fixed, so every test run replays it.
# Usage: bash bench/fuzz-campaign.sh [SECONDS] [TARGET ...]
set -uo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-3600}"
shift || true
targets=("$@")
[ "${#targets[@]}" -eq 0 ] && targets=(shp params dbf bibliography citations flights)

printf '| target | seconds | executions | result |\n|---|---|---|---|\n' > /tmp/tessaro-fuzz-campaign.md
for target in "${targets[@]}"; do
  log="$(mktemp)"
  if bash scripts/fuzz.sh "$target" "$seconds" > "$log" 2>&1; then result="nothing found"; else result="FOUND (see build/fuzz/artifacts/$target)"; fi
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  printf '| %s | %s | %s | %s |\n' "$target" "$seconds" "${runs:-?}" "$result" >> /tmp/tessaro-fuzz-campaign.md
  rm -f "$log"
done
cat /tmp/tessaro-fuzz-campaign.md
