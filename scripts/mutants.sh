#!/usr/bin/env bash
# The mutation check: plants one fault at a time in src/ (the table below), rebuilds the native
# preset incrementally, runs the native suite and reports which test caught each fault. A fault
# that no test catches is a hole in the suite; a fault that does not build is not a catch.
#
#   scripts/mutants.sh              every mutant of the table
#   scripts/mutants.sh 3 7          only the mutants with those numbers
#
# The source tree is changed while a mutant runs and put back afterwards (also on Ctrl-C), so run
# it in a tree of its own, not in one you are editing. The unchanged suite runs first: a test that
# fails there is no catch for any mutant. Ends with the table "mutant, kind, result, caught by" and
# a non-zero status when a mutant survived or its site is gone (src/ changed: update the table).
# Not a CI stage: each mutant costs a rebuild and a whole suite run.
#
# Environment: VELTRA_BUILD_DIR (default <tree>/build; the native preset's folder in it is used),
# VELTRA_JOBS (default: number of CPUs), VELTRA_TEST_TIMEOUT seconds per test case (default 300).
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT" || exit 1
BUILD=${VELTRA_BUILD_DIR:-$ROOT/build}/native
JOBS=${VELTRA_JOBS:-$(nproc 2>/dev/null || echo 2)}
TEST_TIMEOUT=${VELTRA_TEST_TIMEOUT:-300}
LOGS=$BUILD/mutants
mkdir -p "$LOGS" || exit 1

# ---- the mutants ---------------------------------------------------------------------------------
# One line each, fields separated by " ¦ ": kind, file, the exact text (once in the file), its
# replacement. "\n" in the texts stands for a line break.
MUTANTS=$(cat <<'EOF'
wValue ¦ src/dfu/dfu_requests.cpp ¦ constexpr std::uint16_t kRequestValue = 1; ¦ constexpr std::uint16_t kRequestValue = 0;
wIndex ¦ src/dfu/dfu_requests.cpp ¦ constexpr std::uint16_t kDeviceResetIndex = 4; ¦ constexpr std::uint16_t kDeviceResetIndex = 5;
wIndex ¦ src/loaders/fx3_download.cpp ¦ setup.wIndex = static_cast<std::uint16_t>(address >> 16); ¦ setup.wIndex = static_cast<std::uint16_t>(address >> 15);
block count ¦ src/dfu/download_engines.cpp ¦ return (payload.length + kBlockSize - 1) / kBlockSize; ¦ return (payload.length + kBlockSize - 1) / kBlockSize - 1;
chunk count ¦ src/loaders/nxp_download.cpp ¦ (length % kBlMaxPayload != 0 ? 1 : 0) ¦ (length % kBlMaxPayload != 0 ? 2 : 0)
chunk limit ¦ src/image/mcu_chunks.cpp ¦ kMcuChunkLimit = 1024; ¦ kMcuChunkLimit = 1025;
20 ms pause ¦ src/dfu/dfu_requests.cpp ¦ Sys().Sleep(kStatusPauseMs); ¦ (void)kStatusPauseMs;
50 ms pause ¦ src/loaders/nxp_download.cpp ¦ Sys().Sleep(kPauseAfterDataMs); ¦ (void)kPauseAfterDataMs;
SDP offset ¦ src/loaders/nxp_reports.cpp ¦ constexpr std::size_t kSdpCount = 8; ¦ constexpr std::size_t kSdpCount = 9;
MCU-boot offset ¦ src/loaders/nxp_reports.cpp ¦ constexpr std::size_t kBlParameterCount = 7; ¦ constexpr std::size_t kBlParameterCount = 6;
flag kept ¦ src/core/update_session.cpp ¦ static_cast<RouteValues&>(*this) = RouteValues{};\n  Advance(UpdatePhase::kEndedFailed); ¦ Advance(UpdatePhase::kEndedFailed);
name offset ¦ src/devices/boot_mode_devices.cpp ¦ constexpr std::size_t kPortCharIndex = 36; ¦ constexpr std::size_t kPortCharIndex = 37;
serial short ¦ src/devices/usb_serial.cpp ¦ constexpr std::size_t kSerialChars = 10; ¦ constexpr std::size_t kSerialChars = 9;
wrong pass ¦ src/app/update_dispatch.cpp ¦ (type == 1 || type == 2) ¦ (type == 1)
message ¦ src/core/ui_texts.h ¦ L"Firmware Download Failed!" ¦ L"Firmware Download Failed"
message ¦ src/camera/version_read.cpp ¦ L"Firmware Version Failed" ¦ L"Firmware version failed"
20 ms halved ¦ src/dfu/dfu_requests.cpp ¦ constexpr std::uint32_t kStatusPauseMs = 20; ¦ constexpr std::uint32_t kStatusPauseMs = 10;
MCU 50 ms gone ¦ src/dfu/dfu_requests.cpp ¦ Sys().Sleep(kMcuChunkPauseMs); ¦ (void)kMcuChunkPauseMs;
MCU 50 ms halved ¦ src/dfu/dfu_requests.cpp ¦ constexpr std::uint32_t kMcuChunkPauseMs = 50; ¦ constexpr std::uint32_t kMcuChunkPauseMs = 25;
erase 50 ms gone ¦ src/dfu/dfu_requests.cpp ¦ Sys().Sleep(kErasePauseMs); ¦ (void)kErasePauseMs;
erase 50 ms half ¦ src/dfu/dfu_requests.cpp ¦ constexpr std::uint32_t kErasePauseMs = 50; ¦ constexpr std::uint32_t kErasePauseMs = 25;
NXP 50 ms halved ¦ src/loaders/nxp_download.cpp ¦ constexpr std::uint32_t kPauseAfterDataMs = 50; ¦ constexpr std::uint32_t kPauseAfterDataMs = 25;
verify 10 s gone ¦ src/dfu/download_engines.cpp ¦ Sys().Sleep(kMcuVerifyWaitMs); ¦ (void)kMcuVerifyWaitMs;
verify 10 s half ¦ src/dfu/download_engines.cpp ¦ constexpr std::uint32_t kMcuVerifyWaitMs = 10000; ¦ constexpr std::uint32_t kMcuVerifyWaitMs = 5000;
dfuERROR as busy ¦ src/dfu/download_engines.cpp ¦ if (link.dfu_status.bState == kStateError) { ¦ if (link.dfu_status.bState == kStateError && false) {
end read judged ¦ src/camera/update_worker.cpp ¦ if (UsbDeviceInterfaceListed(update.link.devicePath)) { ¦ if (true || UsbDeviceInterfaceListed(update.link.devicePath)) {
erase answer 5 s ¦ src/loaders/nxp_download.cpp ¦ ? kEraseRegionMaxMs + kAnswerTimeoutMs ¦ ? kAnswerTimeoutMs + 0 * kEraseRegionMaxMs
back in update mode ¦ src/camera/restart_wait.cpp ¦ if (found.result != CameraFound::kFound || found.index < 0 || ¦ if (true || found.index < 0 ||
EOF
)
mapfile -t LINES <<<"$MUTANTS"

field() { awk -F ' ¦ ' -v n="$2" '{ print $n }' <<<"$1"; }

# ---- planting ------------------------------------------------------------------------------------
# plant <file> <text> <replacement>: exit 3 when the text is not in the file exactly once.
plant() {
  python3 - "$@" <<'PY'
import sys
path, old, new = sys.argv[1], sys.argv[2].replace("\\n", "\n"), sys.argv[3].replace("\\n", "\n")
with open(path, encoding="utf-8") as f:
    text = f.read()
if text.count(old) != 1:
    sys.exit(3)
with open(path, "w", encoding="utf-8") as f:
    f.write(text.replace(old, new))
PY
}

SAVED=""
SAVED_FILE=""
restore() {
  if [[ -n $SAVED ]]; then
    cp "$SAVED" "$SAVED_FILE" && rm -f "$SAVED"
    SAVED=""
  fi
}
trap 'restore; exit 130' INT TERM
trap restore EXIT

build() {
  cmake --build "$BUILD" -j "$JOBS" >"$1" 2>&1
}

# Runs the suite; prints the names of the failed tests, one a line.
failed_tests() {
  ctest --test-dir "$BUILD" --timeout "$TEST_TIMEOUT" -j "$JOBS" >"$1" 2>&1
  sed -n '/^The following tests FAILED:/,$p' "$1" |
    sed -n -E 's/^[[:space:]]+[0-9]+ - (.+) \([^)]*\).*$/\1/p' | sed -E 's/ +#.*$//' | sort -u
}

# ---- the unchanged suite ---------------------------------------------------------------------------
echo "== configure and build ($BUILD)"
cmake --preset native -B "$BUILD" >"$LOGS/configure.log" 2>&1 || { cat "$LOGS/configure.log"; exit 1; }
build "$LOGS/build_base.log" || { tail -n 30 "$LOGS/build_base.log"; exit 1; }
echo "== the unchanged suite"
BASELINE=$(failed_tests "$LOGS/test_base.log")
grep -E '^[0-9]+% tests passed' "$LOGS/test_base.log"
if [[ -n $BASELINE ]]; then
  echo "failing without any mutant (not counted as catches):"
  sed 's/^/  /' <<<"$BASELINE"
fi

# ---- the mutants ---------------------------------------------------------------------------------
WANTED=" $* "
ROWS=()
SURVIVED=0
for i in "${!LINES[@]}"; do
  number=$((i + 1))
  [[ $# -gt 0 && $WANTED != *" $number "* ]] && continue
  line=${LINES[$i]}
  kind=$(field "$line" 1) file=$(field "$line" 2) old=$(field "$line" 3) new=$(field "$line" 4)
  printf '== %2d %-16s %-34s ' "$number" "$kind" "$file"
  SAVED=$(mktemp) SAVED_FILE=$file
  cp "$file" "$SAVED" || exit 1
  result="" caught=""
  if ! plant "$file" "$old" "$new"; then
    result="SITE GONE" caught="the text is not in the file once: update the table"
    SURVIVED=$((SURVIVED + 1))
  elif ! build "$LOGS/build_$number.log"; then
    result="NO BUILD" caught="does not compile: not a catch, change the mutant"
    SURVIVED=$((SURVIVED + 1))
  else
    failed=$(failed_tests "$LOGS/test_$number.log")
    [[ -n $BASELINE ]] && failed=$(grep -vxF -f <(printf '%s\n' "$BASELINE") <<<"$failed")
    if [[ -n $failed ]]; then
      result=caught
      count=$(grep -c . <<<"$failed")
      caught=$(head -n 2 <<<"$failed" | paste -sd ',' | sed 's/,/, /g')
      ((count > 2)) && caught="$caught (+$((count - 2)) more)"
    else
      result=SURVIVED caught="no test failed"
      SURVIVED=$((SURVIVED + 1))
    fi
  fi
  restore
  echo "$result"
  ROWS+=("$(printf '%2d | %-15s | %-32s | %-9s | %s' "$number" "$kind" "$file" "$result" "$caught")")
  ROWS+=("$(printf '   |                 | %s  ->  %s' "$old" "$new")")
done

# The tree is as it was; the build follows it again for whoever uses it next.
build "$LOGS/build_after.log" || echo "the rebuild of the restored tree failed: $LOGS/build_after.log"

echo
echo "Mutants (logs in $LOGS)"
printf '%s\n' "${ROWS[@]}"
echo "$((${#ROWS[@]} / 2)) mutants, $SURVIVED not caught"
((SURVIVED == 0))
