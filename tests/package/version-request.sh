#!/usr/bin/env bash
# Which find_package(Korvane <request>) the installed package serves: its own
# revision only, and a refused request says why.
#   bash tests/package/version-request.sh <install prefix> <work folder>
set -euo pipefail

prefix=$(cd "$1" && pwd)
work=$2
rm -rf "$work" && mkdir -p "$work/src"
revision=$(sed -n 's/^revision=//p' "$prefix"/lib*/pkgconfig/korvane.pc)
cat >"$work/src/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.19)
project(KorvaneVersionRequest LANGUAGES NONE)
find_package(Korvane ${REQUEST} CONFIG)
message(STATUS "found=${Korvane_FOUND}")
CMAKE

# request | served by a 1.1 package | served by a 1.0 package
cases=(
  "|yes|yes"
  "1|no|yes"
  "1.1|yes|no"
  "1.1.0.0|yes|no"
  "1.0|no|yes"
  "1.0.0.9|no|yes"
  "1.2|no|no"
  "2.0|no|no"
  "1.0...1.1|yes|yes"
  "1.0...<1.1|no|yes"
  "1.1...<2|yes|no"
)
failed=0
for c in "${cases[@]}"; do
  IFS='|' read -r request served11 served10 <<<"$c"
  want=$served11
  [ "$revision" = 10 ] && want=$served10
  out=$(cmake -S "$work/src" -B "$work/build" -DCMAKE_PREFIX_PATH="$prefix" "-DREQUEST=$request" 2>&1) || true
  rm -rf "$work/build"
  got=no
  grep -q -- '-- found=1' <<<"$out" && got=yes
  why=yes
  [ "$got" = no ] && ! grep -q 'different protocols' <<<"$out" && why=no
  if [ "$got" != "$want" ] || [ "$why" != yes ]; then
    echo "version-request: find_package(Korvane $request): served $got, expected $want; reason given: $why" >&2
    echo "$out" >&2
    failed=1
  fi
done
[ "$failed" -eq 0 ] && echo "version-request: ${#cases[@]} requests answered as expected (revision $revision)"
exit "$failed"
