#!/usr/bin/env bash
# Installs what building and the demo need (and with --tests what the tests need besides), from
# Debian's packages only, in one apt run. Idempotent: packages that are already there are left
# alone, and apt is not even asked when nothing is missing.
#
#   tools/setup.sh            the cross compilers, Wine and an X server in memory
#   tools/setup.sh --tests    and what the tests and the native checks use
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/packages.sh

packages=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix  # the two cross compilers
  wine wine64                                           # Wine, run through its 64-bit loader
  xvfb xauth                                            # an X server in memory
  fonts-liberation                                      # Arial's metrics, as the window was drawn for
  cmake ninja-build googletest                          # build tools (the test support is built too)
)
if [ "${1:-}" = --tests ]; then
  packages+=(
    file xxd binutils                                   # checks of the shipped exe
    unrtf                                               # an RTF reader that is not ours
    clang libclang-rt-14-dev                            # the native sanitizer and fuzz checks
  )
fi

ensure_packages "${packages[@]}"

# Wine's 32-bit loader runs the shipped exe itself. Where it cannot be installed (no i386
# packages to be had, say), the 32-bit runs say SKIPPED and everything else goes on.
if ! ensure_packages wine32:i386; then
  echo "setup: wine32:i386 could not be installed; the shipped 32-bit exe will not run here"
fi
