#!/usr/bin/env bash
# Tries Tessaro on a bare Debian 12 system, as a new user's machine has it: debootstrap makes a
# minimal root (Debian's required packages and apt) in a folder, and inside it, as root:
#   package DEB   apt installs the package, which must pull in every library it needs by itself,
#                 then runs tessaro-cli --version, tessaro --version and the example's cartogram
#                 from the installed examples, and starts tessaro on Qt's offscreen platform;
#   readme        installs git, clones this repository's committed HEAD and runs the README's two
#                 commands, scripts/run-example.sh and scripts/test.sh, which must install what
#                 they need themselves.
# The root is kept for the next run (debootstrap takes minutes); --new makes it anew.
# Usage: scripts/fresh-debian.sh [--new] [--root FOLDER] (package DEB | readme)
#   FOLDER defaults to /tmp/tessaro-fresh-debian. Needs root (debootstrap, chroot, mounts).
set -euo pipefail
cd "$(dirname "$0")/.."
root=/tmp/tessaro-fresh-debian
new=0
while [ $# -gt 0 ]; do
  case "$1" in
    --new) new=1; shift ;;
    --root) root="$2"; shift 2 ;;
    *) break ;;
  esac
done
mode="${1:-}"
if [ "$mode" != package ] && [ "$mode" != readme ]; then
  echo "usage: scripts/fresh-debian.sh [--new] [--root FOLDER] (package DEB | readme)" >&2
  exit 2
fi
if [ "$mode" = package ]; then
  deb="$(realpath "${2:?give the path of the package}")"
fi
mirror="${DEBIAN_MIRROR:-http://deb.debian.org/debian}"

if [ "$new" = 1 ]; then
  rm -rf --one-file-system "$root"
fi
if [ ! -x "$root/usr/bin/apt-get" ]; then
  echo "Making a bare Debian 12 root in $root" >&2
  debootstrap --variant=minbase bookworm "$root" "$mirror" >/dev/null
  cat >"$root/etc/apt/sources.list" <<SOURCES
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb http://deb.debian.org/debian-security bookworm-security main
SOURCES
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"

mounted=()
unmount_all() {
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[$i]}" 2>/dev/null || true; done
}
trap unmount_all EXIT
for point in proc sys dev dev/pts dev/shm; do
  mkdir -p "$root/$point"
  mount --bind "/$point" "$root/$point"
  mounted+=("$root/$point")
done
in_root() { chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 bash -c "$1"; }

in_root "apt-get update -qq"
if [ "$mode" = package ]; then
  cp "$deb" "$root/tmp/"
  name="$(basename "$deb")"
  in_root "dpkg --purge tessaro >/dev/null 2>&1 || true
           DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends ./tmp/$name >/dev/null
           set -e
           tessaro-cli --version
           tessaro --version
           rm -rf /tmp/out
           tessaro-cli cartogram /usr/share/tessaro/examples/us_states/us_states.shp --field POP --output-dir /tmp/out
           ls /usr/share/man/man1/tessaro-cli.1.gz /usr/share/applications/tessaro.desktop
           # Qt's platform plugins load: on the offscreen one the program starts and stops at
           # the missing OpenGL context with its own message.
           QT_QPA_PLATFORM=offscreen tessaro 2>&1 | grep 'error: Tessaro draws its maps with OpenGL'"
else
  rm -rf "$root/root/tessaro"
  in_root "DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends git ca-certificates >/dev/null"
  git clone -q . "$root/root/tessaro"
  in_root "set -e; cd /root/tessaro
           bash scripts/run-example.sh
           bash scripts/test.sh"
fi
