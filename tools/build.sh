#!/usr/bin/env bash
# Configures and builds both targets: the shipped 32-bit exe and its 64-bit twin with the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in i686 x86_64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
done
echo "built: build/i686/Uninstaller.exe (shipped), build/x86_64/Uninstaller.exe (64-bit twin)"
