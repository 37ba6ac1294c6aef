#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/, clang with ASan and UBSan) and runs
# each for a while on a copy of its seed corpus, after replaying the saved
# regression inputs. Exits non-zero on any finding; the input that found it
# is kept in out/fuzz/findings/.
#
#   scripts/fuzz.sh [seconds-per-target] [target...]
#       seconds default to 60; targets: xml decimal format verify image (all)
#
# Long run (hours, one target per core, corpus kept between runs):
#   scripts/fuzz.sh 0 xml          # builds only (0 s), then:
#   out/build/fuzz/bin/fuzz_xml -dict=fuzz/xml.dict -timeout=10 -rss_limit_mb=4096 \
#       -max_total_time=14400 -jobs=2 -workers=2 out/fuzz/corpus/xml fuzz/corpus/xml
# New inputs the long run finds accumulate in out/fuzz/corpus/<target>; merge
# the small interesting ones back with -merge=1 into fuzz/corpus/<target>.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(xml decimal format verify image)
build=out/build/fuzz
work=out/fuzz
jobs=${KORVANE_JOBS:-2}

bash scripts/setup-linux.sh fuzz

echo "=== fuzz: configure and build"
cmake -S fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]/#/fuzz_}"

mkdir -p "$work/findings" "$work/tmp"
# The verify target makes its drives below TMPDIR; a finding leaves them behind.
export TMPDIR=$root/$work/tmp
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=()

for target in "${targets[@]}"; do
  exe=$build/bin/fuzz_$target
  args=(-timeout=10 -rss_limit_mb=2048 "-artifact_prefix=$root/$work/findings/$target-")
  [ -f "fuzz/$target.dict" ] && args+=("-dict=fuzz/$target.dict")

  if [ -d "fuzz/regressions/$target" ] && compgen -G "fuzz/regressions/$target/*" >/dev/null; then
    echo "=== fuzz: $target: replaying fuzz/regressions/$target"
    if ! "$exe" "${args[@]}" -runs=1 fuzz/regressions/"$target"/* >"$work/$target-regressions.log" 2>&1; then
      tail -n 40 "$work/$target-regressions.log"
      failed+=("$target (regression)")
      continue
    fi
  fi

  [ "$seconds" -gt 0 ] || continue
  echo "=== fuzz: $target for ${seconds}s"
  rm -rf "$work/corpus/$target"
  mkdir -p "$work/corpus/$target"
  cp fuzz/corpus/"$target"/* "$work/corpus/$target/"
  if "$exe" "${args[@]}" -max_total_time="$seconds" -print_final_stats=1 \
      "$work/corpus/$target" >"$work/$target.log" 2>&1; then
    grep -E '^(Done|stat::number_of_executed_units)' "$work/$target.log" | tail -n 1
  else
    tail -n 60 "$work/$target.log"
    failed+=("$target")
  fi
done
rm -rf "$work/tmp"

if [ ${#failed[@]} -gt 0 ]; then
  echo "=== fuzz: FINDINGS in ${failed[*]}; inputs in $work/findings, logs in $work" >&2
  exit 1
fi
echo "=== fuzz: no findings (${targets[*]})"
