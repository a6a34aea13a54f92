#!/usr/bin/env bash
# The one test command: install what is missing, build both targets, run every test under Wine
# (CTest, in one sandbox prefix inside Xvfb), then the native sanitizer tests of the portable code
# with a short fuzz run. Its log is kept for tools/reliability.sh --from-last-run.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
tools/build.sh
ctest --preset x86_64
mkdir -p build/native-asan
tools/native-checks.sh 2>&1 | tee build/native-asan/native-checks.log
