#!/usr/bin/env bash
# The one test command: install what is missing, build both targets, run every test under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
tools/build.sh
ctest --preset x86_64
