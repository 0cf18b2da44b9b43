#!/usr/bin/env bash
# Runs every fuzz target for a bounded time, starting from the committed
# corpus. New inputs stay in the build folder; a crash is copied to
# tests/fuzz/crashes/<target>/ so that it becomes a regression test.
set -euo pipefail
build="$1"
seconds="${2:-60}"
jobs="${3:-2}"
root="$(cd "$(dirname "$0")/.." && pwd)"
export SDL_AUDIODRIVER=dummy
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"

run_one() {
  local t="$1" dir="$build/fuzz-work/$1"
  mkdir -p "$dir/corpus" "$dir/artifacts"
  cp -n "$root/tests/fuzz/corpus/$t/"* "$dir/corpus/" 2>/dev/null || true
  if "$build/fuzz-$t" "$dir/corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$dir/artifacts/" -print_final_stats=1 >"$dir/log.txt" 2>&1; then
    local execs rate
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log.txt" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$dir/log.txt" | tail -1)
    echo "fuzz-$t: ${seconds}s, ${execs:-?} runs, ${rate:-?}/s, no crash"
  else
    mkdir -p "$root/tests/fuzz/crashes/$t"
    cp "$dir/artifacts/"* "$root/tests/fuzz/crashes/$t/" 2>/dev/null || true
    echo "fuzz-$t: FAILED, see $dir/log.txt; inputs saved in tests/fuzz/crashes/$t/"
    return 1
  fi
}

status=0
targets=(script archive texture utf8 linebreak clip)
pids=()
for t in "${targets[@]}"; do
  run_one "$t" &
  pids+=($!)
  if [ "${#pids[@]}" -ge "$jobs" ]; then
    wait "${pids[0]}" || status=1
    pids=("${pids[@]:1}")
  fi
done
for p in "${pids[@]}"; do wait "$p" || status=1; done
exit $status
