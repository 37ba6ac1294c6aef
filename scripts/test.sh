#!/usr/bin/env bash
# Builds and runs every test leg, installing what is missing:
#   linux-asan   Linux, revision 1.1, AddressSanitizer + UBSan; the sources'
#                format (scripts/format-check.sh)
#   linux-rev10  Linux, revision 1.0
#   package      the installed package: a CMake and a pkg-config consumer of a
#                moved install tree, its symbols and SONAMEs, version requests,
#                and demo.sh followed by the README's preset commands
#   cmake-min    configure, build and test with exactly the project's minimum
#                CMake (Debian's package of it, unpacked into out/tools)
#   win32        Windows 32-bit (revision 1.1), MinGW-w64, under Wine
#   win64        Windows 64-bit (revision 1.0), MinGW-w64, under Wine
#   fuzz         a short libFuzzer campaign (KORVANE_FUZZ_SECONDS per target, 60)
#   valgrind     the verifier and tool tests under memcheck
# With leg names as arguments, runs only those.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
jobs=${KORVANE_JOBS:-2}
legs=("$@")
[ ${#legs[@]} -gt 0 ] || legs=(linux-asan linux-rev10 package cmake-min win32 win64 fuzz valgrind)

linux_leg() {
  local preset=$1
  bash scripts/setup-linux.sh linux
  # One leg is enough to hold the sources to the repository's format.
  [ "$preset" != linux-asan ] || bash scripts/format-check.sh
  echo "=== $preset: configure and build"
  cmake --preset "$preset" -DKORVANE_BUILD_BENCH=OFF
  cmake --build --preset "$preset" -j "$jobs"
  echo "=== $preset: test"
  ctest --preset "$preset" -j "$jobs"
}

package_leg() {
  local build=out/build/package-lib install=out/install/package
  bash scripts/setup-linux.sh package
  echo "=== package: build, install, consume"
  rm -rf "$install" "$install-moved"
  # As a distribution builds it: no tests, so no test seams in the layer.
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVANE_BUILD_TESTS=OFF \
    -DKORVANE_BUILD_TOOL=OFF -DKVWIN32_TEST_SEAMS=OFF
  cmake --build "$build" -j "$jobs"
  cmake --install "$build" --prefix "$install"
  # Relocatable: the consumers build and run against a moved copy.
  rm -rf "$install-moved" && cp -a "$install" "$install-moved" && rm -rf "$install"
  rm -rf out/build/package-consumer
  ctest --build-and-test tests/package out/build/package-consumer \
    --build-generator Ninja \
    --build-options "-DCMAKE_PREFIX_PATH=$root/$install-moved" \
    --test-command ctest --output-on-failure
  bash tests/package/pkg-config-consumer.sh "$install-moved" out/build/package-pkgconfig
  bash tests/package/check-symbols.sh "$install-moved"
  bash tests/package/version-request.sh "$install-moved" out/build/package-version
  bash tests/package/setup-scripts.sh
  bash tests/package/demo-then-ctest.sh out/build/package-demo
}

cmake_min_leg() {
  bash scripts/setup-linux.sh cmake-min
  local cmake
  cmake=$(bash scripts/cmake-min.sh)
  local build=out/build/cmake-min
  # The projects in the tree (fuzz/, the package consumer) ask for the same
  # minimum as the top one, the one place that states it.
  local min stray
  min=$(sed -n 's/^cmake_minimum_required(VERSION \([0-9.]*\)).*/\1/p' CMakeLists.txt)
  stray=$(git ls-files '*CMakeLists.txt' | xargs grep -H '^cmake_minimum_required' |
    grep -v "VERSION $min)" || true)
  if [ -n "$stray" ]; then
    echo "cmake-min: not the project's minimum ($min):" >&2
    echo "$stray" >&2
    exit 1
  fi
  echo "=== cmake-min: $("$cmake" --version | head -n 1): configure, build, test"
  rm -rf "$build"
  "$cmake" -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_BUILD_BENCH=OFF
  "$cmake" --build "$build" -j "$jobs"
  # ctest of that version has no --test-dir.
  (cd "$build" && "$(dirname "$cmake")/ctest" --output-on-failure --no-tests=error -j "$jobs")
}

# A Windows leg that cannot run its programs on this machine exits 77: it is
# counted and named as skipped, never as passed.
skipped=()
for leg in "${legs[@]}"; do
  case "$leg" in
    linux-asan | linux-rev10 | linux) linux_leg "$leg" ;;
    package) package_leg ;;
    cmake-min) cmake_min_leg ;;
    win32 | win64)
      rc=0
      bash .ci/windows-leg.sh "$leg" || rc=$?
      if [ "$rc" -eq 77 ]; then
        skipped+=("$leg")
      elif [ "$rc" -ne 0 ]; then
        exit "$rc"
      fi
      ;;
    fuzz) bash scripts/fuzz.sh "${KORVANE_FUZZ_SECONDS:-60}" ;;
    valgrind) bash scripts/valgrind.sh ;;
    *) echo "unknown leg '$leg'" >&2; exit 2 ;;
  esac
done
passed=$((${#legs[@]} - ${#skipped[@]}))
if [ ${#skipped[@]} -gt 0 ]; then
  echo "=== legs skipped (could not run here): ${skipped[*]}"
  echo "legs: $passed passed, 0 failed, ${#skipped[@]} skipped"
else
  echo "=== all legs passed: ${legs[*]}"
  echo "legs: $passed passed, 0 failed"
fi
