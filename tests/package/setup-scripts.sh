#!/usr/bin/env bash
# scripts/setup-linux.sh and scripts/as-root.sh on made-up machines: a PATH
# of our own with the tools a case has (at the versions it says), a
# dpkg-query that knows the packages the case says are installed, and an id
# that gives the case's user. Nothing is installed (KORVANE_SETUP_DRY_RUN,
# or no way to become root).
#   bash tests/package/setup-scripts.sh
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Makes $work/bin for one case. Arguments: the uid, the installed packages
# (comma-separated), then tools as name or name=version.
machine() {
  local uid=$1 pkgs=$2 tool
  shift 2
  rm -rf "$work/bin" && mkdir -p "$work/bin"
  for tool in bash sh sed grep sort head cat dirname printf; do
    ln -s "$(type -P "$tool")" "$work/bin/$tool"
  done
  printf '#!/bin/sh\n[ "$1" = -u ] && echo %s || exec /usr/bin/id "$@"\n' "$uid" >"$work/bin/id"
  # dpkg-query -W -f=... <package>
  printf '#!/bin/sh\ncase ",%s," in *",$3,"*) echo "install ok installed" ;; *) exit 1 ;; esac\n' "$pkgs" \
    >"$work/bin/dpkg-query"
  printf '#!/bin/sh\n[ "$1" = --print-foreign-architectures ] && exit 0\nexit 1\n' >"$work/bin/dpkg"
  for tool in "$@"; do
    case "$tool" in
      sudo) printf '#!/bin/sh\n[ "$1" = -- ] && shift\necho "sudo: $*"\nexec "$@"\n' >"$work/bin/sudo" ;;
      *=*) printf '#!/bin/sh\necho "%s version %s"\n' "${tool%%=*}" "${tool#*=}" >"$work/bin/${tool%%=*}" ;;
      *) printf '#!/bin/sh\necho "%s 1.0"\n' "$tool" >"$work/bin/$tool" ;;
    esac
  done
  chmod +x "$work/bin"/*
}

all_libs=libgtest-dev,libgmock-dev,googletest,libxml2-dev
# What every Linux build needs besides the compiler and CMake (libcrypto,
# libcdio and pkg-config to find it), there in each case.
deps=libssl-dev,libiso9660-dev,libudf-dev
failed=0
# name | uid | installed packages | tools | job | dry run | exit code | output must match (grep -E) | must not match
cases=(
  "demo: tools that serve count|0|$deps|cmake=3.18.4 ninja g++ pkg-config|demo|1|0|^$|installing"
  "demo: cmake too old is installed|0|$deps|cmake=3.17.0 ninja g++ pkg-config|demo|1|0|installing cmake$|ninja-build"
  "demo: nothing there|0|$deps|true pkg-config|demo|1|0|installing cmake ninja-build g\\+\\+$|"
  "demo: no test packages|0|$deps|ninja g++ pkg-config|demo|1|0|installing cmake$|gtest|libxml2"
  "linux: presets need 3.25|0|cmake,$all_libs,$deps,xorriso,genisoimage,python3-jsonschema,clang-format-14|cmake=3.18.4 ninja g++ pkg-config|linux|1|1|too old: cmake 3.18.4 \\(needs 3.25\\)|installing"
  "linux: test libraries|0|$deps,xorriso,genisoimage,python3-jsonschema,clang-format-14|cmake=3.25.1 ninja g++ pkg-config|linux|1|0|installing libgtest-dev libgmock-dev googletest libxml2-dev$|cmake"
  "windows: i386 first|0|googletest,mingw-w64,wine,wine64|cmake=3.25.1 ninja|windows|1|0|dpkg --add-architecture i386 && \\{ apt-get update|"
  "not root, sudo there|1000|$deps|cmake=3.25.1 ninja g++ sudo pkg-config|demo|1|0|^$|sudo"
  "not root, no sudo: one command|1000|$deps|ninja g++ pkg-config|demo|0|1|^  sh -c '\\{ apt-get update -q .*\\} && .*apt-get install -y -q cmake'$|^sudo:"
  "not root, sudo used|1000|$deps|ninja g++ sudo pkg-config|demo|0|127|sudo: sh -c \\{ apt-get update|run this as root"
  "unknown job|0||cmake=3.25.1|nosuchjob|1|2|unknown job 'nosuchjob'|"
)
for c in "${cases[@]}"; do
  IFS='|' read -r name uid pkgs tools job dry want_rc want_re not_re <<<"$c"
  # shellcheck disable=SC2086 # the tools are words
  machine "$uid" "$pkgs" $tools
  # Through the fake sudo the install itself runs, finds no apt-get and fails.
  rc=0
  out=$(PATH=$work/bin KORVANE_SETUP_DRY_RUN=$dry "$work/bin/bash" "$root/scripts/setup-linux.sh" "$job" 2>&1) || rc=$?
  ok=1
  [ "$rc" = "$want_rc" ] || ok=0
  if [ "$want_re" = '^$' ]; then [ -z "$out" ] || grep -q '^sudo' <<<"$out" || ok=0
  else grep -qE -- "$want_re" <<<"$out" || ok=0; fi
  if [ -n "$not_re" ] && grep -qE -- "$not_re" <<<"$out"; then ok=0; fi
  if [ "$ok" = 0 ]; then
    echo "setup-scripts: $name: exit $rc (expected $want_rc), output:" >&2
    echo "$out" >&2
    failed=1
  fi
done

# as-root.sh alone: root runs the command, a user with sudo runs it through
# sudo, a user without is told the command and it does not run.
# name | uid | tools | exit code | output
root_cases=(
  "root|0||0|^ran$"
  "sudo|1000|sudo|0|^sudo: echo ran"
  "neither|1000||1|^  echo ran$"
)
for c in "${root_cases[@]}"; do
  IFS='|' read -r name uid tools want_rc want_re <<<"$c"
  # shellcheck disable=SC2086
  machine "$uid" "" $tools
  ln -s "$(type -P echo)" "$work/bin/echo"
  rc=0
  out=$(PATH=$work/bin "$work/bin/bash" "$root/scripts/as-root.sh" echo ran 2>&1) || rc=$?
  if [ "$rc" != "$want_rc" ] || ! grep -qE -- "$want_re" <<<"$out"; then
    echo "setup-scripts: as-root.sh, $name: exit $rc (expected $want_rc), output:" >&2
    echo "$out" >&2
    failed=1
  fi
  if [ "$name" = neither ] && grep -qx ran <<<"$out"; then
    echo "setup-scripts: as-root.sh ran the command without root" >&2
    failed=1
  fi
done
[ "$failed" -eq 0 ] && echo "setup-scripts: ${#cases[@]} setup and ${#root_cases[@]} as-root cases as expected"
exit "$failed"
