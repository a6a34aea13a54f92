#!/usr/bin/env bash
# Benchmarks: size, start-up, memory, uninstall throughput and the log pane, each next to a
# baseline built in the same run, printed as one table with run counts, medians and spread.
#
#   bench/run.sh                    BENCH_RUNS (default 10) start-ups of the shipped 32-bit
#                                   uninstaller, of an NSIS uninstaller (the lightest real peer,
#                                   also 32-bit), of the 32-bit baseline and of the 64-bit twin,
#                                   interleaved, each to its first complete paint as the screen
#                                   shows it, with where the time goes; log runs;
#                                   BENCH_UNINSTALL_RUNS (default 3) uninstalls of 20,000 files
#                                   into an empty Recycle Bin and into one that already holds
#                                   BENCH_BIN_ENTRIES (default 30,000) entries
#
# Targets are printed beside the figures, never enforced: the script exits non-zero only when
# it could not measure. Everything runs in its own sandbox, build/bench.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${BENCH_RUNS:-10}
uninstall_runs=${BENCH_UNINSTALL_RUNS:-3}
files=${BENCH_FILES:-20000}
file_kb=${BENCH_FILE_KB:-10}
bin_entries=${BENCH_BIN_ENTRIES:-30000}

die() { echo "bench: could not measure: $*" >&2; exit 1; }

tools/setup.sh >/dev/null || die "set-up failed"
. tools/packages.sh
# The shipped exe, the peer and the baseline are 32-bit: where this kernel refuses 32-bit programs
# (Wine's 32-bit loader fails with "Exec format error"), none of them starts, and figures taken
# under qemu's emulation (tools/smoke32.sh) would be the emulator's, not a user's.
how32=$(tools/runs32.sh) ||
  die "32-bit programs do not run natively on this machine ($how32), and the shipped exe, the peer and the baseline are all 32-bit"
ensure_packages nsis >/dev/null || die "the peer's compiler (Debian's nsis) could not be installed"
tools/build.sh >/dev/null || die "build failed"
cmake --build --preset x86_64 --target bench >/dev/null || die "the benchmark programs did not build"
# Like for like: the baseline of the shipped exe is 32-bit as well.
cmake --build --preset i686 --target baseline_restart >/dev/null ||
  die "the 32-bit baseline did not build"

bin=$root/build/x86_64
sandbox=$root/build/bench
results=$sandbox/results.txt
mkdir -p "$sandbox"
: >"$results"
export ORVEX_SANDBOX_DIR="Z:$(echo "$sandbox" | tr / '\\')"
tools/wine-env up "$sandbox" >/dev/null || die "the sandbox did not come up"
trap 'tools/wine-env down "$sandbox" >/dev/null 2>&1' EXIT
trash=$(tools/wine-env path "$sandbox" trash)
run() { tools/wine-env exec "$sandbox" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
empty_trash() { rm -rf "$trash/files" "$trash/info"; mkdir -p "$trash/files" "$trash/info"; }
# fill_trash N: a Recycle Bin that holds N entries deleted earlier, each a small file
fill_trash() {
  empty_trash
  (cd "$trash" && for i in $(seq 1 "$1"); do
    echo old >"files/older $i.txt"
    printf '[Trash Info]\nPath=/older %d.txt\nDeletionDate=2026-01-01T10:00:00\n' "$i" \
      >"info/older $i.txt.trashinfo"
  done)
}
# record NAME VALUE: one measurement
record() { [ -n "$2" ] && echo "$1 $2" >>"$results"; }
value() { sed -n "s/^$1 //p" | tail -n1; }

# --- 1. size ---
exe32=build/i686/Uninstaller.exe
exe64=$bin/Uninstaller.exe
[ -f "$exe32" ] && [ -f "$exe64" ] || die "the executables are missing"
dlls() { "$1-objdump" -p "$2" | awk '/DLL Name:/ { print tolower($3) }' | sort -u | tr '\n' ' '; }
dlls32=$(dlls i686-w64-mingw32 "$exe32")
dlls64=$(dlls x86_64-w64-mingw32 "$exe64")

# --- 2 and 3. start-up and memory: the uninstaller, the peer and the baseline in turn ---
echo "bench: start-up and memory, $runs runs each" >&2
win_path() { echo "Z:$(echo "$1" | tr / '\\')"; }
shipped=(--uninstaller "$(win_path "$root/$exe32")")
run "$bin/pelmor_install.exe" --install 'C:\bench\Pelmor Wallpaper' --data 'C:\bench\data' --no-shortcuts \
  "${shipped[@]}" || die "the sandbox product did not install"
mkdir -p "$sandbox/prefix/drive_c/bench/base" "$sandbox/prefix/drive_c/bench/twin" "$sandbox/peer"
cp build/i686/baseline_restart.exe "$sandbox/prefix/drive_c/bench/base/"
cp "$exe64" "$sandbox/prefix/drive_c/bench/twin/Uninstaller.exe"
# The peer: an NSIS uninstaller, built here from a script of ours and installed silently. Like
# ours it copies itself to the temporary folder and restarts from there.
cp bench/peer.nsi "$sandbox/peer/"
(cd "$sandbox/peer" && makensis -V1 peer.nsi) || die "the peer did not build"
run "Z:$(echo "$sandbox/peer/peer-setup.exe" | tr / '\\')" /S || die "the peer did not install"
peer='C:\bench\NSIS peer\uninstall.exe'
[ -f "$sandbox/prefix/drive_c/bench/NSIS peer/uninstall.exe" ] || die "the peer's uninstaller is missing"
ours='C:\bench\Pelmor Wallpaper\Uninstaller.exe'
base='C:\bench\base\baseline_restart.exe'
twin='C:\bench\twin\Uninstaller.exe'
for warm in "$ours TfrmMain" "$peer #32770" "$base BenchBaseline" "$twin TfrmMain"; do
  run "$bin/bench_driver.exe" startup "${warm% *}" "${warm##* }" >/dev/null
done
# startup NAME EXE CLASS: one start-up of each, with its breakdown
startup() {
  local out
  out=$(run "$bin/bench_driver.exe" startup "$2" "$3")
  record "startup_$1" "$(value drawn_ms <<<"$out")"
  record "memory_$1" "$(value peak_kb <<<"$out")"
  record "copy_started_$1" "$(value copy_started_ms <<<"$out")"
  record "form_created_$1" "$(value form_created_ms <<<"$out")"
  record "visible_$1" "$(value visible_ms <<<"$out")"
}
for i in $(seq 1 "$runs"); do
  startup uninstaller "$ours" TfrmMain
  startup peer "$peer" '#32770'
  startup baseline "$base" BenchBaseline
  startup twin "$twin" TfrmMain
  out=$(run "$bin/startup_probe.exe" "$base")
  for piece in common_controls_v6 rich_edit com wic_logo shell_start; do
    record "probe_$piece" "$(value "probe_${piece}_ms" <<<"$out")"
  done
done

# --- 4. uninstall throughput against the bare shell call, into an empty and a full bin ---
echo "bench: uninstall of $files files of $file_kb KB, $uninstall_runs runs each," \
  "bin empty and holding $bin_entries entries" >&2
for i in $(seq 1 "$uninstall_runs"); do
  for bin_state in empty full; do
    suffix=$([ "$bin_state" = full ] && echo _fullbin)
    prepare_bin() { if [ "$bin_state" = full ]; then fill_trash "$bin_entries"; else empty_trash; fi; }
    prepare_bin
    run "$bin/pelmor_install.exe" --install 'C:\bench\Pelmor Wallpaper' --data 'C:\bench\data' \
      "${shipped[@]}" >/dev/null
    run "$bin/bench_driver.exe" tree 'C:\bench\Pelmor Wallpaper\library' "$files" "$file_kb" >/dev/null
    out=$(run "$bin/bench_driver.exe" uninstall 'C:\bench\Pelmor Wallpaper')
    record "uninstall_uninstaller$suffix" "$(value uninstall_ms <<<"$out")"
    prepare_bin
    run "$bin/bench_driver.exe" tree 'C:\bench\Baseline tree\library' "$files" "$file_kb" >/dev/null
    out=$(run "$bin/baseline_recycle.exe" 'C:\bench\Baseline tree')
    record "uninstall_baseline$suffix" "$(value elapsed_ms <<<"$out")"
  done
done
empty_trash

# --- 5. the log pane ---
echo "bench: log pane, $runs runs" >&2
for i in $(seq 1 "$runs"); do
  out=$(run "$bin/logbench.exe" 10000)
  record log_rows "$(value rows_ms <<<"$out")"
  record log_save "$(value save_ms <<<"$out")"
done

# --- the table ---
# stats NAME: "count median min max" of one figure
stats() {
  awk -v n="$1" '$1 == n { print $2 }' "$results" | sort -g |
    awk '{ v[NR] = $1 } END {
      if (NR == 0) { print "0 - - -"; exit }
      m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
      printf "%d %.1f %.1f %.1f\n", NR, m, v[1], v[NR] }'
}
median() { stats "$1" | awk '{ print $2 }'; }
ratio() { awk -v a="$(median "$1")" -v b="$(median "$2")" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
# paired NAME1 NAME2: the median of the runs' own ratios; the runs are interleaved, so each pair
# met the same state of the machine, which the ratio of the two medians does not take into account
paired() {
  awk -v a="$1" -v b="$2" '$1 == a { x[++i] = $2 } $1 == b { y[++j] = $2 }
    END { for (k = 1; k <= i && k <= j; ++k) if (y[k] > 0) print x[k] / y[k] }' "$results" |
    sort -g | awk '{ v[NR] = $1 } END {
      if (NR == 0) { print "-"; exit }
      printf "%.2f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
line() {  # figure, name, unit
  read -r n m lo hi <<<"$(stats "$2")"
  printf '%-34s %5s %12s %12s %12s  %s\n' "$1" "$n" "$m $3" "$lo" "$hi" "${4:-}"
}

size32=$(stat -c %s "$exe32")
size64=$(stat -c %s "$exe64")
echo
printf '%-34s %5s %12s %12s %12s  %s\n' "figure" "runs" "median" "min" "max" "note"
printf '%s\n' "------------------------------------------------------------------------------------------------"
printf '%-34s %5s %12s %12s %12s  %s\n' "size, shipped 32-bit exe" 1 "$size32 B" - - \
  "ceiling 460800 B (450 KiB): $([ "$size32" -le 460800 ] && echo met || echo MISSED)"
printf '%-34s %5s %12s %12s %12s  %s\n' "size, 64-bit twin" 1 "$size64 B" - - ""
printf '  imports 32-bit: %s\n  imports 64-bit: %s\n' "$dlls32" "$dlls64"
sections=$(i686-w64-mingw32-objdump -h "$exe32" | awk '$2 ~ /^\./ { print $2, $3 }' |
  while read -r name hex; do printf '%s %d B, ' "$name" "$((16#$hex))"; done)
printf '  shipped exe made of (section sizes): %s\n' "${sections%, }"
printf '  of its resources, the logo (PNG): %s B\n' "$(stat -c %s resources/logo.png)"
line "start-up to drawn, shipped 32-bit" startup_uninstaller ms
line "start-up to drawn, NSIS uninst." startup_peer ms \
  "ours/NSIS $(ratio startup_uninstaller startup_peer), paired $(paired startup_uninstaller startup_peer) (target <= 0.75)"
line "start-up to drawn, baseline" startup_baseline ms \
  "ours/baseline $(ratio startup_uninstaller startup_baseline), paired $(paired startup_uninstaller startup_baseline) (target <= 1.2)"
line "start-up to drawn, 64-bit twin" startup_twin ms \
  "twin/NSIS $(ratio startup_twin startup_peer), paired $(paired startup_twin startup_peer)"
line "peak memory, shipped copy" memory_uninstaller KB
line "peak memory, baseline copy" memory_baseline KB "ratio $(ratio memory_uninstaller memory_baseline) (target <= 1.4)"
line "peak memory, 64-bit twin copy" memory_twin KB
line "uninstall $files files, to saved log" uninstall_uninstaller ms
line "bare shell call, same tree" uninstall_baseline ms "ratio $(ratio uninstall_uninstaller uninstall_baseline)"
fixed_work() {
  printf '%-34s %5s %12s %12s %12s  %s\n' "$1" - \
    "$(awk -v a="$(median "$2")" -v b="$(median "$3")" 'BEGIN { printf "%.1f ms", a - b }')" \
    - - "beyond the bare shell call (target <= 30 ms)"
}
fixed_work "uninstall's fixed work, empty bin" uninstall_uninstaller uninstall_baseline
line "uninstall, bin of $bin_entries entries" uninstall_uninstaller_fullbin ms
line "bare shell call, same full bin" uninstall_baseline_fullbin ms \
  "ratio $(ratio uninstall_uninstaller_fullbin uninstall_baseline_fullbin)"
fixed_work "fixed work, bin of $bin_entries" uninstall_uninstaller_fullbin uninstall_baseline_fullbin
line "log pane, 10,000 levelled rows" log_rows ms "target < 1000 ms"
line "log pane, SaveAsRtf of them" log_save ms "target < 1000 ms"
echo
echo "where the start-up goes (medians in ms; each stage from the end of the one before)"
printf '%-12s %14s %14s %14s %14s\n' "" "copy started" "form created" "visible" "drawn"
for who in uninstaller peer baseline twin; do
  awk -v c="$(median "copy_started_$who")" -v f="$(median "form_created_$who")" \
      -v v="$(median "visible_$who")" -v d="$(median "startup_$who")" -v w="$who" \
      'BEGIN { printf "%-12s %14.1f %14.1f %14.1f %14.1f\n", w, c, f - c, v - f, d - v }'
done
echo "  uninstaller: the shipped 32-bit exe; peer and baseline: 32-bit as well; twin: 64-bit"
echo "  first process start to copy started: both processes' loading and the shell's start of the copy"
echo "  drawn: the screen's pixels first show the window as it stays (logo and first log row inked)"
echo "pieces of the start-up on their own (medians in ms, a fresh process each):"
for piece in common_controls_v6 rich_edit com wic_logo shell_start; do
  printf '  %-22s %8s\n' "$piece" "$(median "probe_$piece")"
done
echo
echo "raw figures: $results"

for figure in startup_uninstaller startup_peer startup_baseline visible_uninstaller \
  memory_uninstaller memory_baseline \
  uninstall_uninstaller uninstall_baseline uninstall_uninstaller_fullbin \
  uninstall_baseline_fullbin log_rows log_save; do
  [ "$(stats "$figure" | awk '{ print $1 }')" -gt 0 ] || die "no measurement of $figure"
done
exit 0
