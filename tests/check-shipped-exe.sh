#!/usr/bin/env bash
# The shipped exe is the 32-bit one: check its format, its imports and its resources from Linux.
set -euo pipefail
exe=${1:?path of the shipped Uninstaller.exe}
fail=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; fail=1; fi; }
[ -f "$exe" ] || { echo "FAIL shipped exe missing: $exe (build the i686 preset first)"; exit 1; }
info=$(file -b "$exe")
headers=$(i686-w64-mingw32-objdump -p "$exe")
check "PE32 for Intel 386" '[[ "$info" == "PE32 executable (GUI) Intel 80386"* ]]'
check "GUI subsystem" 'grep -q "Subsystem.*00000002" <<<"$headers"'
dlls=$(grep "DLL Name:" <<<"$headers" | awk '{print tolower($3)}' | sort -u)
allowed="advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msimg32.dll msvcrt.dll ole32.dll oleaut32.dll shell32.dll shlwapi.dll user32.dll uxtheme.dll version.dll windowscodecs.dll"
for dll in $dlls; do
  check "imports only Windows' own DLLs: $dll" '[[ " $allowed " == *" $dll "* ]]'
done
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
