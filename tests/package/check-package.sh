#!/usr/bin/env bash
# Checks Tessaro's Debian package from the outside, as a user's machine would get it:
# - its control data: the name, the version of the build, and dependencies on the libraries the
#   programs link (found by dpkg-shlibdeps) and on Qt's platform plugins;
# - unpacked into a scratch root (dpkg -x): the two programs, the desktop entry (valid, naming a
#   program and an icon the package holds), the shapefile type it opens, the manual pages, the
#   copyright and every example file;
# - the unpacked programs give their version, and tessaro-cli makes the example's cartogram into
#   a scratch folder, leaving the installed examples untouched;
# - lintian, when installed, finds no error.
# Usage: tests/package/check-package.sh PACKAGE.deb VERSION
set -euo pipefail
deb="$(realpath "$1")"
version="$2"
source_dir="$(cd "$(dirname "$0")/../.." && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

# Control data.
[ "$(dpkg-deb --field "$deb" Package)" = tessaro ] || fail "the package is not named tessaro"
[ "$(dpkg-deb --field "$deb" Version)" = "$version" ] || fail "the package's version is not $version"
depends="$(dpkg-deb --field "$deb" Depends)"
echo "Depends: $depends"
for library in libqt6widgets6 libqt6svg6 'libgdal[0-9]+' 'libfftw3-double3' 'libshp[0-9]+' 'libuemf[0-9]+' \
  qt6-qpa-plugins; do
  grep -Eq "(^|, )$library( |,|$)" <<<"$depends" || fail "the package does not depend on $library"
done

# Files.
root="$scratch/root"
dpkg -x "$deb" "$root"
for file in usr/bin/tessaro usr/bin/tessaro-cli; do
  [ -x "$root/$file" ] || fail "$file is missing or not executable"
done
for file in usr/share/applications/tessaro.desktop usr/share/icons/hicolor/scalable/apps/tessaro.svg \
  usr/share/mime/packages/tessaro.xml usr/share/man/man1/tessaro-cli.1.gz usr/share/man/man1/tessaro.1.gz \
  usr/share/doc/tessaro/copyright usr/share/doc/tessaro/changelog.gz; do
  [ -s "$root/$file" ] || fail "$file is missing or empty"
done
desktop="$root/usr/share/applications/tessaro.desktop"
if [ -f "$desktop" ]; then
  desktop-file-validate "$desktop" || fail "the desktop entry is not valid"
  exec_program="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")"
  [ -x "$root/usr/bin/$exec_program" ] || fail "the desktop entry starts '$exec_program', which the package lacks"
  icon="$(sed -n 's/^Icon=//p' "$desktop")"
  [ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "the desktop entry's icon '$icon' is missing"
  grep -q '^MimeType=.*application/vnd.shp;' "$desktop" || fail "the desktop entry does not open shapefiles"
fi
grep -q 'type="application/vnd.shp"' "$root/usr/share/mime/packages/tessaro.xml" 2>/dev/null ||
  fail "the shapefile type is not defined"
zcat "$root/usr/share/man/man1/tessaro-cli.1.gz" 2>/dev/null | grep -q '^\.SH EXIT STATUS' ||
  fail "the manual page of tessaro-cli has no exit statuses"
diff -r "$source_dir/examples" "$root/usr/share/tessaro/examples" >/dev/null ||
  fail "usr/share/tessaro/examples differs from the sources' examples/"

# The unpacked programs.
cli="$root/usr/bin/tessaro-cli"
"$cli" --version | grep -q "^tessaro-cli $version" || fail "tessaro-cli --version does not give $version"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/tessaro" --version | grep -q "^tessaro $version" ||
  fail "tessaro --version does not give $version without a display"
examples="$root/usr/share/tessaro/examples/us_states"
before="$(ls -l "$examples")"
if "$cli" --quiet cartogram "$examples/us_states.shp" --field POP --output-dir "$scratch/out" >"$scratch/summary.txt"; then
  grep -q '^Rounds transformed: 4$' "$scratch/summary.txt" || fail "the example's cartogram did not run its 4 rounds"
  [ -s "$scratch/out/us_states_3.shp" ] || fail "the example's cartogram wrote no last round"
else
  fail "the unpacked tessaro-cli could not make the example's cartogram"
fi
[ "$before" = "$(ls -l "$examples")" ] || fail "the cartogram wrote into the installed examples"

# Debian's own judge of packages.
if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" >"$scratch/lintian.txt" 2>&1 ||
    fail "lintian found errors"
  cat "$scratch/lintian.txt"
else
  echo "lintian is not installed: the package's policy check was skipped"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) of $deb failed" >&2
  exit 1
fi
echo "$deb: every check passed"
