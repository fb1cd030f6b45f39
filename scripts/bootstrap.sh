#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Quarrelby need.
# Idempotent: packages that are already present are not touched.
# libminizip-dev: the header of the workbook writer's compression-level
# override. qt6-wayland: without it the program cannot start on a desktop
# that has no X server. qt6-wayland-dev, qt6-base-private-dev (Qt's native
# interface, for a window's Wayland surface): whether the compositor draws
# the title bars, and dialogs that GNOME places over their window. weston, sway, grim, wtype: the tests of the window under
# Wayland.
# appstream, desktop-file-utils, groff-base, bash-completion: the check of
# the metadata, manual page and completion that the package installs.
# python3-pyatspi, at-spi2-core, dbus-daemon: the test that drives the window
# as a screen reader does.
# evolution-data-server, gir1.2-ebook-1.2, python3-gi, thunderbird: the
# test that imports our vCards into real Evolution and Thunderbird books.
# pff-tools: the test that holds the vCards of Outlook items against
# libpff's own export.
# ImageMagick, which data/icons/draw.sh uses to redraw the committed icons,
# is not installed here. clang, libclang-rt-14-dev: the fuzz targets, which
# the test script builds; clang-tidy: the static checks it runs.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libxlsxwriter-dev libminizip-dev libbenchmark-dev libsqlite3-dev
  libpff-dev libbfio-dev
  fonts-liberation2 fonts-droid-fallback xdg-utils python3-openpyxl
  libx11-dev libxcb1-dev
  qt6-wayland qt6-wayland-dev qt6-base-private-dev weston sway grim wtype
  xvfb xdotool xclip
  python3-vobject x11-utils
  appstream desktop-file-utils groff-base bash-completion
  python3-pyatspi at-spi2-core dbus-daemon
  evolution-data-server gir1.2-ebook-1.2 python3-gi thunderbird pff-tools
  clang libclang-rt-14-dev clang-tidy
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive

# Another package manager (an unattended upgrade, Software, a second apt)
# holds dpkg's locks while it runs: wait for it rather than fail at once.
locks='/var/lib/dpkg/lock-frontend|/var/lib/dpkg/lock|/var/lib/apt/lists/lock|/var/cache/apt/archives/lock'
waited=0
while holder=$(lslocks -n -o COMMAND,PID,PATH 2>/dev/null | grep -E " ($locks)\$" | head -1) && [ -n "$holder" ]; do
  if [ $waited = 0 ]; then
    read -r command pid _ <<<"$holder"
    echo "bootstrap: another package manager ($command, process $pid) is running; waiting for it to finish..."
  fi
  [ $waited -lt 1800 ] || { echo "bootstrap: still locked after 30 minutes; try again later" >&2; exit 1; }
  sleep 2
  waited=$((waited + 2))
done
[ $waited = 0 ] || echo "bootstrap: the package manager has finished after ${waited} s"
echo "bootstrap: installing ${missing[*]}"
# The lock may still be taken between the check and apt: apt then waits too.
apt=(apt-get -q -o DPkg::Lock::Timeout=600)
"${sudo[@]}" "${apt[@]}" update
"${sudo[@]}" "${apt[@]}" install -y --no-install-recommends "${missing[@]}"
