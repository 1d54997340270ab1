#!/usr/bin/env bash
# Installs the Debian packages that Tessaro's build, tests and scripts need, only those missing.
# Usage: scripts/install-deps.sh [--list]
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libboost-dev libshp-dev libcli11-dev libuemf-dev
  # FFTW's cosine transforms for the convergence mode's density flow
  libfftw3-dev
  # GDAL/OGR for the vector formats other than shapefiles; ogrinfo and ogr2ogr for the tests
  libgdal-dev gdal-bin
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  emf2svg graphviz libigraph-dev
  locales
  # the desktop program, a font for the messages that carry a Chinese line, and the tests and
  # pictures under a virtual X server
  qt6-base-dev qt6-svg-dev libqt6opengl6-dev libglu1-mesa-dev fonts-wqy-microhei
  xvfb xauth
  # scripts/screenshots.sh: a window manager, so the pictures show windows as users see them
  openbox
  # programs the tests start: pdftoppm renders the printed PDF; file, dpkg-shlibdeps' companion,
  # lets CPack find the package's dependencies; lintian and desktop-file-validate judge the package
  poppler-utils file lintian desktop-file-utils
  # the benchmark scripts: peak memory, arithmetic on timings, the area check of the outputs
  time bc python3
  # bench/peer-compare.sh: GDAL's Python bindings for the peer's input cleaning
  python3-gdal
  # tests/web: the cartogram's web page in headless Chromium, driven by Selenium from Python; the
  # screenshot's colours counted with Pillow
  chromium chromium-driver python3-selenium python3-pil
  # scripts/fresh-debian.sh: a bare Debian 12 root to install the package into
  debootstrap
)

# --list prints the packages, one a line, for the check that every program the tests and scripts
# start comes from one of them (scripts/check-programs.py).
if [ "${1:-}" = "--list" ]; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi

# The tests check that files keep '.' decimals under a decimal-comma locale.
test_locale="de_DE.UTF-8"

ensure_test_locale() {
  if locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    return 0
  fi
  echo "Generating the $test_locale locale for the tests" >&2
  "${sudo_cmd[@]}" sed -i "s/^# *\($test_locale UTF-8\)/\1/" /etc/locale.gen
  grep -q "^$test_locale UTF-8" /etc/locale.gen || echo "$test_locale UTF-8" | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  "${sudo_cmd[@]}" locale-gen >/dev/null
}

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing missing packages: ${missing[*]}" >&2
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
ensure_test_locale
