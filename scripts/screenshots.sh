#!/usr/bin/env bash
# Pictures of the desktop program for the README: starts it on a virtual X server, opens the US
# states example, runs a cartogram through its dialogs and saves PNGs of the main window and of
# every dialog into docs/images (or the folder given).
# Usage: scripts/screenshots.sh [FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
target="${1:-docs/images}"

bash scripts/install-deps.sh
cmake --preset default -DTESSARO_WERROR="${TESSARO_WERROR:-OFF}" >/dev/null
cmake --build --preset default --target tessaro tessaro_screenshot_tour

# The tour drives the same main window as build/default/app/tessaro, on the xcb platform so the
# pictures are what a desktop shows; its settings stay in a scratch folder.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
# openbox manages the windows, as a desktop's window manager would.
XDG_CONFIG_HOME="$scratch" XDG_RUNTIME_DIR="$scratch" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x800x24" \
  sh -c 'openbox & sleep 1; ./build/default/tests/app/tessaro_screenshot_tour "$0"' "$target"
ls -1 "$target"/*.png
