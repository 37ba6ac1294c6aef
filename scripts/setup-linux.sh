#!/usr/bin/env bash
# Installs what the named jobs need, when it is missing (Debian 12):
#   bash scripts/setup-linux.sh <job>...
#
#   demo       compiler, CMake (the project's minimum), Ninja
#   linux      the Linux test legs (presets: CMake 3.25), GoogleTest, libxml2,
#              clang-format
#   package    the package leg: install, pkg-config consumer, symbol check
#   cmake-min  the leg with the project's minimum CMake (fetched, not installed)
#   windows    the MinGW-w64 cross compilers and Wine
#   fuzz       clang and libFuzzer's runtime
#   valgrind   the Linux tests under memcheck
#   bench      Google Benchmark and the programs bench/compare.sh times against
#
# A tool already on PATH at a version that serves counts as present, however
# it was installed. Installing goes through scripts/as-root.sh: directly as
# root, with sudo when it is there, or else it prints the one command to run.
# KORVANE_SETUP_DRY_RUN=1 prints what would be installed and installs nothing.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# The project's minimum CMake, from the one place that states it.
min_cmake=$(sed -n 's/^cmake_minimum_required(VERSION \([0-9.]*\)).*/\1/p' "$root/CMakeLists.txt")
# CMakePresets.json's schema.
preset_cmake=3.25

# What each job needs, one word each: "tool>=version" (or a bare tool name)
# is a program looked for on PATH, anything else a Debian package. Adding
# a package to a job is adding a word to its line.
# python3-jsonschema checks the tool's --events records against their schema.
tests="libgtest-dev libgmock-dev googletest libxml2-dev libssl-dev xorriso genisoimage python3-jsonschema"
# The Linux leg fails on sources not formatted by the repository's .clang-format.
format="clang-format-14"
# The Linux Win32 layer reads disc images through libcdio's ISO 9660 and UDF libraries.
images="pkg-config libiso9660-dev libudf-dev"
job_needs() {
  case "$1" in
    # libssl-dev: the tool's SHA-256 manifests (describe --sums, check) use libcrypto.
    demo) echo "cmake>=$min_cmake ninja g++ libssl-dev $images" ;;
    linux) echo "cmake>=$preset_cmake ninja g++ $tests $images $format" ;;
    package) echo "cmake>=$min_cmake ninja g++ pkg-config nm readelf $images" ;;
    cmake-min) echo "ninja g++ curl dpkg-deb $tests $images" ;;
    windows) echo "cmake>=$min_cmake ninja googletest mingw-w64 wine wine64 wine32:i386" ;;
    fuzz) echo "cmake>=$min_cmake ninja clang libclang-rt-14-dev $images" ;;
    valgrind) echo "cmake>=$min_cmake ninja g++ $tests valgrind $images" ;;
    bench) echo "cmake>=$min_cmake ninja g++ gcc libbenchmark-dev hyperfine hashdeep time diffutils rsync libssl-dev xorriso $images" ;;
    *) return 1 ;;
  esac
}

# The package that brings a tool.
tool_package() {
  case "$1" in
    ninja) echo ninja-build ;;
    nm | readelf) echo binutils ;;
    pkg-config) echo pkgconf ;;
    dpkg-deb) echo dpkg ;;
    *) echo "$1" ;;
  esac
}
is_tool() {
  case "$1" in
    cmake* | ninja | g++ | nm | readelf | pkg-config | curl | dpkg-deb) return 0 ;;
    *) return 1 ;;
  esac
}
# The version a tool reports, e.g. "3.25.1" from "cmake version 3.25.1".
tool_version() { "$1" --version 2>/dev/null | head -n 1 | grep -oE '[0-9]+(\.[0-9]+)+' | head -n 1; }
version_at_least() { [ "$(printf '%s\n%s\n' "$2" "$1" | sort -V | head -n 1)" = "$2" ]; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

if [ $# -eq 0 ]; then
  echo "usage: $0 <job>... (demo linux package cmake-min windows fuzz valgrind bench)" >&2
  exit 2
fi

need=()
too_old=()
for job in "$@"; do
  if ! words=$(job_needs "$job"); then
    echo "setup-linux.sh: unknown job '$job'" >&2
    exit 2
  fi
  for word in $words; do
    if is_tool "$word"; then
      tool=${word%%>=*}
      min=
      [ "$tool" = "$word" ] || min=${word#*>=}
      if command -v "$tool" >/dev/null 2>&1; then
        [ -z "$min" ] && continue
        found=$(tool_version "$tool")
        version_at_least "${found:-0}" "$min" && continue
        # Installed by the package manager already: installing cannot help.
        if have_pkg "$(tool_package "$tool")"; then
          too_old+=("$tool $found (needs $min)")
          continue
        fi
      fi
      pkg=$(tool_package "$tool")
    else
      pkg=$word
      have_pkg "$pkg" && continue
    fi
    case " ${need[*]-} " in *" $pkg "*) ;; *) need+=("$pkg") ;; esac
  done
done

# One command, so that whoever is not root has one line to run.
if [ ${#need[@]} -gt 0 ]; then
  # A mirror in mid-sync fails one index now and then: asked again, and if it
  # still fails the install goes on with the indexes there are, and fails
  # itself when a package is not in them.
  # One line, without single quotes: as-root.sh may print it for the user.
  update='{ apt-get update -q || { sleep 10; apt-get update -q; } || echo "apt-get update failed: installing from the indexes there are" >&2; }'
  steps="$update && DEBIAN_FRONTEND=noninteractive apt-get install -y -q ${need[*]}"
  # wine32 is an i386 package: that architecture must be known first.
  case " ${need[*]} " in
    *":i386 "*)
      if ! dpkg --print-foreign-architectures | grep -qx i386; then
        steps="dpkg --add-architecture i386 && $steps"
      fi
      ;;
  esac
  echo "=== installing ${need[*]}"
  if [ "${KORVANE_SETUP_DRY_RUN:-0}" = 1 ]; then
    echo "would run as root: sh -c '$steps'"
  else
    bash "$root/scripts/as-root.sh" sh -c "$steps"
  fi
fi
if [ ${#too_old[@]} -gt 0 ]; then
  echo "setup-linux.sh: too old: ${too_old[*]}; put a newer one first on PATH," \
    "or build with the plain cmake -S . -B build path (README)" >&2
  exit 1
fi
