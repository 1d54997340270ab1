#!/usr/bin/env bash
# Builds a libFuzzer target with clang and AddressSanitizer and fuzzes it for a while.
# Usage: scripts/fuzz.sh TARGET SECONDS   (TARGET: shp, params, dbf, bibliography, citations, flights)
# New inputs go to a scratch corpus; the seed corpus in tests/fuzz/corpus is left untouched.
# A crash or leak makes the script fail and keeps the crashing input in build/fuzz/artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."
target="${1:-shp}"
seconds="${2:-60}"

bash scripts/install-deps.sh
cmake --preset fuzz -DTESSARO_WERROR="${TESSARO_WERROR:-OFF}" \
  -DTESSARO_LINE_DEBUG_INFO="${TESSARO_LINE_DEBUG_INFO:-OFF}" >/dev/null
cmake --build --preset fuzz --target "tessaro_fuzz_${target}"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
artifacts="build/fuzz/artifacts/${target}"
rm -rf "$artifacts" && mkdir -p "$artifacts"
cp tests/fuzz/corpus/"${target}"/* "$scratch/"
status=0
ASAN_OPTIONS="detect_leaks=1" ./build/fuzz/tests/fuzz/"tessaro_fuzz_${target}" \
  -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$artifacts/" \
  "$scratch" > "$scratch.log" 2>&1 || status=$?
grep -E "^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss_mb)|ERROR|SUMMARY" "$scratch.log" || true
rm -f "$scratch.log"
if [ "$status" -ne 0 ]; then
  echo "fuzzing ${target} failed (status $status); the failing input is kept in $artifacts" >&2
  exit 1
fi
echo "fuzzing ${target} for ${seconds}s found nothing"
