#!/usr/bin/env bash
# The shipped exe is the 32-bit one: check its format, its imports and its resources from Linux.
# Given the 64-bit twin as well, check its imports the same way.
#
#   check-shipped-exe.sh SHIPPED_EXE [TWIN_EXE]
set -euo pipefail
exe=${1:?path of the shipped Uninstaller.exe}
twin=${2:-}
fail=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; fail=1; fi; }
[ -f "$exe" ] || { echo "FAIL shipped exe missing: $exe (build the i686 preset first)"; exit 1; }

# Libraries that Windows 7 to 10 always load from the system folder, whatever folder the program
# runs from: the names every one of them lists under
# HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs, and comctl32, which the
# manifest sends to the side-by-side store. Any other name in the import table would be looked for
# in the program's own folder first, before the program's first line runs.
allowed="advapi32.dll clbcatq.dll comctl32.dll comdlg32.dll gdi32.dll imagehlp.dll imm32.dll
kernel32.dll msctf.dll msvcrt.dll normaliz.dll nsi.dll ole32.dll oleaut32.dll psapi.dll
rpcrt4.dll sechost.dll setupapi.dll shell32.dll shlwapi.dll user32.dll wldap32.dll ws2_32.dll"
allowed=$(tr '\n' ' ' <<<"$allowed")

# Prints the import table (each library with the functions taken from it) and checks its names.
check_imports() {
  local label=$1 file=$2 objdump=$3 table dlls dll
  table=$("$objdump" -p "$file" | awk '
    /DLL Name:/ { if (dll) print dll ":" names; dll = $3; names = ""; next }
    dll && /^\t[ 0-9a-f]+\t +[0-9]+ +[^ ]+/ { names = names " " $3 }
    END { if (dll) print dll ":" names }')
  echo "import table of the $label ($file):"
  sed 's/^/    /' <<<"$table"
  dlls=$(cut -d: -f1 <<<"$table" | tr '[:upper:]' '[:lower:]' | sort -u)
  check "$label imports something" '[ -n "$dlls" ]'
  for dll in $dlls; do
    check "$label imports only libraries Windows takes from its own folder: $dll" \
      '[[ " $allowed " == *" $dll "* ]]'
  done
}

info=$(file -b "$exe")
headers=$(i686-w64-mingw32-objdump -p "$exe")
size=$(stat -c %s "$exe")
check "within its size budget of 450 KiB: $size B <= 460800 B" '[ "$size" -le 460800 ]'
check "PE32 for Intel 386" '[[ "$info" == "PE32 executable (GUI) Intel 80386"* ]]'
check "GUI subsystem" 'grep -q "Subsystem.*00000002" <<<"$headers"'
check_imports "shipped exe" "$exe" i686-w64-mingw32-objdump
if [ -n "$twin" ]; then
  if [ -f "$twin" ]; then
    check "64-bit twin is PE32+ for x86-64" \
      '[[ "$(file -b "$twin")" == "PE32+ executable (GUI) x86-64"* ]]'
    check_imports "64-bit twin" "$twin" x86_64-w64-mingw32-objdump
  else
    check "64-bit twin present: $twin" false
  fi
fi
check "release build is stripped: no debug sections" '! i686-w64-mingw32-objdump -h "$exe" | grep -q "\.debug_"'
# Resource strings are UTF-16LE in the .rsrc section.
u16() { printf '%s' "$1" | iconv -f utf-8 -t utf-16le | xxd -p | tr -d '\n'; }
hex=$(xxd -p "$exe" | tr -d '\n')
for text in "Lightweight uninstaller" "5.0.0.0" "uninstaller" "CompanyName" "ProductName"; do
  check "version string present: $text" '[[ "$hex" == *"$(u16 "$text")"* ]]'
done
# VarFileInfo\Translation: U.S. English (0x0409) with code page 1252 (0x04E4).
check "version translation U.S. English / 1252" '[[ "$hex" == *"$(u16 "Translation")"*"0904e404"* ]]'
manifest=$(strings -n 8 "$exe")
check "manifest: asInvoker" 'grep -q "level=\"asInvoker\"" <<<"$manifest"'
check "manifest: common controls 6" 'grep -q "Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"" <<<"$manifest"'
check "manifest: per-monitor v2 DPI" 'grep -q "PerMonitorV2" <<<"$manifest"'
check "manifest: Vista listed" 'grep -q "e2011457-1546-43c5-a5fe-008deee3d3f0" <<<"$manifest"'
check "manifest: Windows 10 listed" 'grep -q "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a" <<<"$manifest"'
exit $fail
