#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages the project builds, tests and runs with, when any is missing.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libpng-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev libudev-dev
  librsvg2-bin scdoc desktop-file-utils shared-mime-info libxml2-utils man-db dpkg-dev file
  xvfb xauth openbox x11-utils x11-apps wmctrl xdotool imagemagick clang libclang-rt-14-dev
  libcivetweb-dev zlib1g-dev python3-websockets python3-meshio
  libgdal-dev libproj-dev gdal-bin python3-pyproj python3-pandas
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev ffmpeg
  lintian appstream
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
# Another apt (an update at start-up, a software centre) may hold the lock: wait
# for it rather than fail.
apt=(apt-get -o DPkg::Lock::Timeout=300)
$sudo "${apt[@]}" update -q || true
$sudo "${apt[@]}" install -y -q --no-install-recommends "${missing[@]}"
