#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan and UBSan) and runs each for FUZZ_SECONDS (60 by
# default). Any crash, sanitizer report, leak or input slower than one second fails the run.
# The committed seeds in fuzz/corpus are copied into a working corpus under the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-60}
targets=(fuzz_textfile fuzz_schedulefile fuzz_daterules fuzz_settingscheck fuzz_search)
[ $# -gt 0 ] && targets=("$@")

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

build=build/fuzz
status=0
summary=()
for target in "${targets[@]}"; do
  name=${target#fuzz_}
  corpus=$build/corpus/$name
  artifacts=$build/artifacts/$name/
  log=$build/logs/$target.log
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  cp -n fuzz/corpus/"$name"/* "$corpus"/ 2>/dev/null || true
  echo "== $target: ${seconds}s"
  set +e
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/fuzz/$target" -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts" "$corpus" >"$log" 2>&1
  rc=$?
  set -e
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  took=$(sed -n 's/^stat::\(average_exec_per_sec\): *//p' "$log" | tail -1)
  problems=$(grep -cE '^SUMMARY: |ERROR: libFuzzer|runtime error:|fuzz check failed|Slow unit|==[0-9]+==ERROR' "$log" || true)
  line="$target: ${runs:-?} executions in ${seconds}s (${took:-?}/s), exit $rc, $problems problem lines"
  summary+=("$line")
  if [ "$rc" -ne 0 ] || [ "$problems" -ne 0 ]; then
    status=1
    echo "FAILED $line; see $log and $artifacts"
    grep -E -m 20 'SUMMARY: |ERROR: |runtime error:|fuzz check failed|Test unit written' "$log" || true
  fi
done
echo "== summary"
printf '%s\n' "${summary[@]}"
exit $status
