#!/usr/bin/env bash
# Installs what building and testing need, from Debian's packages only. Idempotent: packages that
# are already there are left alone, and apt is not even asked when nothing is missing.
set -euo pipefail

packages=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix  # the two cross compilers
  wine wine64                                           # 64-bit Wine only: no i386 architecture
  xvfb xauth                                            # an X server in memory for the tests
  fonts-liberation                                      # Arial's metrics, as the window was drawn for
  cmake ninja-build googletest                          # build and test tools
  file xxd binutils                                     # checks of the shipped exe
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "all build and test packages are installed"
fi
