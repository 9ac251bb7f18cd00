#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Brevane needs.
# Safe to run again: apt skips what is already there.
set -euo pipefail
PACKAGES=(
  build-essential cmake ninja-build pkg-config git python3
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libgtk-3-dev libwebkit2gtk-4.1-dev libxtst-dev libcurl4-openssl-dev libjpeg62-turbo-dev
  libgnutls28-dev glib-networking
  clang libclang-rt-14-dev
  xvfb xauth x11-utils xdotool xclip imagemagick dbus-x11 at-spi2-core
  fonts-wqy-zenhei
  mingw-w64 wine64
)
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
