#!/usr/bin/env bash
# Installs the Debian packages this project needs to build, run and test.
# Only missing packages are installed; safe to run again.
set -euo pipefail

PACKAGES=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6svg6
  libcurl4-openssl-dev ca-certificates
  libgtest-dev
  fonts-ipafont-gothic fonts-noto-cjk
  xvfb xauth xdotool x11-utils imagemagick
  python3 python3-pyftpdlib openssl
  clang
  nginx-light
  dpkg-dev file
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
