#!/usr/bin/env bash
# The demo: the program's own update logic on the virtual camera bench, headless.
#
#   scripts/demo.sh           install what is missing, build, write example firmware files, update a
#                             virtual DFU camera with each kind, show what it saw and where the USB
#                             traffic logs are
#   scripts/demo.sh --check   the same, quietly; exits non-zero when anything fails (scripts/test.sh)
#
# Environment: VELTRA_BUILD_DIR (default <tree>/build; the native preset builds in <dir>/native),
# VELTRA_JOBS (default: number of CPUs).
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT" || exit 1

CHECK=0
case "${1:-}" in
  --check) CHECK=1 ;;
  "") ;;
  *) echo "usage: scripts/demo.sh [--check]" >&2; exit 2 ;;
esac

BUILD_DIR=${VELTRA_BUILD_DIR:-$ROOT/build}/native
JOBS=${VELTRA_JOBS:-$(nproc 2>/dev/null || echo 2)}
DEMO_DIR=$BUILD_DIR/demo
PACKAGES=(cmake ninja-build g++ libgtest-dev)

say() { ((CHECK)) || echo "$@"; }
fail() { echo "demo: $*" >&2; exit 1; }

# ---- packages (installed only when missing) ------------------------------------------------------
missing=()
for package in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if ((${#missing[@]} > 0)); then
  sudo=()
  if ((EUID != 0)); then
    command -v sudo >/dev/null 2>&1 || fail "missing packages (${missing[*]}) and no sudo"
    sudo=(sudo)
  fi
  say "installing: ${missing[*]}"
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq >/dev/null &&
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
      --no-install-recommends "${missing[@]}" >/dev/null || fail "could not install ${missing[*]}"
fi

# ---- build ---------------------------------------------------------------------------------------
say "building veltra-bench and veltra-mkfw (native preset, $BUILD_DIR)"
out=$(mktemp)
trap 'rm -f "$out"' EXIT
if ! { cmake --preset native -B "$BUILD_DIR" && \
       cmake --build "$BUILD_DIR" -j "$JOBS" --target veltra-bench veltra-mkfw; } >"$out" 2>&1; then
  tail -n 40 "$out" >&2
  fail "build failed"
fi
BENCH=$BUILD_DIR/tools/veltra-bench/veltra-bench
MKFW=$BUILD_DIR/tools/veltra-mkfw/veltra-mkfw

# ---- example files ---------------------------------------------------------------------------------
rm -rf "$DEMO_DIR" && mkdir -p "$DEMO_DIR" || fail "cannot create $DEMO_DIR"
"$MKFW" "$DEMO_DIR" >"$out" 2>&1 || { cat "$out" >&2; fail "veltra-mkfw failed"; }

# ---- one update per image kind ---------------------------------------------------------------------
# file | camera product ID | what it shows
RUNS=(
  "mcu.img|DF00|MCU image: MCU text in line chunks, verify, then the image section"
  "fpga.img|DF00|FPGA image: verify first, then bitstream and image section"
  "combined_type1.img|DF01|combined image of type 1 on a DF01 camera: two passes"
  "combined_type2.img|DF01|combined image of type 2 on a DF01 camera: two passes"
  "combined_type3.img|DF00|combined image of type 3: its second part in one pass"
  "nxp_firmware.bin|DF00|unmarked image: written in one pass"
)
failed=0
logs=()
for run in "${RUNS[@]}"; do
  IFS='|' read -r file pid what <<<"$run"
  log=$DEMO_DIR/${file%.*}.jsonl
  args=("$DEMO_DIR/$file" --pid "$pid" --log "$log")
  if ((CHECK)); then
    if ! "$BENCH" "${args[@]}" --quiet >"$out" 2>&1; then
      cat "$out" >&2
      echo "demo: $file did not end on a camera holding its payloads" >&2
      failed=1
    fi
  else
    echo
    echo "=== $what"
    "$BENCH" "${args[@]}" || failed=1
  fi
  logs+=("$log")
done

if ((CHECK)); then
  ((failed)) && exit 1
  echo "demo check: ${#RUNS[@]} updates on the virtual camera bench ended as expected"
  exit 0
fi
echo
echo "USB traffic logs (JSON Lines, one transfer per line; t_ms is the program's clock):"
for log in "${logs[@]}"; do echo "  $log"; done
echo "Try a fault: $BENCH $DEMO_DIR/mcu.img --fault short@12"
exit "$failed"
