#!/usr/bin/env bash
# Installs the Debian packages Orbelune builds, runs and tests with, and any named as
# arguments; only what is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libglfw3-dev libglew-dev libglm-dev libbullet-dev libtinyobjloader-dev libstb-dev
  libfreetype-dev libfontconfig-dev libopenal-dev fonts-liberation fonts-dejavu-core
  libgtest-dev libbenchmark-dev
  xvfb xauth xdotool imagemagick glslang-tools python3
)
# --no-recommends first: the named tools without all they merely recommend (diffoscope's
# recommendations alone are some four hundred packages).
apt_options=()
if [ "${1:-}" = "--no-recommends" ]; then
  apt_options+=(--no-install-recommends)
  shift
fi
packages+=("$@") # callers with needs of their own name them as arguments

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
# A fresh desktop's automatic updates may hold the package manager's lock: wait for them
# (ten minutes is longer than an unattended upgrade takes) instead of failing at once.
lock_wait=(-o DPkg::Lock::Timeout=600)
echo "Installing: ${missing[*]}"
$sudo apt-get "${lock_wait[@]}" update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get "${lock_wait[@]}" install -y -qq "${apt_options[@]}" "${missing[@]}"
