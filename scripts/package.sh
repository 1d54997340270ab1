#!/usr/bin/env bash
# Builds the Debian package tessaro_VERSION_ARCH.deb and prints its path on the last line.
# Without an argument: installs what is missing, builds the release preset (the two programs and
# their installed files, no tests or benchmarks) and packs it with CPack into build/release.
# With BUILD_DIR: packs that already configured build instead (the package test packs the
# build it runs in); CPack strips the programs either way.
# Usage: scripts/package.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -ge 1 ]; then
  build="$(cd "$1" && pwd)"
  cmake --build "$build" --target tessaro tessaro-cli tessaro_package_files >&2
  (cd "$build" && cpack -G DEB -B "$build/package" >&2)
else
  bash scripts/install-deps.sh
  build="$PWD/build/release"
  cmake --preset release -DTESSARO_WERROR="${TESSARO_WERROR:-OFF}" >/dev/null
  cmake --build --preset release >&2
  cpack --preset release -B "$build/package" >&2
fi
ls -1t "$build"/package/tessaro_*.deb | head -1
