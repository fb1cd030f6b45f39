#!/usr/bin/env bash
# Builds the Debian package from a Release build of its own (build-package/,
# no tests, no benchmarks, Debian's hardening flags) and checks it with
# lintian, which must report no error.
#
#   scripts/package.sh [--install-check]
#
# --install-check (as root): installs the package with apt-get into a
# throwaway Debian 12 root where nothing of the build is present, then runs
# "quarrelby --version" and "quarrelby --export csv --book <sample book>"
# there, without a display, then starts the window under xvfb-run (installed
# in that root only) for five seconds; it prints what each wrote and its
# status, and fails when a status is not the one expected.
# The script installs the tools it needs (dpkg-dev, lintian, mmdebstrap).
set -euo pipefail
cd "$(dirname "$0")/.."

install_check=0
case "${1:-}" in
  "") ;;
  --install-check) install_check=1 ;;
  *) echo "usage: scripts/package.sh [--install-check]" >&2; exit 2 ;;
esac

scripts/bootstrap.sh
tools=(dpkg-dev lintian)
[ $install_check = 1 ] && tools+=(mmdebstrap)
missing=()
for p in "${tools[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

build=build-package
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DQUARRELBY_TESTS=OFF -DQUARRELBY_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
rm -f "$build"/quarrelby_*.deb
cmake --build "$build" --target package
deb=$(ls "$build"/quarrelby_*.deb)
echo "== $deb"
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"

echo "== lintian"
lintian --info --fail-on error "$deb"
echo "lintian: no error"

[ $install_check = 1 ] || exit 0

echo "== install check in a throwaway Debian 12 root"
[ "$(id -u)" -eq 0 ] || { echo "--install-check needs root" >&2; exit 1; }
root=$(mktemp -d /tmp/quarrelby-root.XXXXXX)
statuses=$(mktemp)
trap 'rm -rf "$root" "$statuses"' EXIT
# Each command runs with an empty environment: no DISPLAY, no
# WAYLAND_DISPLAY, no D-Bus session, as under cron. The hooks run outside
# the root, so each status is noted in a file of the host, after the one
# expected: --books finds no book in a fresh root (1), and the window runs
# until timeout stops it (124).
check() {
  local expected=$1 environment=$2
  shift 2
  local command=$*
  printf '%s' "echo '-- $environment $command'; chroot \"\$1\" env -i HOME=/root \
PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 $environment timeout 60 $command; status=\$?; \
echo \"status \$status\"; echo \"$expected \$status $command\" >>$statuses"
}
mmdebstrap --variant=apt \
  --customize-hook="copy-in $deb samples/contacts /tmp" \
  --customize-hook="chroot \"\$1\" sh -c 'cd /tmp && apt-get install -y -q ./$(basename "$deb")'" \
  --customize-hook="chroot \"\$1\" dpkg-query -W -f='\${Depends}\n' quarrelby" \
  --customize-hook="$(check 0 '' quarrelby --version)" \
  --customize-hook="$(check 0 '' quarrelby --export csv --book /tmp/contacts)" \
  --customize-hook="$(check 0 '' quarrelby --books --book /tmp/contacts)" \
  --customize-hook="$(check 1 '' quarrelby --books)" \
  --customize-hook="chroot \"\$1\" apt-get install -y -q --no-install-recommends xvfb xauth" \
  --customize-hook="$(check 124 QUARRELBY_CONTACTS=/tmp/contacts xvfb-run -a timeout 5 quarrelby)" \
  bookworm "$root" \
  "deb http://deb.debian.org/debian bookworm main" \
  "deb http://deb.debian.org/debian bookworm-updates main" \
  "deb http://deb.debian.org/debian-security bookworm-security main" </dev/null

echo "== in the Debian 12 root (expected status, status, command)"
cat "$statuses"
! awk '$1 != $2' "$statuses" | grep -q .
