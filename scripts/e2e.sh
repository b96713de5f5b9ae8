#!/usr/bin/env bash
# The end-to-end stage: the program's real window under Wine, driven from outside as a person would.
#
#   scripts/e2e.sh                every scenario of tests/e2e/scenarios/
#   scripts/e2e.sh reset startup  the named scenarios only
#
# Builds the win64 preset's demo (Veltra_FW_Updater_Demo.exe on the virtual camera bench), the UI
# test driver, the product and the stand-in OrloFWSW.dll; checks that the win32 preset's product and
# demo still build and link; makes the example firmware with the native veltra-mkfw. Then it
# prepares a Wine prefix (build/wine, shared with scripts/demo.sh) and an Xvfb display and runs each
# scenario script with the driver: product_*.txt against the x86_64 product with the stand-in
# library, every other one against the demo. Screenshots (the scenarios' own and one of every failure) are kept in
# build/e2e/screenshots/, each scenario's output in build/e2e/logs/. Ends with a summary and the
# line "N passed, N failed"; the exit status is non-zero when anything failed.
#
# Environment: VELTRA_BUILD_DIR (default <tree>/build), VELTRA_JOBS (default: number of CPUs),
# VELTRA_E2E_TIMEOUT seconds per scenario (default 120), WINEDEBUG (default -all).
#
# scripts/demo.sh sources this file for the veltra_* helpers below; only a direct run runs the stage.
set -uo pipefail

VELTRA_ROOT_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VELTRA_E2E_PACKAGES=(cmake ninja-build g++ libgtest-dev libcli11-dev nlohmann-json3-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64
  binutils-mingw-w64-i686 wine64 xvfb imagemagick)
# The screen of the virtual display: room for the dialog and the bench window beside it.
VELTRA_SCREEN=1600x1000x24

# ---- helpers (also used by scripts/demo.sh) -------------------------------------------------------

veltra_die() { echo "$(basename "$0"): $*" >&2; exit 1; }

# Installs the Debian packages that are missing (as root, or through sudo).
veltra_install_packages() {
  command -v dpkg-query >/dev/null 2>&1 || return 0  # not Debian: the tools must be there
  local missing=() package sudo=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  ((${#missing[@]} == 0)) && return 0
  if ((EUID != 0)); then
    command -v sudo >/dev/null 2>&1 || { echo "missing packages: ${missing[*]} (no sudo)" >&2; return 1; }
    sudo=(sudo)
  fi
  echo "installing: ${missing[*]}"
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq >/dev/null &&
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
      --no-install-recommends "${missing[@]}" >/dev/null
}

# veltra_build <build dir> <preset> <log> <targets...>: configures the preset and builds the targets.
veltra_build() {
  local base=$1 preset=$2 log=$3
  shift 3
  echo "building $preset: $*"
  if ! (cd "$VELTRA_ROOT_DIR" && cmake --preset "$preset" -B "$base/$preset" &&
         cmake --build "$base/$preset" -j "${VELTRA_JOBS:-$(nproc 2>/dev/null || echo 2)}" \
           --target "$@") >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "the $preset build failed (log: $log)" >&2
    return 1
  fi
}

# veltra_stage_demo <win64 build> <native build> <folder>: the demo, the driver, the example
# firmware of every kind and the two loader files (veltra-mkfw), copies named after the cameras'
# models (the program questions a file not named after the camera), and the dialog's icon file.
veltra_stage_demo() {
  local win=$1 native=$2 dest=$3
  cp "$win/demo/Veltra_FW_Updater_Demo.exe" "$win/demo/e2e_driver.exe" "$dest/" &&
    "$native/tools/veltra-mkfw/veltra-mkfw" "$dest" >/dev/null &&
    cp "$dest/combined_type3.img" "$dest/Veltra_RX40M_combined_type3.img" &&
    cp "$dest/mcu.img" "$dest/Veltra_RX40M_mcu.img" &&
    cp "$dest/combined_type1.img" "$dest/Veltra_Pesca_combined_type1.img" &&
    cp "$dest/nxp_firmware.bin" "$dest/Veltra_NX20_firmware.bin" &&
    cp "$dest/mcu.img" "$dest/Veltra_CX3_mcu.img" &&
    cp "$VELTRA_ROOT_DIR/src/app/resources/app_icon.ico" "$dest/Orlomark.ico"
}

# A host path as Wine's Z: drive shows it.
veltra_winpath() { local path=$1; echo "Z:${path//\//\\}"; }

VELTRA_WINE=""
VELTRA_WINESERVER=""
VELTRA_XVFB_PID=""

veltra_find_wine() {
  local dir
  for dir in /usr/lib/wine /usr/lib64/wine /opt/wine-stable/bin; do
    if [[ -x $dir/wine64 && -x $dir/wineserver ]]; then
      VELTRA_WINE=$dir/wine64 VELTRA_WINESERVER=$dir/wineserver
      return 0
    fi
  done
  VELTRA_WINE=$(command -v wine64 || command -v wine) || return 1
  VELTRA_WINESERVER=$(command -v wineserver) || return 1
}

# Starts Xvfb on the first free display number and exports DISPLAY.
veltra_start_display() {
  local number
  for number in $(seq 90 130); do
    [[ -e /tmp/.X$number-lock || -e /tmp/.X11-unix/X$number ]] && continue
    Xvfb ":$number" -screen 0 "$VELTRA_SCREEN" -nolisten tcp >/dev/null 2>&1 &
    VELTRA_XVFB_PID=$!
    local _
    for _ in $(seq 1 100); do
      [[ -e /tmp/.X11-unix/X$number ]] && { export DISPLAY=":$number"; return 0; }
      kill -0 "$VELTRA_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill "$VELTRA_XVFB_PID" 2>/dev/null
    VELTRA_XVFB_PID=""
  done
  return 1
}

veltra_start_wineserver() {
  # Persistent, so that every program of a run shares one server and starts fast. No output of
  # ours may stay tied to it.
  "$VELTRA_WINESERVER" -p </dev/null >/dev/null 2>&1
}

# veltra_prepare_prefix <folder>: a 64-bit Wine prefix of our own (made once; about ten seconds),
# without the Mono and Gecko prompts, with window frames drawn by Wine (Xvfb has no window manager).
veltra_prepare_prefix() {
  veltra_find_wine || { echo "no wine64 found" >&2; return 1; }
  export WINEPREFIX=$1
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEARCH=win64
  if [[ ! -f $WINEPREFIX/system.reg ]]; then
    mkdir -p "$WINEPREFIX" || return 1
    "$VELTRA_WINE" wineboot -i || return 1
    "$VELTRA_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f || return 1
    "$VELTRA_WINESERVER" -w
  fi
  veltra_start_wineserver
}

veltra_restart_wine() {
  "$VELTRA_WINESERVER" -k 2>/dev/null
  "$VELTRA_WINESERVER" -w 2>/dev/null
  veltra_start_wineserver
}

veltra_stop_wine_and_display() {
  [[ -n $VELTRA_WINESERVER && -n ${WINEPREFIX:-} ]] && "$VELTRA_WINESERVER" -k 2>/dev/null
  if [[ -n $VELTRA_XVFB_PID ]]; then
    kill "$VELTRA_XVFB_PID" 2>/dev/null
    wait "$VELTRA_XVFB_PID" 2>/dev/null
    VELTRA_XVFB_PID=""
  fi
}

# The driver writes BMP files; PNG is what people open.
veltra_convert_screenshots() {
  local bmp
  for bmp in "$1"/*.bmp; do
    [[ -f $bmp ]] || continue
    # Cropped to the windows: the empty desktop around them is trimmed away.
    convert "$bmp" -trim +repage "${bmp%.bmp}.png" && rm -f "$bmp"
  done
}

# veltra_screenshot_now <file.png>: the screen as it is, cropped to the windows on it.
veltra_screenshot_now() {
  import -window root -trim +repage "$1" 2>/dev/null
}

# veltra_run_script <folder> <script> <screenshot folder> <log> <seconds>: one scenario.
# Passed only with the driver's exit code 0 and its closing line: a program that crashes under
# Wine may still end with status 0.
veltra_run_script() {
  timeout --kill-after=10 "$5" "$VELTRA_WINE" "$1/e2e_driver.exe" "$(veltra_winpath "$2")" \
    --shots "$(veltra_winpath "$3")" >"$4" 2>&1 </dev/null
  local status=$?
  ((status != 0)) && return "$status"
  grep -q "^e2e_driver: all [0-9]* steps passed" "$4"
}

# ---- the stage -------------------------------------------------------------------------------------

veltra_e2e_main() {
  cd "$VELTRA_ROOT_DIR" || exit 1
  local build_dir=${VELTRA_BUILD_DIR:-$VELTRA_ROOT_DIR/build}
  local limit=${VELTRA_E2E_TIMEOUT:-120}
  local e2e_dir=$build_dir/e2e
  local shots=$e2e_dir/screenshots logs=$e2e_dir/logs
  local scenarios=$VELTRA_ROOT_DIR/tests/e2e/scenarios
  local names=() name file

  if (($# > 0)); then
    for name in "$@"; do
      [[ -f $scenarios/$name.txt ]] || veltra_die "no scenario $name (tests/e2e/scenarios/$name.txt)"
      names+=("$name")
    done
  else
    for file in "$scenarios"/*.txt; do
      names+=("$(basename "$file" .txt)")
    done
  fi

  local start
  start=$(date +%s)
  veltra_install_packages "${VELTRA_E2E_PACKAGES[@]}" || veltra_die "could not install the packages"
  mkdir -p "$logs" || veltra_die "cannot create $logs"
  veltra_build "$build_dir" win64 "$logs/build_win64.log" \
    Veltra_FW_Updater_Demo e2e_driver Veltra_FW_Updater veltra_orlo_fwsw_stub || exit 1
  # The product is 32-bit: it and the demo must keep building and linking for i686.
  veltra_build "$build_dir" win32 "$logs/build_win32.log" \
    Veltra_FW_Updater Veltra_FW_Updater_Demo || exit 1
  veltra_build "$build_dir" native "$logs/build_native.log" veltra-mkfw || exit 1

  local demo_run=$e2e_dir/demo product_run=$e2e_dir/product
  if ! { rm -rf "$demo_run" "$product_run" "$shots" &&
         mkdir -p "$demo_run" "$product_run" "$shots"; }; then
    veltra_die "cannot prepare $e2e_dir"
  fi
  veltra_stage_demo "$build_dir/win64" "$build_dir/native" "$demo_run" ||
    veltra_die "cannot stage the demo in $demo_run"
  cp "$build_dir/win64/Veltra_FW_Updater.exe" "$build_dir/win64/tests/win32_stub/OrloFWSW.dll" \
    "$build_dir/win64/demo/e2e_driver.exe" "$product_run/" ||
    veltra_die "cannot stage the product in $product_run"

  veltra_start_display || veltra_die "no X display could be started (Xvfb)"
  trap veltra_stop_wine_and_display EXIT
  echo "Wine prefix $build_dir/wine, display $DISPLAY"
  veltra_prepare_prefix "$build_dir/wine" >"$logs/prefix.log" 2>&1 ||
    { cat "$logs/prefix.log" >&2; veltra_die "the Wine prefix could not be prepared"; }

  local results=() passed=0 failed=0 folder log began status seconds shot
  for name in "${names[@]}"; do
    folder=$demo_run
    [[ $name == product_* ]] && folder=$product_run
    log=$logs/$name.log
    began=$(date +%s)
    printf '== %-24s ' "$name"
    veltra_run_script "$folder" "$scenarios/$name.txt" "$shots" "$log" "$limit"
    status=$?
    seconds=$(($(date +%s) - began))
    if ((status == 0)); then
      passed=$((passed + 1))
      results+=("$(printf '  %-24s %-8s %4ss' "$name" ok "$seconds")")
      printf 'ok (%ss)\n' "$seconds"
      continue
    fi
    failed=$((failed + 1))
    # The driver leaves the program as the failure found it: the screen shows what went wrong.
    shot=$shots/${name}_failed.png
    veltra_screenshot_now "$shot" || shot="(no screenshot)"
    ((status == 124)) && echo "(stopped after ${limit}s)" >>"$log"
    results+=("$(printf '  %-24s %-8s %4ss  %s' "$name" FAILED "$seconds" "$shot")")
    printf 'FAILED (%ss), screenshot %s, end of %s:\n' "$seconds" "$shot" "$log"
    grep -v "Read access denied" "$log" | tail -n 15 | sed 's/^/   | /'
    # A clean Wine for the next scenario: whatever the failed one left running goes.
    veltra_restart_wine
  done
  veltra_convert_screenshots "$shots"

  echo
  echo "Summary (logs in $logs, screenshots in $shots)"
  printf '%s\n' "${results[@]}"
  printf '  %-24s %-8s %4ss\n' total "$( ((failed == 0)) && echo ok || echo FAILED)" \
    "$(($(date +%s) - start))"
  echo "$passed passed, $failed failed"
  ((failed == 0))
}

if [[ ${BASH_SOURCE[0]} == "$0" ]]; then
  veltra_e2e_main "$@"
fi
