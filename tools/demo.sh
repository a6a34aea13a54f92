#!/usr/bin/env bash
# The program's main job, safely: installs what is missing, builds, makes a sandbox Wine prefix of
# its own under build/demo, installs the stand-in Pelmor Wallpaper Changer there (registry values,
# installation and data folders with files, desktop and Start-menu shortcuts) and starts
# Uninstaller.exe from the installation folder without parameters, as a user does, so that it
# copies itself to the temporary folder and restarts from there.
#
#   tools/demo.sh [--headless] [--product-running]
#
# With a display (and no --headless) the window opens there and you uninstall by hand; the checks
# run once every program in the sandbox has ended. Without a display, or with --headless, it runs
# in an X server in memory and does the uninstall itself the way a person would: it waits for the
# countdown, answers both questions, closes the feedback box, prints the rows of the log, saves
# screenshots before and after, shows where the folders went in the trash and ends with a verdict.
# --product-running starts the stand-in product first, so that the uninstaller has to wait for it.
#
# The exit code is 0 only for a true verdict. Nothing outside build/demo is touched: not ~/.wine,
# not your desktop, not your trash.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

headless=0
product=()
for arg in "$@"; do
  case "$arg" in
    --headless) headless=1 ;;
    --product-running) product=(--product-running) ;;
    -h | --help) sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "unknown option: $arg (try --help)" >&2; exit 2 ;;
  esac
done
[ -n "${DISPLAY:-}" ] || headless=1

started=$(date +%s)
stage_started=$started
# One line per stage, with the time it took and the time since the start.
stage() {
  local now
  now=$(date +%s)
  echo "== $1 ($((now - stage_started)) s, $((now - started)) s in all)"
  stage_started=$now
}

echo "== installing what is missing from Debian's packages (the first run on a new machine takes a few minutes)"
tools/setup.sh
stage "packages ready"

# Only what the demo runs: the two builds of the uninstaller, the driver and the programs it
# starts (the sandbox installer and the stand-in product).
echo "== building the uninstaller (32-bit and 64-bit) and the demo's driver"
cmake --preset i686 >/dev/null
cmake --build --preset i686 --target Uninstaller -j "$(nproc)"
cmake --preset x86_64 >/dev/null
cmake --build --preset x86_64 --target Uninstaller demo_driver -j "$(nproc)"
stage "built"

sandbox=$root/build/demo
driver=$root/build/x86_64/demo_driver.exe
mkdir -p "$sandbox/state"
rm -f "$sandbox"/demo-before.png "$sandbox"/demo-after.png "$sandbox"/state/demo-*.listing
win_path() { echo "Z:$(echo "$1" | tr / '\\')"; }
export ORVEX_SANDBOX_DIR
ORVEX_SANDBOX_DIR=$(win_path "$sandbox")

echo "== making the sandbox: a Wine prefix of its own under $sandbox"
if [ "$headless" = 1 ]; then
  unset ORVEX_KEEP_DISPLAY
else
  export ORVEX_KEEP_DISPLAY=1
fi
# Where the kernel does not run 32-bit programs itself, qemu's emulation is registered for the
# demo (before the prefix is made, so that its 32-bit system is filled): tools/emulate32.sh.
. tools/packages.sh
. tools/emulate32.sh
trap emulate32_down EXIT
runs32=0
emulate32_where_needed && runs32=1
tools/wine-env up "$sandbox"
trap 'tools/wine-env down "$sandbox" >/dev/null 2>&1 || true; emulate32_down' EXIT
prefix=$(tools/wine-env path "$sandbox" prefix)
trash=$(tools/wine-env path "$sandbox" trash)
desktop=$(tools/wine-env path "$sandbox" desktop)
report=$sandbox/state/demo-report.txt
stage "sandbox ready"

# The exe we ship is the 32-bit one; where 32-bit Windows programs cannot run here, its 64-bit
# twin does the demo instead.
uninstaller=()
if [ "$runs32" = 1 ] && [ -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ]; then
  uninstaller=(--uninstaller "$(win_path "$root/build/i686/Uninstaller.exe")")
  echo "== the uninstaller is the shipped 32-bit Uninstaller.exe ($emulate32_how)"
else
  echo "== 32-bit programs do not run here ($emulate32_how${emulate32_why:+; ours: $emulate32_why}):"
  echo "   the uninstaller is its 64-bit twin"
fi

rc=0
if [ "$headless" = 1 ]; then
  echo "== headless uninstall of the sandbox product"
  tools/wine-env exec "$sandbox" "$driver" drive "${product[@]}" "${uninstaller[@]}" </dev/null |
    tee "$report" || rc=$?
  stage "uninstall driven and checked"
else
  tools/wine-env exec "$sandbox" "$driver" install "${product[@]}" "${uninstaller[@]}" </dev/null
  echo "== the uninstaller's window opens on your display ($DISPLAY): uninstall by hand"
  (cd "$prefix/drive_c/Pelmor Wallpaper" &&
    "$root/tools/wine-env" exec "$sandbox" 'C:\Pelmor Wallpaper\Uninstaller.exe' </dev/null) || true
  echo "== waiting until the uninstaller has ended (close its window when done)"
  # The sandbox's server stays up for good; what counts is the uninstaller's processes, known by
  # the prefix in their environment.
  running() {
    local pid
    for pid in $(pgrep -f 'Uninstaller\.exe' || true); do
      tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$prefix" && return 0
    done
    return 1
  }
  for _ in $(seq 1 60); do running && break; sleep 1; done
  while running; do sleep 2; done
  tools/wine-env exec "$sandbox" "$driver" check </dev/null | tee "$report" || rc=$?
fi

echo
echo "== where everything is"
echo "sandbox:      $sandbox"
echo "wine prefix:  $prefix   (drive C: is $prefix/drive_c)"
echo "trash:        $trash   (Wine's Recycle Bin for this sandbox)"
find "$trash/files" -maxdepth 1 -mindepth 1 -printf '              files/%f\n' 2>/dev/null || true
echo "desktop:      $desktop"
find "$desktop" -maxdepth 1 -name '*.RTF' -printf '              %f\n' 2>/dev/null || true
for shot in demo-before.png demo-after.png; do
  [ -f "$sandbox/$shot" ] && echo "screenshot:   $sandbox/$shot"
done
echo "report:       $report"
echo "your own ~/.wine, desktop and trash were not used"
exit "$rc"
