#!/usr/bin/env bash
# The end-to-end stage: the program's real window under Wine, driven from outside as a person would.
#
#   scripts/e2e.sh                every scenario of tests/e2e/scenarios/ on the i686 build
#   scripts/e2e.sh reset startup  the named scenarios only
#   VELTRA_E2E_BUILDS=x86_64 scripts/e2e.sh startup      the same on the x86_64 build
#   VELTRA_E2E_BUILDS="i686 x86_64" scripts/e2e.sh       every scenario on both builds
#
# The i686 build is the one we ship: the win32 preset's demo (Veltra_FW_Updater_Demo.exe on the
# virtual camera bench), UI test driver, product and stand-in OrloFWSW.dll, run under 32-bit Wine in
# a win64 prefix (which runs 32-bit programs beside 64-bit ones). The x86_64 build (win64 preset) is
# the same program for wine64. Each build is built, staged and run on its own; the example firmware
# comes from the native veltra-mkfw. The Wine prefix (build/wine) and an Xvfb display are shared
# with scripts/demo.sh; each scenario script runs with the build's driver: product_*.txt against
# the product with the stand-in library, every other one against the demo. Screenshots (the
# scenarios' own and one of every failure) are kept in build/e2e/<build>/screenshots/, each
# scenario's output in build/e2e/<build>/logs/. Ends with a summary and the line
# "N passed, N failed, N skipped"; the exit status is non-zero when anything failed.
#
# Without 32-bit Wine (wine32:i386, see veltra_install_packages) the i686 scenarios cannot run: the
# stage says so loudly and counts them as skipped, never as passed. Left to its default it then
# runs the scenarios on the x86_64 build instead.
#
# Environment: VELTRA_E2E_BUILDS (default i686), VELTRA_WINE32=0 (act as if 32-bit Wine were
# missing), VELTRA_BUILD_DIR (default <tree>/build),
# VELTRA_JOBS (default: number of CPUs), VELTRA_E2E_TIMEOUT seconds per scenario (default 120),
# WINEDEBUG (default -all).
#
# scripts/demo.sh and scripts/test.sh source this file for the veltra_* helpers below; only a
# direct run runs the stage.
set -uo pipefail

VELTRA_ROOT_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VELTRA_E2E_PACKAGES=(cmake ninja-build g++ libgtest-dev libcli11-dev nlohmann-json3-dev libssl-dev
  python3-jsonschema
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64
  binutils-mingw-w64-i686 wine64 xvfb imagemagick)
# 32-bit Wine, installed beside the packages above by veltra_install_packages. Debian packs it for
# the i386 architecture, which dpkg must know first.
VELTRA_WINE32_PACKAGE=wine32:i386
# The screen of the virtual display: room for the dialog and the bench window beside it.
VELTRA_SCREEN=1600x1000x24

# ---- helpers (also used by scripts/demo.sh) -------------------------------------------------------

veltra_die() { echo "$(basename "$0"): $*" >&2; exit 1; }

# veltra_have_wine32: true when Wine can run 32-bit programs: its 32-bit loader and its 32-bit
# Windows libraries are installed (Debian: wine32:i386 and libwine:i386; WineHQ's packages under
# /opt). wine64 starts the 32-bit loader by itself for a 32-bit program. VELTRA_WINE32=0 acts as if
# it were missing (to see the runs without it on a machine that has it).
veltra_have_wine32() {
  [[ ${VELTRA_WINE32:-} == 0 ]] && return 1
  local lib
  for lib in /usr/lib/i386-linux-gnu/wine /usr/lib32/wine /usr/lib/wine /opt/wine-stable/lib/wine \
             /opt/wine-stable/lib; do
    [[ -f $lib/i386-windows/ntdll.dll && -f $lib/i386-unix/ntdll.so ]] || continue
    [[ -x /usr/lib/wine/wine || -x /usr/lib32/wine/wine || -x /opt/wine-stable/bin/wine ]] &&
      return 0
  done
  return 1
}

# veltra_no_wine32_banner <why>: on stderr, impossible to miss in a log.
veltra_no_wine32_banner() {
  local line='!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!'
  {
    echo "$line"
    echo "!! NO 32-BIT WINE: $1"
    echo "!! The i686 build, the product we ship, is NOT run: its stages are SKIPPED, not passed."
    echo "!! Install it with: dpkg --add-architecture i386 && apt-get update &&"
    echo "!!                  apt-get install $VELTRA_WINE32_PACKAGE"
    echo "$line"
  } >&2
}

# veltra_install_packages <packages...>: installs the Debian packages that are missing (as root, or
# through sudo), and 32-bit Wine with them (adding the i386 architecture first). The packages named
# are required; 32-bit Wine is not: when the package index cannot give it (the i386 half of a
# mirror is sometimes out of step with the amd64 half), the rest is installed all the same and the
# banner above says what is lost. Callers ask veltra_have_wine32 afterwards.
veltra_install_packages() {
  command -v dpkg-query >/dev/null 2>&1 || return 0  # not Debian: the tools must be there
  local missing=() package sudo=() want32=0
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  [[ $(dpkg --print-architecture) == amd64 && ${VELTRA_WINE32:-} != 0 ]] && ! veltra_have_wine32 &&
    want32=1
  ((${#missing[@]} == 0 && want32 == 0)) && return 0
  if ((EUID != 0)); then
    if ! command -v sudo >/dev/null 2>&1; then
      ((${#missing[@]} > 0)) && { echo "missing packages: ${missing[*]} (no sudo)" >&2; return 1; }
      veltra_no_wine32_banner "$VELTRA_WINE32_PACKAGE is not installed (not root, no sudo)"
      return 0
    fi
    sudo=(sudo)
  fi
  local apt=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -qq)
  if ((want32)) && [[ $(dpkg --print-architecture) == amd64 ]] &&
     ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "adding the i386 architecture (32-bit Wine)"
    "${sudo[@]}" dpkg --add-architecture i386 || echo "could not add the i386 architecture" >&2
  fi
  # An index that fails to update in part (often the i386 half) still serves what it has.
  "${apt[@]}" update >/dev/null || echo "apt-get update failed; installing from the index as it is" >&2
  if ((${#missing[@]} > 0)); then
    echo "installing: ${missing[*]}"
    "${apt[@]}" install -y --no-install-recommends "${missing[@]}" >/dev/null || return 1
  fi
  if ((want32)); then
    echo "installing: $VELTRA_WINE32_PACKAGE"
    if ! "${apt[@]}" install -y --no-install-recommends "$VELTRA_WINE32_PACKAGE" >/dev/null ||
       ! veltra_have_wine32; then
      veltra_no_wine32_banner "$VELTRA_WINE32_PACKAGE could not be installed from the package index"
    fi
  fi
  return 0
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

# veltra_stage_demo <Windows build> <native build> <folder>: the demo, the driver, the example
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
# A win64 prefix runs 32-bit programs too, from its syswow64 folder, which wineboot fills only when
# 32-bit Wine is installed: a prefix made before it was gets that half added. The CTest tests of
# the Windows presets may have made the prefix first (scripts/test.sh points them here): what they
# do not set is added.
veltra_prepare_prefix() {
  veltra_find_wine || { echo "no wine64 found" >&2; return 1; }
  export WINEPREFIX=$1
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEARCH=win64
  local changed=0
  if [[ ! -f $WINEPREFIX/system.reg ]]; then
    mkdir -p "$WINEPREFIX" || return 1
    "$VELTRA_WINE" wineboot -i || return 1
    changed=1
  elif veltra_have_wine32 && [[ ! -f $WINEPREFIX/drive_c/windows/syswow64/kernel32.dll ]]; then
    "$VELTRA_WINE" wineboot -u || return 1
    changed=1
  fi
  if ! grep -q '^"Decorated"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    "$VELTRA_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f || return 1
    changed=1
  fi
  # The server those started lingers a few seconds; the persistent one below replaces it.
  ((changed)) && "$VELTRA_WINESERVER" -w
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

# The Windows build of each architecture: its preset, and the targets a scenario run needs.
veltra_preset_of() {
  case $1 in
    i686) echo win32 ;;
    x86_64) echo win64 ;;
    *) return 1 ;;
  esac
}
VELTRA_E2E_TARGETS=(Veltra_FW_Updater_Demo e2e_driver Veltra_FW_Updater veltra_orlo_fwsw_stub
  veltra-update-demo)

# veltra_e2e_build <arch> <build dir> <e2e dir>: builds the architecture's programs and stages
# <e2e dir>/<arch>/demo (demo, driver, example files) and <e2e dir>/<arch>/product (the product, the
# stand-in library that answers "no camera", the driver).
veltra_e2e_build() {
  local arch=$1 build_dir=$2 e2e_dir=$3 preset
  preset=$(veltra_preset_of "$arch") || veltra_die "no build $arch (i686 or x86_64)"
  local win=$build_dir/$preset run=$e2e_dir/$arch
  mkdir -p "$run/logs" || veltra_die "cannot create $run/logs"
  veltra_build "$build_dir" "$preset" "$run/logs/build_$preset.log" "${VELTRA_E2E_TARGETS[@]}" ||
    exit 1
  if ! { rm -rf "$run/demo" "$run/product" "$run/screenshots" &&
         mkdir -p "$run/demo" "$run/product" "$run/screenshots"; }; then
    veltra_die "cannot prepare $run"
  fi
  veltra_stage_demo "$win" "$build_dir/native" "$run/demo" ||
    veltra_die "cannot stage the demo in $run/demo"
  cp "$win/demo/veltra-update-demo.exe" "$run/demo/" ||
    veltra_die "cannot stage veltra-update-demo.exe in $run/demo"
  cp "$win/Veltra_FW_Updater.exe" "$win/tests/win32_stub/OrloFWSW.dll" "$win/demo/e2e_driver.exe" \
    "$run/product/" || veltra_die "cannot stage the product in $run/product"
}

# A passed run (label, seconds): counted into the caller's passed and results, and said.
veltra_e2e_passed() {
  passed=$((passed + 1))
  results+=("$(printf '  %-32s %-8s %4ss' "$1" ok "$2")")
  printf 'ok (%ss)\n' "$2"
}

# The console program's demo build (exe): one scripted run of six cameras on the bench, its exit
# codes and its report checked against the report's schema. Counts into the caller's passed,
# failed and results.
veltra_update_report_run() {
  local arch=$1 exe=$2 label log began status seconds
  label="veltra-update report ($arch)"
  log=$e2e_dir/$arch/logs/veltra_update_report.log
  began=$(date +%s)
  printf '== %-32s ' "$label"
  timeout --kill-after=10 "$limit" python3 "$VELTRA_ROOT_DIR/tests/tools/check_update_report.py" \
    --wine "$VELTRA_WINE" "$exe" "$build_dir/native/tools/veltra-mkfw/veltra-mkfw" \
    "$VELTRA_ROOT_DIR/docs/update-report.schema.json" >"$log" 2>&1 </dev/null
  status=$?
  seconds=$(($(date +%s) - began))
  if ((status == 0)); then
    veltra_e2e_passed "$label" "$seconds"
  else
    failed=$((failed + 1))
    results+=("$(printf '  %-32s %-8s %4ss  %s' "$label" FAILED "$seconds" "$log")")
    printf 'FAILED (%ss), end of %s:\n' "$seconds" "$log"
    tail -n 15 "$log" | sed 's/^/   | /'
  fi
}

veltra_e2e_main() {
  cd "$VELTRA_ROOT_DIR" || exit 1
  local build_dir=${VELTRA_BUILD_DIR:-$VELTRA_ROOT_DIR/build}
  local limit=${VELTRA_E2E_TIMEOUT:-120}
  local e2e_dir=$build_dir/e2e
  local scenarios=$VELTRA_ROOT_DIR/tests/e2e/scenarios
  local names=() name file arch

  if (($# > 0)); then
    for name in "$@"; do
      # veltra_update_report is the console program's run below, not a script of the driver.
      [[ $name == veltra_update_report ]] && continue
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

  # Which builds run: the i686 one needs 32-bit Wine. Without it its scenarios are skipped (and
  # counted so); left to the default, the x86_64 build runs them instead.
  local wanted=() builds=() skipped=0 skipped_note=""
  read -r -a wanted <<<"${VELTRA_E2E_BUILDS:-i686}"
  for arch in "${wanted[@]}"; do
    veltra_preset_of "$arch" >/dev/null || veltra_die "VELTRA_E2E_BUILDS: no build $arch (i686 or x86_64)"
    if [[ $arch == i686 ]] && ! veltra_have_wine32; then
      veltra_no_wine32_banner "the i686 scenarios are skipped (${#names[@]} of them)"
      skipped=$((skipped + ${#names[@]}))
      skipped_note="$(printf '  %-32s %-8s  %s' "i686: ${#names[@]} scenarios" SKIPPED "no 32-bit Wine")"
      if [[ -z ${VELTRA_E2E_BUILDS:-} ]]; then
        echo "running the scenarios on the x86_64 build instead" >&2
        builds+=(x86_64)
      fi
      continue
    fi
    builds+=("$arch")
  done

  if ((${#builds[@]} > 0)); then
    mkdir -p "$e2e_dir" || veltra_die "cannot create $e2e_dir"
    veltra_build "$build_dir" native "$e2e_dir/build_native.log" veltra-mkfw || exit 1
  fi
  for arch in "${builds[@]}"; do
    veltra_e2e_build "$arch" "$build_dir" "$e2e_dir"
  done

  local results=() passed=0 failed=0
  if ((${#builds[@]} > 0)); then
    veltra_start_display || veltra_die "no X display could be started (Xvfb)"
    trap veltra_stop_wine_and_display EXIT
    echo "Wine prefix $build_dir/wine, display $DISPLAY"
    veltra_prepare_prefix "$build_dir/wine" >"$e2e_dir/prefix.log" 2>&1 ||
      { cat "$e2e_dir/prefix.log" >&2; veltra_die "the Wine prefix could not be prepared"; }
  fi

  local folder log began status seconds shot shots label
  for arch in "${builds[@]}"; do
    shots=$e2e_dir/$arch/screenshots
    for name in "${names[@]}"; do
      folder=$e2e_dir/$arch/demo
      [[ $name == product_* ]] && folder=$e2e_dir/$arch/product
      log=$e2e_dir/$arch/logs/$name.log
      label="$name ($arch)"
      began=$(date +%s)
      printf '== %-32s ' "$label"
      veltra_run_script "$folder" "$scenarios/$name.txt" "$shots" "$log" "$limit"
      status=$?
      seconds=$(($(date +%s) - began))
      if ((status == 0)); then
        veltra_e2e_passed "$label" "$seconds"
        continue
      fi
      failed=$((failed + 1))
      # The driver leaves the program as the failure found it: the screen shows what went wrong.
      shot=$shots/${name}_failed.png
      veltra_screenshot_now "$shot" || shot="(no screenshot)"
      ((status == 124)) && echo "(stopped after ${limit}s)" >>"$log"
      results+=("$(printf '  %-32s %-8s %4ss  %s' "$label" FAILED "$seconds" "$shot")")
      printf 'FAILED (%ss), screenshot %s, end of %s:\n' "$seconds" "$shot" "$log"
      grep -v "Read access denied" "$log" | tail -n 15 | sed 's/^/   | /'
      # A clean Wine for the next scenario: whatever the failed one left running goes.
      veltra_restart_wine
    done
    veltra_convert_screenshots "$shots"
    # The console program's demo build: one scripted run of six cameras on the bench, its exit
    # codes and its report checked against the report's schema (the whole stage, or by its name).
    if (($# == 0)) || [[ " $* " == *" veltra_update_report "* ]]; then
      veltra_update_report_run "$arch" "$e2e_dir/$arch/demo/veltra-update-demo.exe"
    fi
  done
  # The console program's demo build is run as a 64-bit program under wine64 too, when the
  # scenarios ran on the i686 build alone: its report and exit codes must not depend on the build.
  if ((${#builds[@]} > 0)) && [[ " ${builds[*]} " != *" x86_64 "* ]] &&
    { (($# == 0)) || [[ " $* " == *" veltra_update_report "* ]]; }; then
    mkdir -p "$e2e_dir/x86_64/logs" || veltra_die "cannot create $e2e_dir/x86_64/logs"
    if veltra_build "$build_dir" win64 "$e2e_dir/x86_64/logs/build_win64.log" veltra-update-demo; then
      veltra_update_report_run x86_64 "$build_dir/win64/demo/veltra-update-demo.exe"
    else
      failed=$((failed + 1))
      results+=("$(printf '  %-32s %-8s %4ss  %s' "veltra-update report (x86_64)" FAILED 0 \
        "$e2e_dir/x86_64/logs/build_win64.log")")
    fi
  fi

  echo
  echo "Summary (logs in $e2e_dir/<build>/logs, screenshots in $e2e_dir/<build>/screenshots)"
  ((${#results[@]} > 0)) && printf '%s\n' "${results[@]}"
  [[ -n $skipped_note ]] && echo "$skipped_note"
  printf '  %-32s %-8s %4ss\n' total "$( ((failed == 0)) && echo ok || echo FAILED)" \
    "$(($(date +%s) - start))"
  echo "$passed passed, $failed failed, $skipped skipped"
  ((failed == 0))
}

if [[ ${BASH_SOURCE[0]} == "$0" ]]; then
  veltra_e2e_main "$@"
fi
