#!/usr/bin/env bash
# Builds the libFuzzer targets (in the native-asan preset, beside the ASan + UBSan tests) and runs
# each one for a bounded time, as many at once as there are build jobs.
#
#   scripts/fuzz.sh                         every target, 25 seconds each
#   scripts/fuzz.sh 120                     every target, 120 seconds each
#   scripts/fuzz.sh 60 firmware_file ...    only the named targets
#
# Each target runs on its working corpus, build/fuzz/corpus/<target>: the committed seeds of
# fuzz/corpus/<target> are copied in first, and what a run adds stays there for the next local run
# (the committed corpus is never changed). fuzz/<target>.dict is used when it exists. A crash, a
# broken property, a leak, a hang of one input (10 s) or a memory blow-up ends that target's run;
# the input is kept under build/fuzz/findings/ and the script exits non-zero. At the end a table
# gives the executions per target (libFuzzer's final statistics) and the corpus sizes.
#
# Time: targets x seconds / parallel runs, plus the build (nothing when scripts/test.sh's native-asan
# stage built it; a few minutes from scratch on 2 cores). Each target gets its full time whatever
# runs beside it: only its number of executions depends on the machine's load.
# Environment: VELTRA_BUILD_DIR (default <tree>/build), VELTRA_JOBS (build jobs, default: number of
# CPUs), VELTRA_FUZZ_PARALLEL (targets run at once, default: VELTRA_JOBS).
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT" || exit 1

SECONDS_PER_TARGET=${1:-25}
shift $(($# > 0 ? 1 : 0))
if ! [[ $SECONDS_PER_TARGET =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/fuzz.sh [seconds-per-target] [target...]" >&2
  exit 2
fi

BUILD_ROOT=${VELTRA_BUILD_DIR:-$ROOT/build}
PRESET=native-asan
BUILD=$BUILD_ROOT/$PRESET
WORK=$BUILD_ROOT/fuzz  # the working corpora, findings and logs
JOBS=${VELTRA_JOBS:-$(nproc 2>/dev/null || echo 2)}
PARALLEL=${VELTRA_FUZZ_PARALLEL:-$JOBS}
FINDINGS=$WORK/findings
LOGS=$WORK/logs
if ! [[ $PARALLEL =~ ^[1-9][0-9]*$ ]]; then
  echo "VELTRA_FUZZ_PARALLEL must be a positive number, not '$PARALLEL'" >&2
  exit 2
fi
# Per input: a hang of this many seconds is a finding. The whole run of a target gets a margin
# over its time for start-up and the final statistics.
INPUT_TIMEOUT=10
RUN_MARGIN=120

# ---- the targets ---------------------------------------------------------------------------------
if (($# > 0)); then
  TARGETS=("$@")
else
  TARGETS=()
  for source in fuzz/*.cpp; do
    TARGETS+=("$(basename "$source" .cpp)")
  done
fi
for target in "${TARGETS[@]}"; do
  if [[ ! -f fuzz/$target.cpp ]]; then
    echo "unknown target '$target' (the targets are the files fuzz/*.cpp)" >&2
    exit 2
  fi
done

# ---- build -----------------------------------------------------------------------------------------
echo "== build (preset $PRESET, $BUILD)"
if ! cmake --preset "$PRESET" -B "$BUILD" >/dev/null; then
  echo "configure failed; trying again with a fresh cache"
  cmake --preset "$PRESET" -B "$BUILD" --fresh >/dev/null || exit 1
fi
fuzzers=()
for target in "${TARGETS[@]}"; do
  fuzzers+=("${target}_fuzzer")
done
cmake --build "$BUILD" -j "$JOBS" --target "${fuzzers[@]}" || exit 1

# ---- runs ------------------------------------------------------------------------------------------
mkdir -p "$FINDINGS" "$LOGS" || exit 1
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# The value of a "stat::<name>: N" line of libFuzzer's final statistics ("?" when missing).
final_stat() {
  local value
  value=$(sed -n -E "s/^stat::$1: *([0-9]+).*/\1/p" "$2" | tail -n 1)
  echo "${value:-?}"
}
count_files() { find "$1" -maxdepth 1 -type f | wc -l; }

# run_target <target>: one bounded run; its exit status goes to <log>.status.
run_target() {
  local target=$1 corpus=$WORK/corpus/$1 log=$LOGS/$1.log status
  local args=(-max_total_time="$SECONDS_PER_TARGET" -timeout="$INPUT_TIMEOUT" -print_final_stats=1
    -artifact_prefix="$FINDINGS/$target-")
  [[ -f fuzz/$target.dict ]] && args+=(-dict="fuzz/$target.dict")
  timeout --kill-after=30 $((SECONDS_PER_TARGET + RUN_MARGIN)) \
    "$BUILD/fuzz/${target}_fuzzer" "${args[@]}" "$corpus" >"$log" 2>&1
  status=$?
  echo "$status" >"$log.status"
}

declare -A BEFORE
for target in "${TARGETS[@]}"; do
  corpus=$WORK/corpus/$target
  mkdir -p "$corpus" || exit 1
  if [[ -d fuzz/corpus/$target ]]; then
    cp -n fuzz/corpus/"$target"/* "$corpus"/ 2>/dev/null
  fi
  BEFORE[$target]=$(count_files "$corpus")
  rm -f "$LOGS/$target.log.status"
done

echo "== $((${#TARGETS[@]})) targets, $SECONDS_PER_TARGET s each, $PARALLEL at a time"
running=0
for target in "${TARGETS[@]}"; do
  while ((running >= PARALLEL)); do
    wait -n
    running=$((running - 1))
  done
  run_target "$target" &
  running=$((running + 1))
done
wait

ROWS=()
FAILED=0
for target in "${TARGETS[@]}"; do
  log=$LOGS/$target.log
  status=$(cat "$log.status" 2>/dev/null || echo "?")
  runs=$(final_stat number_of_executed_units "$log")
  speed=$(final_stat average_exec_per_sec "$log")
  after=$(count_files "$WORK/corpus/$target")
  printf '== %-16s %ss ' "$target" "$SECONDS_PER_TARGET"
  if [[ $status == 0 ]]; then
    result=ok
    echo "ok, $runs executions"
  else
    result=FAILED
    FAILED=1
    echo "FAILED (status $status), end of $log:"
    grep -E "property broken|ERROR: |SUMMARY: |Test unit written to" "$log" | sed 's/^/   | /'
    tail -n 5 "$log" | sed 's/^/   | /'
  fi
  ROWS+=("$(printf '  %-16s %-7s %12s %8s %8s -> %s' "$target" "$result" "$runs" "$speed" \
    "${BEFORE[$target]}" "$after")")
done

echo
echo "Fuzzing, $SECONDS_PER_TARGET s per target (logs in $LOGS)"
printf '  %-16s %-7s %12s %8s %8s    %s\n' target result executions exec/s corpus ""
printf '%s\n' "${ROWS[@]}"
if ((FAILED)); then
  echo "findings kept in $FINDINGS:"
  ls -1 "$FINDINGS" | sed 's/^/  /'
fi
exit $FAILED
