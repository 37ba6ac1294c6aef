#!/usr/bin/env bash
# Runs the verifier's test program, and the tool's when it is built, under
# valgrind's memcheck: a plain Linux build (no sanitizers, which valgrind
# cannot run beside) in out/build/valgrind. Fails on any memory error and on
# any definite leak. Installs valgrind when it is missing.
#
#   scripts/valgrind.sh [gtest filter]      e.g. scripts/valgrind.sh 'Driver*'
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build=out/build/valgrind
jobs=${KORVANE_JOBS:-2}
# The SHA-256 manifest tests are left out: OpenSSL's and sha256sum's SHA
# instructions are ones this valgrind cannot run, and ASan covers that code.
filter=${1:-*-ToolManifest.*:ToolCheck.*}

bash scripts/setup-linux.sh valgrind

echo "=== valgrind: configure and build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_SANITIZE=OFF \
  -DKORVANE_BUILD_TESTS=ON -DKORVANE_BUILD_BENCH=OFF >/dev/null
programs=(korvane_verify_tests)
# Read whole before grep looks: grep -q stopping early would fail ninja on
# SIGPIPE, and with pipefail the tool's tests would be left out unseen.
targets=$(ninja -C "$build" -t targets all 2>/dev/null || true)
if grep -q '^korvane_tool_tests:' <<<"$targets"; then
  programs+=(korvane_tool_tests)
fi
cmake --build "$build" -j "$jobs" --target "${programs[@]}"

# Two reports that are not the project's:
# - glibc's vector wmemcmp loads whole vectors past the end of a short
#   string (never past its page) and masks the excess; this valgrind has no
#   replacement for it, so every std::wstring comparison shows as a read out
#   of bounds;
# - GoogleTest prints a test parameter without a PrintTo as raw bytes,
#   padding included, which is uninitialised.
supp=$build/korvane.supp
cat >"$supp" <<'EOF_SUPP'
{
   glibc-vector-wmemcmp-reads-whole-vectors
   Memcheck:Addr32
   fun:__wmemcmp_*
}
{
   glibc-vector-wmemcmp-reads-whole-vectors-16
   Memcheck:Addr16
   fun:__wmemcmp_*
}
{
   gtest-prints-parameter-padding-value
   Memcheck:Value8
   ...
   fun:*PrintBytesInObjectTo*
}
{
   gtest-prints-parameter-padding-cond
   Memcheck:Cond
   ...
   fun:*PrintBytesInObjectTo*
}
EOF_SUPP

failed=()
for program in "${programs[@]}"; do
  log=$build/$program.valgrind.log
  rm -f "$log".*
  echo "=== valgrind: $program (log in $log)"
  # Test programs fork nothing of interest; the tool tests run the tool as a
  # child, which is checked too. sha256sum is not ours, and its SHA
  # instructions are ones this valgrind cannot run.
  if valgrind --error-exitcode=1 --suppressions="$supp" --leak-check=full --errors-for-leak-kinds=definite \
      --show-leak-kinds=definite --trace-children=yes --trace-children-skip="*/sha256sum" --log-file="$log.%p" \
      "$build/bin/$program" --gtest_filter="$filter" --gtest_brief=1; then
    echo "--- $program: no memory errors, no definite leaks"
  else
    failed+=("$program")
    grep -h -A20 -E 'Invalid|uninitialised|definitely lost|Mismatched' "$log".* | head -n 80 || true
  fi
  grep -h 'ERROR SUMMARY' "$log".* | sort | uniq -c
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "=== valgrind: errors in ${failed[*]}" >&2
  exit 1
fi
echo "=== valgrind: clean (${programs[*]})"
