#!/usr/bin/env bash
# How this machine runs 32-bit programs (Wine's 32-bit loader, and through it the shipped exe).
# The tests, the demo, the bench, CI and the smoke run all ask here, so that they agree.
#
#   tools/runs32.sh    prints one line and exits with
#     0  "native: ..."    the kernel runs them itself
#     1  "emulated: ..."  they run, but through an interpreter that binfmt_misc hands every 32-bit
#                         program to (another qemu, say): up to a hundred times slower, so only the
#                         smoke run uses them
#     2  "refused: ..."   they do not run at all
#     3  "emulated: ..."  through our own qemu (tools/emulate32.sh), which the tests can bear
set -uo pipefail
. "$(dirname "$0")/emulate32.sh"

loader=/usr/lib/wine/wine
ld32=/lib/ld-linux.so.2  # the dynamic loader of libc6:i386, which Wine's 32-bit loader needs

[ -x "$loader" ] || { echo "refused: $loader is not installed (package wine32:i386)"; exit 2; }
[ -e "$ld32" ] || { echo "refused: $ld32 is not installed (package libc6:i386)"; exit 2; }

# An interpreter registered with binfmt_misc takes 32-bit programs over even from a kernel that
# could run them, and the registrations may not be visible from here. The kernel always names what
# a process really runs as /proc/PID/exe, though: so a 32-bit program is held, waiting to open a
# pipe that nobody writes, and looked at from outside.
hold=$(mktemp -d)
trap 'rm -rf "$hold"' EXIT
mkfifo "$hold/pipe"
"$ld32" "$hold/pipe" >/dev/null 2>&1 &
pid=$!
shell=$(readlink "/proc/$$/exe")
exe=$shell
for _ in $(seq 400); do # up to 20 s: an emulator's first start is slow
  exe=$(readlink "/proc/$pid/exe" 2>/dev/null) || { exe=""; break; }
  [ "$exe" = "$shell" ] || break
  sleep 0.05
done
kill -KILL "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
case "$exe" in
  "" | "$shell")
    echo "refused: the kernel does not start 32-bit programs ($ld32 did not run)"
    exit 2
    ;;
esac

emulator=""
[ "$exe" = "$(realpath "$ld32")" ] || emulator=$exe
[ -z "$emulator" ] || emulate32_reserve
if ! timeout 120 "$loader" --version >/dev/null 2>&1; then
  echo "refused: $loader does not start${emulator:+ (32-bit programs go through $emulator)}"
  exit 2
fi
if [ "$emulator" = "$emulate32_qemu" ]; then
  echo "emulated: every 32-bit program goes through our $emulator (tools/emulate32.sh)"
  exit 3
elif [ -n "$emulator" ]; then
  echo "emulated: every 32-bit program goes through $emulator (registered with binfmt_misc)"
  exit 1
fi
echo "native: the kernel runs 32-bit programs itself"
