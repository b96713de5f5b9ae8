#!/usr/bin/env bash
# The demo: the program's own window and logic on the virtual camera bench.
#
#   scripts/demo.sh             builds Veltra_FW_Updater_Demo.exe (the i686 build, win32 preset) and
#                               the example firmware, and starts the demo under Wine (32-bit Wine in
#                               a win64 prefix). With a display, its window
#                               opens beside the "Virtual camera bench" window: choose a camera, a
#                               file (Browse shows the example files), F/W UPDATE, and plug or unplug
#                               cameras on the bench. Without a display it runs under Xvfb, performs
#                               one scripted update and prints the paths of its screenshots.
#   scripts/demo.sh --headless  the scripted update under Xvfb even when a display is there
#   scripts/demo.sh --bench     the console demo: veltra-bench runs every update route of the program
#                               (each camera family, each kind of image) and shows where the USB
#                               traffic logs are
#   scripts/demo.sh --check     the console demo, quietly; exits non-zero when anything fails
#                               (scripts/test.sh)
#
# The demo runs the i686 build, as the product ships. Without 32-bit Wine (wine32:i386, which the
# script tries to install, adding the i386 architecture first) it says so loudly and runs the x86_64
# build (win64 preset) under wine64 instead.
#
# Environment: VELTRA_DEMO_BUILD (i686, the default, or x86_64), VELTRA_BUILD_DIR (default
# <tree>/build), VELTRA_JOBS (default: number of CPUs),
# VELTRA_DEMO_CAMERAS and VELTRA_DEMO_SPEED (the demo's cameras and clock, see docs/e2e.md),
# WINEDEBUG (default -all, headless -all,warn+seh; -all,warn+seh or +debugstr shows the program's
# debug trace).
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT" || exit 1
# shellcheck source=scripts/e2e.sh
source "$ROOT/scripts/e2e.sh"

MODE=window
case "${1:-}" in
  "") ;;
  --headless) MODE=headless ;;
  --bench) MODE=bench ;;
  --check) MODE=check ;;
  *) echo "usage: scripts/demo.sh [--headless | --bench | --check]" >&2; exit 2 ;;
esac
if [[ $MODE == window && -z ${DISPLAY:-} ]]; then
  MODE=headless
fi

BUILD_DIR=${VELTRA_BUILD_DIR:-$ROOT/build}
export VELTRA_JOBS=${VELTRA_JOBS:-$(nproc 2>/dev/null || echo 2)}
DEMO_DIR=$BUILD_DIR/demo
LOGS=$DEMO_DIR/logs

# ---- the console demo on the bench (veltra-bench) ----------------------------------------------------
bench_demo() {
  local check=$1 native=$BUILD_DIR/native out
  local examples=$native/demo
  veltra_install_packages cmake ninja-build g++ libgtest-dev libcli11-dev nlohmann-json3-dev \
    libssl-dev || veltra_die "could not install the packages"
  ((check)) || echo "building veltra-bench and veltra-mkfw (native preset, $native)"
  mkdir -p "$BUILD_DIR" || veltra_die "cannot create $BUILD_DIR"
  out=$(mktemp)
  trap 'rm -f "$out"' EXIT
  veltra_build "$BUILD_DIR" native "$out" veltra-bench veltra-mkfw >/dev/null || exit 1
  local bench=$native/tools/veltra-bench/veltra-bench
  local mkfw=$native/tools/veltra-mkfw/veltra-mkfw
  if ! { rm -rf "$examples" && mkdir -p "$examples"; }; then
    veltra_die "cannot create $examples"
  fi
  "$mkfw" "$examples" >"$out" 2>&1 || { cat "$out" >&2; veltra_die "veltra-mkfw failed"; }

  # route | file | extra options | what it shows
  local runs=(
    "dfu|mcu.img||camera in update mode, MCU image: MCU text in line chunks, verify, image section"
    "dfu|fpga.img||camera in update mode, FPGA image: verify first, then bitstream and image section"
    "dfu|combined_type1.img|--pid DF01|camera in update mode DF01, combined image of type 1: two passes"
    "dfu|combined_type3.img||camera in update mode, combined image of type 3: its second image"
    "generic|nxp_firmware.bin||generic camera, unmarked image: mode switch, download, back again"
    "pesca|combined_type2.img||Pesca camera, combined image of type 2: both passes"
    "tarsa|mcu.img||Tarsa camera: fallback to update mode, MCU image"
    "cx3|fpga.img|--boot-image $examples/bootloader.img|CX3 camera: erase, FX3 boot ROM, boot image, download"
    "nxp|nxp_firmware.bin|--flash-loader $examples/RT1060_Flashloader_nopadding.bin|NXP camera: RT1060 ROM, flash loader, download"
    "mirel|nxp_firmware.bin||Mirel camera: the Sunplus library's download"
  )
  local failed=0 logs=() run route file extra what log args
  for run in "${runs[@]}"; do
    IFS='|' read -r route file extra what <<<"$run"
    log=$examples/logs/$route-${file%.*}.jsonl
    # shellcheck disable=SC2206 # the extra options are words
    args=("$route" "$examples/$file" $extra --log "$log")
    if ((check)); then
      if ! "$bench" "${args[@]}" --quiet >"$out" 2>&1; then
        cat "$out" >&2
        echo "demo: the $route route with $file did not end on a camera holding the file" >&2
        failed=1
      fi
    else
      echo
      echo "=== $what"
      echo "\$ veltra-bench ${args[*]}"
      "$bench" "${args[@]}" || failed=1
    fi
    logs+=("$log")
  done
  if ((check)); then
    ((failed)) && exit 1
    echo "demo check: ${#runs[@]} updates on the virtual camera bench, every route, ended as expected"
    exit 0
  fi
  echo
  echo "USB traffic logs (JSON Lines, one transfer per line; t_ms is the program's clock):"
  for log in "${logs[@]}"; do echo "  $log"; done
  echo "Try a fault: $bench $examples/mcu.img --fault short@12"
  echo "Every route and option: $bench --help"
  exit "$failed"
}

case $MODE in
  bench) bench_demo 0 ;;
  check) bench_demo 1 ;;
esac

# ---- the demo's window under Wine --------------------------------------------------------------------
veltra_install_packages "${VELTRA_E2E_PACKAGES[@]}" || veltra_die "could not install the packages"
ARCH=${VELTRA_DEMO_BUILD:-i686}
PRESET=$(veltra_preset_of "$ARCH") || veltra_die "VELTRA_DEMO_BUILD: no build $ARCH (i686 or x86_64)"
if [[ $ARCH == i686 ]] && ! veltra_have_wine32; then
  veltra_no_wine32_banner "the demo runs the x86_64 build under wine64 instead"
  ARCH=x86_64 PRESET=win64
fi
mkdir -p "$LOGS" || veltra_die "cannot create $LOGS"
echo "the $ARCH build ($PRESET preset)"
veltra_build "$BUILD_DIR" "$PRESET" "$LOGS/build_$PRESET.log" Veltra_FW_Updater_Demo e2e_driver || exit 1
veltra_build "$BUILD_DIR" native "$LOGS/build_native.log" veltra-mkfw || exit 1
APP=$DEMO_DIR/app
SHOTS=$DEMO_DIR/screenshots
if ! { rm -rf "$APP" "$SHOTS" && mkdir -p "$APP" "$SHOTS"; }; then
  veltra_die "cannot prepare $DEMO_DIR"
fi
veltra_stage_demo "$BUILD_DIR/$PRESET" "$BUILD_DIR/native" "$APP" || veltra_die "cannot stage the demo"

if [[ $MODE == headless ]]; then
  veltra_start_display || veltra_die "no X display could be started (Xvfb)"
  # Nobody watches the run: the program's debug trace goes into the run's log beside the
  # driver's steps (Wine reports OutputDebugString on this channel, see the README).
  export WINEDEBUG=${WINEDEBUG:--all,warn+seh}
fi
trap veltra_stop_wine_and_display EXIT
echo "preparing the Wine prefix $BUILD_DIR/wine (the first time takes a while)"
veltra_prepare_prefix "$BUILD_DIR/wine" >"$LOGS/prefix.log" 2>&1 ||
  { cat "$LOGS/prefix.log" >&2; veltra_die "the Wine prefix could not be prepared"; }

if [[ $MODE == window ]]; then
  echo "starting $APP/Veltra_FW_Updater_Demo.exe (close it with EXIT)"
  echo "  cameras: ${VELTRA_DEMO_CAMERAS:-generic,pesca,nxp} (VELTRA_DEMO_CAMERAS)"
  echo "  firmware: the example files in $APP; the program questions a file not named after the"
  echo "  camera's model (Veltra_RX40M_*, Veltra_Pesca_*, Veltra_NX20_*, Veltra_CX3_*)"
  (cd "$APP" && "$VELTRA_WINE" Veltra_FW_Updater_Demo.exe)
  exit $?
fi

log=$LOGS/tour.log
echo "running one scripted update under Xvfb (display $DISPLAY)"
echo "  the driver's steps and the program's debug trace go to $log"
if ! veltra_run_script "$APP" "$ROOT/tests/e2e/demo_tour.txt" "$SHOTS" "$log" 180; then
  veltra_screenshot_now "$SHOTS/failed.png"
  veltra_convert_screenshots "$SHOTS"
  grep -v "Read access denied" "$log" | tail -n 15 >&2
  veltra_die "the scripted update failed (log: $log, screenshot: $SHOTS/failed.png)"
fi
veltra_convert_screenshots "$SHOTS"
echo "the update went through; screenshots (cropped to the windows):"
for shot in "$SHOTS"/*.png; do
  echo "  $shot"
done
echo "the driver's steps and the program's debug trace: $log"
