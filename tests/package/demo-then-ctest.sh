#!/usr/bin/env bash
# A new user's first steps on a fresh copy of the sources: `bash
# scripts/demo.sh`, then the README's build commands. The demo's settings
# (no tests) must not reach the linux preset, whose ctest must then run tests.
#   bash tests/package/demo-then-ctest.sh <work folder>
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$1
rm -rf "$work" && mkdir -p "$work"
work=$(cd "$work" && pwd)
# The sources as a clone has them: tracked and new files, nothing built.
(cd "$root" && git ls-files -z --cached --others --exclude-standard) |
  (cd "$root" && xargs -0 tar -cf - --no-recursion) | tar -xf - -C "$work"

cd "$work"
bash scripts/demo.sh >demo.log 2>&1 || { cat demo.log >&2; echo "demo-then-ctest: demo.sh failed" >&2; exit 1; }
cmake --preset linux >configure.log 2>&1 || { cat configure.log >&2; exit 1; }
grep -q '^KORVANE_BUILD_TESTS:BOOL=ON$' out/build/linux/CMakeCache.txt ||
  { echo "demo-then-ctest: the linux preset's folder has tests off" >&2; exit 1; }
# Every test program is registered; one small one is built and its cases
# run through the preset (building all of them again is the linux legs' work).
listed=$(ctest --preset linux -N | sed -n 's/^Total Tests: //p')
cmake --build --preset linux -j "${KORVANE_JOBS:-2}" --target korvane_string_tests >build.log 2>&1 ||
  { cat build.log >&2; exit 1; }
ctest --preset linux -L string >ctest.log 2>&1 || { cat ctest.log >&2; exit 1; }
ran=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\)$/\1/p' ctest.log)
if ! [ "${listed:-0}" -gt 0 ] || ! [ "${ran:-0}" -gt 0 ]; then
  cat ctest.log >&2
  echo "demo-then-ctest: after demo.sh, ctest --preset linux listed ${listed:-0} and ran ${ran:-0} tests" >&2
  exit 1
fi
echo "demo-then-ctest: after demo.sh, ctest --preset linux lists $listed programs' tests and ran $ran string tests"
