#!/usr/bin/env bash
# Native Linux checks of the portable (Win32-free) code: the portable modules and their unit
# tests built with clang under AddressSanitizer (LeakSanitizer included) and
# UndefinedBehaviorSanitizer, then every libFuzzer harness run for a bounded time. Exits non-zero
# on any test failure, crash, leak, sanitizer report or broken invariant.
#
#   tools/native-checks.sh              short: 16 s per harness, under two minutes of fuzzing
#   tools/native-checks.sh --long       10 minutes per harness
#   tools/native-checks.sh --seconds N  N seconds per harness (or NATIVE_FUZZ_SECONDS=N)
#   tools/native-checks.sh --no-fuzz    build and unit tests only
# NATIVE_JOBS sets the build's parallelism (default 2).
#
# Seeds are tests/fuzz/corpus/<harness>/ and stay as committed; what the fuzzer finds on top
# goes to build/native-asan/fuzz-corpus/<harness>/ and is reused by the next run. A failing
# input is saved in build/native-asan/fuzz-artifacts/<harness>/ and replays with
#   build/native-asan/fuzz_<harness> <file>
set -euo pipefail
cd "$(dirname "$0")/.."

fuzz_seconds="${NATIVE_FUZZ_SECONDS:-16}"
jobs="${NATIVE_JOBS:-2}"
fuzz=1
while [ $# -gt 0 ]; do
  case "$1" in
    --long) fuzz_seconds=600 ;;
    --seconds) fuzz_seconds="${2:?--seconds needs a number}"; shift ;;
    --no-fuzz) fuzz=0 ;;
    -h|--help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "unknown option: $1 (see --help)" >&2; exit 2 ;;
  esac
  shift
done
case "$fuzz_seconds" in
  ''|*[!0-9]*|0) echo "fuzz time must be a whole number of seconds above 0" >&2; exit 2 ;;
esac

build=build/native-asan
harnesses=(text_helpers paths string_list numbers self_delete_script protected_spelling utf8)
started=$(date +%s)

finish() {
  echo "native checks: $1 ($(( $(date +%s) - started )) s)"
  [ "$1" = PASS ] && exit 0 || exit 1
}

# --- packages: Debian's, asked for only when one is missing ---

. tools/packages.sh
ensure_packages clang cmake ninja-build googletest
# libFuzzer and the sanitizer runtimes must match the compiler's version.
clang_major=$(clang++ --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n1)
ensure_packages "libclang-rt-${clang_major:-14}-dev"

# --- build ---

echo "== building $build (clang $clang_major, -j$jobs)"
mkdir -p "$build"
if ! (cd tests/native && cmake --preset native-asan) >"$build/configure.log" 2>&1; then
  cat "$build/configure.log"
  finish FAIL
fi
if ! cmake --build "$build" -j "$jobs" >"$build/build.log" 2>&1; then
  grep -E -A5 'error|FAILED' "$build/build.log" | head -n 80
  finish FAIL
fi

# Strict sanitizer settings for everything run below; leaks are reported at exit.
asan=(detect_leaks=1 strict_string_checks=1 detect_stack_use_after_return=1
      check_initialization_order=1 strict_init_order=1 abort_on_error=1)
ASAN_OPTIONS=$(IFS=:; echo "${asan[*]}")
export ASAN_OPTIONS
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="report_objects=1"

# --- unit tests ---

echo "== native unit tests"
status=PASS
if ctest --test-dir "$build" --output-on-failure --no-tests=error -j "$jobs" \
     >"$build/ctest.log" 2>&1; then
  tests=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$build/ctest.log")
  echo "native unit tests: ${tests:-?} passed"
else
  grep -E -B2 -A30 '\*\*\*Failed|\*\*\*Exception|Failure|ERROR: |runtime error' \
    "$build/ctest.log" | head -n 150
  grep -E 'tests passed|failed out of' "$build/ctest.log" || true
  echo "native unit tests: FAIL (log: $build/ctest.log)"
  status=FAIL
fi

[ "$fuzz" -eq 1 ] || finish "$status"

# --- fuzzing ---

echo "== fuzzing, ${fuzz_seconds} s per harness"
# What a sanitizer, libFuzzer or a harness's own check writes when something is wrong.
reports='==[0-9]+==ERROR|runtime error:|invariant violated|terminate called|SUMMARY: [A-Za-z]+Sanitizer'
total=0
for name in "${harnesses[@]}"; do
  corpus="$build/fuzz-corpus/$name"
  artifacts="$build/fuzz-artifacts/$name"
  log="$build/fuzz-logs/$name.log"
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  rm -f "$artifacts"/*  # what an earlier run left behind is not this run's finding
  # Paths beyond a thousand characters add work, not cases: the limits all lie below 260.
  case "$name" in
    paths|protected_spelling|self_delete_script) max_len=1024 ;;
    *) max_len=4096 ;;
  esac
  options=(-max_total_time="$fuzz_seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048
           -print_final_stats=1 -artifact_prefix="$artifacts/")
  [ -f "tests/fuzz/$name.dict" ] && options+=(-dict="tests/fuzz/$name.dict")
  # The generated corpus comes first: libFuzzer adds what it finds to the first folder only.
  if "$build/fuzz_$name" "${options[@]}" "$corpus" "tests/fuzz/corpus/$name" >"$log" 2>&1; then
    rc=0
  else
    rc=$?
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *\([0-9]*\).*/\1/p' "$log" | tail -n1)
  [ -n "$runs" ] || runs=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$log" | tail -n1)
  runs=${runs:-0}
  total=$((total + runs))
  # A report that somehow left the exit code at 0 counts as well.
  if [ "$rc" -ne 0 ] || grep -qE "$reports" "$log"; then
    printf 'fuzz %-20s %12s executions  FAIL (exit %s)\n' "$name" "$runs" "$rc"
    grep -E -m1 -A14 "$reports" "$log" || tail -n 20 "$log"
    for crash in "$artifacts"/*; do
      [ -f "$crash" ] && echo "  replay: $build/fuzz_$name $crash"
    done
    echo "  log: $log"
    status=FAIL
  else
    printf 'fuzz %-20s %12s executions  ok (corpus %s)\n' "$name" "$runs" \
      "$(find "$corpus" -type f | wc -l)"
  fi
done
echo "fuzz executions: $total"
finish "$status"
