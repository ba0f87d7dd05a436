#!/usr/bin/env bash
# Installs what the builds and tests need, when it is missing.
set -euo pipefail
packages=(cmake g++ make libgtest-dev googletest nlohmann-json3-dev clang libclang-rt-14-dev
          g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64
          binutils-mingw-w64-i686 wine64 wine fonts-wine xvfb xauth xdotool imagemagick tmux strace
          nsis wixl p7zip-full osslsigncode openssl zip unzip python3)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
