#!/usr/bin/env bash
# Installs the Debian packages this project needs to build, run, test and package it.
# Only missing packages are installed; safe to run again. One line per group of packages.
set -euo pipefail

# "group: packages" per entry; a bare package name is a group of its own.
PACKAGES=(
  "build tools: cmake g++ make pkg-config ccache"
  "Qt and curl: qt6-base-dev qt6-base-dev-tools libqt6svg6 libcurl4-openssl-dev ca-certificates libxcb1-dev"
  "test frameworks: libgtest-dev"
  "Japanese fonts: fonts-ipafont-gothic fonts-noto-cjk"
  "X display: xvfb xauth xdotool x11-utils imagemagick"
  "test servers: python3 python3-pyftpdlib openssl nginx-light python3-xlib"
  "benchmark (bench/run.py): time curl"
  "clang: clang"
  "packaging: dpkg-dev file lintian appstream desktop-file-utils man-db"
  "Qt translations and locales: qt6-translations-l10n locales"
  "D-Bus test buses: dbus python3-dbus python3-gi attr"
  "accessibility bus: at-spi2-core python3-pyatspi"
)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
trap 'rm -f "$log"' EXIT
updated=0
for entry in "${PACKAGES[@]}"; do
  if [[ $entry == *:* ]]; then
    group=${entry%%:*}
    read -ra names <<< "${entry#*:}"
  else
    group=$entry
    names=("$entry")
  fi
  missing=()
  for p in "${names[@]}"; do installed "$p" || missing+=("$p"); done
  [ ${#missing[@]} -eq 0 ] && continue
  if [ $updated -eq 0 ]; then
    $SUDO apt-get update -qq > "$log" 2>&1 || { cat "$log"; exit 1; }
    updated=1
  fi
  if $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" > "$log" 2>&1; then
    echo "setup: $group: installed ${missing[*]}"
  else
    cat "$log"
    echo "setup: $group: apt-get install ${missing[*]} failed"
    exit 1
  fi
done
[ $updated -eq 1 ] || echo "setup: every package is installed"

# The locales the tests run under (ja_JP.UTF-8 above all), generated once.
for loc in ja_JP.UTF-8 en_US.UTF-8; do
  if ! locale -a 2>/dev/null | grep -qix "${loc/UTF-8/utf8}"; then
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    $SUDO sed -i "s/^# *\(${loc} UTF-8\)/\1/" /etc/locale.gen
    grep -qx "${loc} UTF-8" /etc/locale.gen || echo "${loc} UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen >/dev/null
  fi
done
