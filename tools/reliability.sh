#!/usr/bin/env bash
# Reliability figures: hostile inputs tried, faults injected, fuzz executions, files lost and
# unexpected changes, from the guarded tests under Wine and the native sanitizer and fuzz run.
#
#   tools/reliability.sh                 build, run the guarded tests and the native checks, print
#   tools/reliability.sh --from-last-run print the figures of the last tools/test.sh run
#   tools/reliability.sh --long          as the first, with the long fuzz run
#
# Exits non-zero when a file was lost, anything changed unexpectedly, or a figure is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=run
case "${1:-}" in
  "") ;;
  --from-last-run) mode=read ;;
  --long) mode=long ;;
  *) echo "usage: tools/reliability.sh [--from-last-run|--long]" >&2; exit 2 ;;
esac

# Every sandbox of the test run's pool keeps the figures of the programs that ran in it.
figures=build/x86_64/reliability.tsv
native_log=build/native-asan/native-checks.log

if [ "$mode" != read ]; then
  tools/setup.sh --tests
  tools/build.sh
  # The guarded programs: every hostile input and every injected fault writes its figure.
  ctest --preset x86_64 -R 'wine_env|Hostile_test|Uninstall_test|MainForm_test|Startup_test|SelfDelete_test'
  mkdir -p build/native-asan
  if [ "$mode" = long ]; then
    tools/native-checks.sh --long 2>&1 | tee "$native_log"
  else
    tools/native-checks.sh 2>&1 | tee "$native_log"
  fi
fi

cat build/x86_64/sandbox/state/reliability.tsv build/x86_64/sandbox.*/state/reliability.tsv \
  >"$figures" 2>/dev/null || true
[ -s "$figures" ] || { echo "reliability: no figures in build/x86_64/sandbox*/state (run the tests first)"; exit 1; }
count() { awk -F'\t' -v k="$1" '$1 == k { n++ } END { print n + 0 }' "$figures"; }
sum() { awk -F'\t' -v c="$1" '{ n += $c } END { print n + 0 }' "$figures"; }
hostile=$(count hostile)
faults=$(count fault)
runs=$(count run)
lost=$(sum 3)
unexpected=$(sum 4)
fuzz=unknown
if [ -f "$native_log" ]; then
  fuzz=$(sed -n 's/^fuzz executions: *\([0-9]*\).*/\1/p' "$native_log" | tail -n1)
  [ -n "$fuzz" ] || fuzz=unknown
fi

echo "== reliability figures"
printf '%-28s %s\n' "hostile inputs tried" "$hostile" "faults injected" "$faults" \
  "other guarded runs" "$runs" "fuzz executions" "$fuzz" "files lost" "$lost" \
  "unexpected changes" "$unexpected"
awk -F'\t' '$3 > 0 || $4 > 0 { printf "  %s %s: %d lost, %d unexpected\n", $1, $2, $3, $4 }' "$figures"

status=0
[ "$lost" -eq 0 ] || { echo "reliability: FAIL: files were lost"; status=1; }
[ "$unexpected" -eq 0 ] || { echo "reliability: FAIL: unexpected changes"; status=1; }
[ "$hostile" -gt 0 ] && [ "$faults" -gt 0 ] || { echo "reliability: FAIL: no hostile or fault figures"; status=1; }
[ "$fuzz" != unknown ] || { echo "reliability: FAIL: no fuzz figures in $native_log"; status=1; }
[ "$status" -eq 0 ] && echo "reliability: PASS"
exit "$status"
