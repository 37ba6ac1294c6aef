#!/usr/bin/env bash
# One Windows leg of CI: cross-builds the project with MinGW-w64 and runs its
# tests under Wine.
#
#   bash .ci/windows-leg.sh win32   # i686, revision 1.1
#   bash .ci/windows-leg.sh win64   # x86_64, revision 1.0
#
# Installs what is missing (scripts/setup-linux.sh windows), builds into
# out/build/ci-<leg>, makes a Wine prefix of its own there, maps the drive
# letters the tests use and runs ctest. Any failure, Wine not starting
# included, fails the leg.
set -euo pipefail

leg=${1:-}
case "$leg" in
  win32) triplet=i686-w64-mingw32 ;;
  win64) triplet=x86_64-w64-mingw32 ;;
  *) echo "usage: $0 win32|win64" >&2; exit 2 ;;
esac

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/out/build/ci-$leg
jobs=${KORVANE_CI_JOBS:-2}
# Letters the tests take through kvtest::TestDrive.
drive_letters=(s t u)

step() { printf '\n=== %s: %s\n' "$leg" "$*"; }

# --- Tools -----------------------------------------------------------------
bash "$root/scripts/setup-linux.sh" windows

# --- Build -----------------------------------------------------------------
# The revision follows the architecture (x86: 1.1, x64: 1.0); extra configure
# arguments may come in KORVANE_CI_CONFIGURE_ARGS.
read -r -a configure_args <<<"${KORVANE_CI_CONFIGURE_ARGS:-}"

# The tests run through this wrapper of wine: on a rare occasion Wine cannot
# create the process at all ("ShellExecuteEx failed: Internal error") and
# falls back to the shell; that one case is started once more.
mkdir -p "$build"
wine_run=$build/wine-run.sh
cat >"$wine_run" <<'WRAPPER'
#!/bin/sh
out=$(mktemp)
"${KORVANE_WINE:-wine}" "$@" >"$out" 2>&1
rc=$?
if [ "$rc" -ne 0 ] && grep -q 'ShellExecuteEx failed: Internal error' "$out"; then
  echo "wine-run.sh: Wine could not start $1, starting it again" >&2
  "${KORVANE_WINE:-wine}" "$@" >"$out" 2>&1
  rc=$?
fi
cat "$out"
rm -f "$out"
exit "$rc"
WRAPPER
chmod +x "$wine_run"

step "configure ($build)"
cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/$triplet.cmake" \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$wine_run" \
  ${configure_args[@]+"${configure_args[@]}"}

step "build"
cmake --build "$build" -j "$jobs"

# --- Wine ------------------------------------------------------------------
# Debian's wine script starts every program through the 32-bit loader, which
# a kernel without 32-bit support (ia32_emulation=off) cannot execute at all.
# 64-bit programs then go straight to the 64-bit loader; 32-bit ones cannot
# run on such a machine, and the leg says so and counts as skipped (exit 77),
# never as passed: its programs were built, not tested.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  export KORVANE_WINE=wine
else
  if [ "$leg" = win32 ]; then
    step "SKIPPED: this kernel runs no 32-bit programs (32-bit emulation disabled); the 32-bit build was made, its tests were not run"
    exit 77
  fi
  export KORVANE_WINE=/usr/lib/wine/wine64 WINELOADER=/usr/lib/wine/wine64
fi

export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
# No Mono or Gecko installer prompts: the tests need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine 8 would try a display for its dialogs; there is none.
unset DISPLAY

stop_wine() { wineserver -k >/dev/null 2>&1 || true; }
trap stop_wine EXIT

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  step "creating the Wine prefix"
  rm -rf "$WINEPREFIX"
  "$KORVANE_WINE" wineboot -i >"$build/wineboot.log" 2>&1 || {
    cat "$build/wineboot.log" >&2
    echo "wineboot failed" >&2
    exit 1
  }
  wineserver -w
fi

# Windows path of a build-machine folder, through Wine's Z: (the root).
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

step "mapping drives ${drive_letters[*]}"
for l in "${drive_letters[@]}"; do
  folder=$build/wine-drive-$l
  rm -rf "$folder"
  mkdir -p "$folder"
  # DefineDosDevice has no effect on file calls in Wine 8; the prefix's
  # dosdevices link does.
  ln -sfn "$folder" "$WINEPREFIX/dosdevices/$l:"
  export "KORVANE_TEST_DRIVE_${l^^}=$(winpath "$folder")"
done

# One server for the whole run rather than one per test process.
wineserver -p

# Wine must start a program of this leg's architecture. This first program
# also starts Wine's background services, which keep the output they were
# given open: a file, so that no pipe of a later step waits on them.
step "checking that Wine starts"
case "$leg" in
  win32) probe_cmd='C:\windows\syswow64\cmd.exe' ;;
  win64) probe_cmd='C:\windows\system32\cmd.exe' ;;
esac
probe_out=$build/wine-probe.txt
"$KORVANE_WINE" "$probe_cmd" /c echo korvane-wine-ok >"$probe_out" 2>&1 </dev/null || true
if ! tr -d '\r' <"$probe_out" | grep -qx korvane-wine-ok; then
  echo "Wine does not start $probe_cmd:" >&2
  cat "$probe_out" >&2
  exit 1
fi

# --- Tests -----------------------------------------------------------------
step "ctest"
ctest --test-dir "$build" --output-on-failure --no-tests=error -j "$jobs" --timeout 300
