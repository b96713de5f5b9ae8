#!/usr/bin/env bash
# Builds every CMake preset and runs every test.
#
#   scripts/test.sh                 everything: native, native-asan, native-tsan, win32, win64, smoke,
#                                   e2e, fuzz (every fuzz target for VELTRA_FUZZ_SECONDS, default 20,
#                                   one at a time beside the e2e stage; see below)
#   scripts/test.sh native win32    only the named stages ("smoke" names the demo check, "e2e" the
#                                   window under Wine, scripts/e2e.sh)
#
# Missing Debian packages are installed first (as root, or through sudo), 32-bit Wine with them
# (wine32:i386, after adding the i386 architecture). Each stage's output goes to
# build/logs/<stage>.log; a failed stage shows the end of its log.
#
# The i686 build is the product we ship, and it is what runs under Wine: the win32 preset's adapter
# test (win32_adapters, under 32-bit Wine in a win64 prefix) and the end-to-end stage ("e2e i686":
# the demo and the product, every scenario). The x86_64 build keeps its adapter test (win64), and
# the e2e stage runs the console program's demo build of it under wine64 as well.
# Where 32-bit Wine cannot be installed, the i686 stages say so loudly and are reported as skipped,
# never as passed; the end-to-end scenarios then run on the x86_64 build ("e2e x86_64").
# VELTRA_E2E_BUILDS="i686 x86_64" runs them on both builds (not in CI: it costs about three minutes).
#
# Each preset builds what its stages run, nothing twice: native everything (the tests, the tools the
# smoke and e2e stages use, the benchmarks); native-asan the tests and the fuzz targets, one clang
# build of the program logic for both; native-tsan the tests; win32 everything (the product, the
# demo, the UI driver, the stand-in libraries, the adapter test); win64 the adapter test and the
# stand-in libraries. The run ends with a summary and the line "N passed, N failed, N skipped" over
# every test case (the CTest tests of the native and Windows presets, and the end-to-end scenarios);
# the exit status is non-zero when any stage failed.
#
# Environment: VELTRA_BUILD_DIR (default <tree>/build), VELTRA_JOBS (default: number of CPUs),
# VELTRA_TEST_TIMEOUT seconds per test case (default 300), VELTRA_STAGE_TIMEOUT seconds per stage
# (default 1800), VELTRA_FUZZ_SECONDS per fuzz target (default 20), VELTRA_FUZZ_PARALLEL targets at
# a time, VELTRA_FUZZ_BESIDE_E2E=0 to fuzz after the e2e stage rather than beside it,
# VELTRA_E2E_BUILDS the builds the e2e stage runs (default i686), VELTRA_WINE32=0 to run as if
# 32-bit Wine were missing.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT" || exit 1
# The package installer and the check for 32-bit Wine, shared with scripts/e2e.sh and demo.sh.
# shellcheck source=scripts/e2e.sh
source "$ROOT/scripts/e2e.sh"

BUILD_DIR=${VELTRA_BUILD_DIR:-$ROOT/build}
JOBS=${VELTRA_JOBS:-$(nproc 2>/dev/null || echo 2)}
TEST_TIMEOUT=${VELTRA_TEST_TIMEOUT:-300}
STAGE_TIMEOUT=${VELTRA_STAGE_TIMEOUT:-1800}
LOG_DIR=$BUILD_DIR/logs

ALL_PRESETS=(native native-asan native-tsan win32 win64)
# win32 and win64 have one CTest test each, the Windows adapters run under Wine (win32: 32-bit Wine).
TEST_PRESETS=" native native-asan native-tsan win32 win64 "
# What each preset builds ("all": every target).
declare -A PRESET_TARGETS=(
  [native]="all"
  [native-asan]="veltra_tests veltra_fuzzers"
  [native-tsan]="veltra_tests"
  [win32]="all"
  [win64]="win32_adapter_tests"
)
# g++-multilib and qemu-user: the 32-bit test of the Sunplus library's call (g++ -m32), run under
# qemu-i386 on kernels that execute no 32-bit program; both install beside mingw-w64 and wine64.
# xvfb and imagemagick: the e2e stage. 32-bit Wine (wine32:i386) is installed with these by
# veltra_install_packages (scripts/e2e.sh), which adds the i386 architecture first.
PACKAGES=(cmake ninja-build g++ clang libclang-rt-dev libgtest-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev libssl-dev python3-jsonschema
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 wine64 g++-multilib qemu-user
  xvfb imagemagick)

# ---- what to run ---------------------------------------------------------------------------------
if (($# > 0)); then
  WANTED=" $* "
  for name in "$@"; do
    case " ${ALL_PRESETS[*]} smoke e2e fuzz " in
      *" $name "*) ;;
      *) echo "unknown stage '$name' (known: ${ALL_PRESETS[*]} smoke e2e fuzz)" >&2; exit 2 ;;
    esac
  done
else
  WANTED=" ${ALL_PRESETS[*]} smoke e2e fuzz "
fi
wanted() { [[ $WANTED == *" $1 "* ]]; }

# ---- bookkeeping -----------------------------------------------------------------------------------
STAGES=()
RESULTS=()
TIMES=()
NOTES=()
TOTAL_PASSED=0
TOTAL_FAILED=0
TOTAL_SKIPPED=0
ANY_FAILED=0
START=$(date +%s)
mkdir -p "$LOG_DIR" || { echo "cannot create $LOG_DIR" >&2; exit 1; }

record() {  # record <stage> <ok|FAILED|skipped> <seconds> [note]
  STAGES+=("$1"); RESULTS+=("$2"); TIMES+=("$3"); NOTES+=("${4:-}")
  [[ $2 == FAILED ]] && ANY_FAILED=1
  return 0
}

# run_logged <stage> <command...>: runs the command (a program or one of the functions below) with
# a time limit, output to the stage's log; returns its status.
run_logged() {
  local stage=$1; shift
  local log=$LOG_DIR/${stage// /_}.log status
  # timeout runs programs only, so the functions and their settings go along in a fresh bash.
  timeout --kill-after=30 "$STAGE_TIMEOUT" bash -c "$STAGE_DEFINITIONS"'
"$@"' run "$@" </dev/null >"$log" 2>&1
  status=$?
  ((status == 124)) && echo "(stopped after ${STAGE_TIMEOUT}s)" >>"$log"
  return $status
}

# finish <stage> <status> <began>: sets LAST_SECONDS and ends the stage's line (with the end of its
# log when it failed).
LAST_SECONDS=0
finish() {
  local log=$LOG_DIR/${1// /_}.log
  LAST_SECONDS=$(($(date +%s) - $3))
  if (($2 == 0)); then
    printf 'ok (%ss)\n' "$LAST_SECONDS"
  else
    printf 'FAILED (%ss), end of %s:\n' "$LAST_SECONDS" "$log"
    tail -n 40 "$log" | sed 's/^/   | /'
  fi
}

# run <stage> <command...>: run_logged with the stage's line. Returns the command's status; the
# caller records it.
run() {
  local stage=$1 began status
  began=$(date +%s)
  printf '== %-22s ' "$stage"
  run_logged "$@"
  status=$?
  finish "$stage" "$status" "$began"
  return $status
}

# ---- packages ----------------------------------------------------------------------------------
install_packages() {
  if ! command -v dpkg >/dev/null 2>&1; then
    echo "no dpkg: not a Debian system; assuming the tools are installed"
    return 0
  fi
  veltra_install_packages "${PACKAGES[@]}" || return 1
  echo "packages present"
  veltra_have_wine32 && echo "32-bit Wine present"
  return 0
}

# ---- presets -----------------------------------------------------------------------------------
# Configures (again from scratch when an old cache gets in the way) and builds one preset's targets.
# The Windows presets' tests share the e2e stage's Wine prefix: one prefix made per run, not three.
build_preset() {
  local preset=$1 dir=$BUILD_DIR/$1 targets options=()
  read -r -a targets <<<"${PRESET_TARGETS[$preset]}"
  [[ $preset == win* ]] && options=("-DVELTRA_WINE_PREFIX=$BUILD_DIR/wine")
  if ! cmake --preset "$preset" -B "$dir" "${options[@]}"; then
    echo "configure failed; trying again with a fresh cache"
    cmake --preset "$preset" -B "$dir" "${options[@]}" --fresh || return 1
  fi
  cmake --build "$dir" -j "$JOBS" --target "${targets[@]}"
}

# ThreadSanitizer cannot map its shadow memory on kernels with high address-space randomisation;
# the test run of that preset goes without it where setarch can turn it off.
NO_ASLR=()
if command -v setarch >/dev/null 2>&1 && setarch "$(uname -m)" -R true 2>/dev/null; then
  NO_ASLR=(setarch "$(uname -m)" -R)
fi

test_preset() {
  local preset=$1 dir=$BUILD_DIR/$1 prefix=() none=error
  [[ $preset == native-tsan ]] && prefix=("${NO_ASLR[@]}")
  [[ $preset == win* ]] && none=ignore  # no Wine, no test
  ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1} \
    UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
    TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1} \
    "${prefix[@]}" ctest --test-dir "$dir" --timeout "$TEST_TIMEOUT" -j "$JOBS" \
    --output-on-failure --no-tests="$none"
}

# Counts "passed failed skipped" from ctest's closing line "NN% tests passed, F tests failed out of
# T" and its list of skipped tests ("  N - name (Skipped)"), which that line counts as passed.
count_tests() {
  local log=$1 line failed total skipped
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [[ -z $line ]]; then
    echo "0 0 0"
    return
  fi
  failed=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  skipped=$(grep -cE '^[[:space:]]*[0-9]+ - .* \(Skipped\)$' "$log")
  echo "$((total - failed - skipped)) $failed $skipped"
}

# "N passed, N failed" and ", N skipped" when any were.
counts_note() {
  local note="$1 passed, $2 failed"
  (($3 > 0)) && note+=", $3 skipped"
  echo "$note"
}

STAGE_DEFINITIONS="set -uo pipefail; cd $(printf %q "$ROOT");
$(declare -p BUILD_DIR JOBS TEST_TIMEOUT PACKAGES NO_ASLR PRESET_TARGETS VELTRA_WINE32_PACKAGE)
$(declare -f install_packages build_preset test_preset veltra_install_packages veltra_have_wine32 \
  veltra_no_wine32_banner)"

# ---- the run -----------------------------------------------------------------------------------
status_word() { if (($1 == 0)); then echo ok; else echo FAILED; fi; }

run "packages" install_packages
status=$?
# Without 32-bit Wine the i686 stages cannot run: said here, on the terminal, and in the summary.
HAVE_WINE32=0
NO_WINE32_NOTE="NO 32-BIT WINE ($VELTRA_WINE32_PACKAGE): not run"
if veltra_have_wine32; then
  HAVE_WINE32=1
  record "packages" "$(status_word "$status")" "$LAST_SECONDS" "32-bit Wine present"
else
  record "packages" "$(status_word "$status")" "$LAST_SECONDS" \
    "NO 32-BIT WINE: the i686 stages are skipped"
  if [[ ${VELTRA_WINE32:-} == 0 ]]; then
    veltra_no_wine32_banner "VELTRA_WINE32=0"
  else
    veltra_no_wine32_banner "$VELTRA_WINE32_PACKAGE is not installed (log: $LOG_DIR/packages.log)"
  fi
fi

for preset in "${ALL_PRESETS[@]}"; do
  wanted "$preset" || continue
  if run "build $preset" build_preset "$preset"; then
    record "build $preset" ok "$LAST_SECONDS"
  else
    record "build $preset" FAILED "$LAST_SECONDS"
    [[ $TEST_PRESETS == *" $preset "* ]] && record "test $preset" skipped 0 "not built"
    continue
  fi
  [[ $TEST_PRESETS == *" $preset "* ]] || continue
  if [[ $preset == win32 ]] && ((HAVE_WINE32 == 0)); then
    printf '== %-22s SKIPPED: %s\n' "test $preset" "$NO_WINE32_NOTE"
    TOTAL_SKIPPED=$((TOTAL_SKIPPED + 1))
    record "test $preset" skipped 0 "$NO_WINE32_NOTE (win32_adapters)"
    continue
  fi
  run "test $preset" test_preset "$preset"
  status=$?
  read -r passed failed skipped < <(count_tests "$LOG_DIR/test_$preset.log")
  # A run that ended without its summary (a crash, the stage time limit) counts as one failure.
  if ((status != 0 && failed == 0)); then failed=1; fi
  TOTAL_PASSED=$((TOTAL_PASSED + passed))
  TOTAL_FAILED=$((TOTAL_FAILED + failed))
  TOTAL_SKIPPED=$((TOTAL_SKIPPED + skipped))
  result=$(status_word "$status")
  # A stage whose every test was skipped did not pass.
  ((status == 0 && passed == 0 && skipped > 0)) && result=skipped
  record "test $preset" "$result" "$LAST_SECONDS" "$(counts_note "$passed" "$failed" "$skipped")"
done

# ---- smoke run -----------------------------------------------------------------------------------
if wanted smoke; then
  if [[ -f scripts/demo.sh ]]; then
    run "smoke demo" bash scripts/demo.sh --check
    status=$?
    record "smoke demo" "$(status_word "$status")" "$LAST_SECONDS"
  else
    record "smoke demo" skipped 0 "no scripts/demo.sh"
  fi
fi

# ---- fuzzing beside the end-to-end stage ------------------------------------------------------
# The e2e stage spends its time waiting on Wine and the window, not computing; the fuzz stage only
# computes. When both run and the fuzz targets are built (native-asan), the fuzzing starts in the
# background before the e2e stage, one target at a time (VELTRA_FUZZ_PARALLEL), so that a core
# stays free for Wine. Each target still gets its full time. VELTRA_FUZZ_BESIDE_E2E=0 runs the two
# one after the other, as many targets at a time as there are jobs.
FUZZ_SECONDS=${VELTRA_FUZZ_SECONDS:-20}
FUZZ_PID=""
if wanted fuzz && wanted e2e && wanted native-asan && [[ ${VELTRA_FUZZ_BESIDE_E2E:-1} != 0 ]]; then
  FUZZ_PARALLEL=${VELTRA_FUZZ_PARALLEL:-1}
  FUZZ_BEGAN=$(date +%s)
  run_logged "fuzz" env VELTRA_FUZZ_PARALLEL="$FUZZ_PARALLEL" bash scripts/fuzz.sh "$FUZZ_SECONDS" &
  FUZZ_PID=$!
  FUZZ_NOTE="$FUZZ_SECONDS s per target, $FUZZ_PARALLEL at a time, beside e2e"
else
  FUZZ_NOTE="$FUZZ_SECONDS s per target, ${VELTRA_FUZZ_PARALLEL:-$JOBS} at a time"
fi

# ---- end to end: the window under Wine, driven from outside (scripts/e2e.sh) -------------------
# One stage per build. The i686 build without 32-bit Wine: every scenario skipped, and the x86_64
# build runs them instead.
if wanted e2e; then
  read -r -a e2e_builds <<<"${VELTRA_E2E_BUILDS:-i686}"
  scenario_count=$(find tests/e2e/scenarios -name '*.txt' | wc -l)
  if ((HAVE_WINE32 == 0)) && [[ " ${e2e_builds[*]} " == *" i686 "* ]]; then
    printf '== %-22s SKIPPED: %s\n' "e2e i686" "$NO_WINE32_NOTE"
    TOTAL_SKIPPED=$((TOTAL_SKIPPED + scenario_count))
    record "e2e i686" skipped 0 "$NO_WINE32_NOTE ($scenario_count scenarios)"
    e2e_builds=("${e2e_builds[@]/i686/}")
    [[ " ${e2e_builds[*]} " == *" x86_64 "* ]] || e2e_builds+=(x86_64)
  fi
  for arch in "${e2e_builds[@]}"; do
    [[ -n $arch ]] || continue
    run "e2e $arch" env VELTRA_E2E_BUILDS="$arch" bash scripts/e2e.sh
    status=$?
    # The scenarios count as test cases too; the stage ends with its own "N passed, N failed, N skipped".
    counts=$(grep -E '^[0-9]+ passed, [0-9]+ failed(, [0-9]+ skipped)?$' "$LOG_DIR/e2e_$arch.log" |
      tail -n 1)
    passed=0 failed=0 skipped=0
    if [[ -n $counts ]]; then read -r passed _ failed _ skipped _ <<<"${counts//,/}"; fi
    skipped=${skipped:-0}
    if ((status != 0 && failed == 0)); then failed=1; fi
    TOTAL_PASSED=$((TOTAL_PASSED + passed))
    TOTAL_FAILED=$((TOTAL_FAILED + failed))
    TOTAL_SKIPPED=$((TOTAL_SKIPPED + skipped))
    record "e2e $arch" "$(status_word "$status")" "$LAST_SECONDS" \
      "$(counts_note "$passed" "$failed" "$skipped") scenarios"
  done
fi

# ---- fuzzing: every libFuzzer target for a bounded time (scripts/fuzz.sh) --------------------
if [[ -n $FUZZ_PID ]]; then
  wait "$FUZZ_PID"
  status=$?
  printf '== %-22s ' "fuzz"
  finish "fuzz" "$status" "$FUZZ_BEGAN"
  record "fuzz" "$(status_word "$status")" "$LAST_SECONDS" "$FUZZ_NOTE"
elif wanted fuzz; then
  run "fuzz" bash scripts/fuzz.sh "$FUZZ_SECONDS"
  status=$?
  record "fuzz" "$(status_word "$status")" "$LAST_SECONDS" "$FUZZ_NOTE"
fi

# ---- summary -----------------------------------------------------------------------------------
echo
echo "Summary (logs in $LOG_DIR)"
for i in "${!STAGES[@]}"; do
  printf '  %-22s %-8s %5ss  %s\n' "${STAGES[$i]}" "${RESULTS[$i]}" "${TIMES[$i]}" "${NOTES[$i]}"
done
printf '  %-22s %-8s %5ss\n' "total" "$(status_word "$ANY_FAILED")" \
  "$(($(date +%s) - START))"
echo "$TOTAL_PASSED passed, $TOTAL_FAILED failed, $TOTAL_SKIPPED skipped"
((ANY_FAILED == 0))
