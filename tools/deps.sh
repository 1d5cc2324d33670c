#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Sorvanta need, when any is missing.
set -euo pipefail
packages=(
  build-essential cmake pkg-config g++
  libsdl2-dev libfreetype-dev libjpeg62-turbo-dev libgif-dev libasound2-dev libx11-dev
  libtomlplusplus-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xauth xdotool x11-utils
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
