#!/usr/bin/env bash
# Starts the uninstaller in a sandbox Wine prefix of its own, without parameters, so that it
# copies itself to the temporary folder and restarts from there as it does for a user.
# Nothing outside build/demo is touched: not ~/.wine, not the real desktop, not the real trash.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
tools/build.sh
sandbox=build/demo
headless=0
[ -z "${DISPLAY:-}" ] && headless=1
if [ "$headless" = 1 ]; then
  tools/wine-env up "$sandbox"
else
  ORVEX_KEEP_DISPLAY=1 tools/wine-env up "$sandbox"
fi
trap 'tools/wine-env down "$sandbox" >/dev/null' EXIT
export ORVEX_KEEP_DISPLAY=$([ "$headless" = 1 ] && echo "" || echo 1)
tools/wine-env exec "$sandbox" build/x86_64/Uninstaller.exe
if [ "$headless" = 1 ]; then
  tools/wine-env exec "$sandbox" build/x86_64/screenshot.exe TfrmMain 'Z:'"$(pwd | tr / '\\')"'\build\demo\main-window.png' 30000 || true
  echo "screenshot: $sandbox/main-window.png"
else
  echo "the uninstaller's window is open on your display; close it when done"
  tools/wine-env shell "$sandbox" /usr/lib/wine/wineserver64 -w 2>/dev/null || true
fi
echo "sandbox: $sandbox (prefix, home, trash); your own ~/.wine, desktop and trash were not used"
