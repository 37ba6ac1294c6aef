#!/usr/bin/env bash
# Times korvane against the tools people would otherwise use, on the same
# files, all in the page cache, in one run, and measures how a run scales
# with the number of entries (time and memory). Prints the ratios at the end.
#
#   bash bench/compare.sh            about a minute and a half once built and
#                                    the inputs exist (the first run builds and
#                                    makes them: a few minutes more)
#   bash bench/compare.sh --quick    fewer runs, no million-entry run
#   bash bench/compare.sh --copy     the copy comparisons alone (compare, check)
#   bash bench/compare.sh --image    the disc image comparisons alone
#
# Inputs are generated under out/bench/ (about 2.3 GB, kept for the next run);
# a Release build goes to out/build/bench-release. Installs what it needs
# when missing (scripts/setup-linux.sh bench). KORVANE_JOBS sets the build's -j (2).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/out/build/bench-release
work=$root/out/bench
results=$work/results
jobs=${KORVANE_JOBS:-2}
# Tracing off, as a host runs it.
unset ZRLOG_FILE
case $root in *[[:space:]]*)
  echo "compare.sh: the commands are timed without a shell; $root must not hold spaces" >&2
  exit 1 ;;
esac
quick=0
copy_only=0
[ "${1:-}" = --quick ] && quick=1
[ "${1:-}" = --copy ] && copy_only=1
image_only=0
[ "${1:-}" = --image ] && image_only=1
if [ $quick = 1 ]; then runs=3; else runs=7; fi

# --- tools -------------------------------------------------------------------
bash "$root/scripts/setup-linux.sh" bench

# --- build -------------------------------------------------------------------
echo "=== Release build in $build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVANE_BUILD_BENCH=ON \
  -DKORVANE_BUILD_TESTS=OFF -DKORVANE_INSTALL=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target korvane korvane_bench_walk korvane_bench_host >/dev/null
korvane=$build/bin/korvane
mkdir -p "$work" "$results"
benchfiles=$work/BenchFiles
if [ ! -x "$benchfiles" ] || [ "$root/bench/compare/BenchFiles.c" -nt "$benchfiles" ]; then
  cc -O2 -std=c11 -Wall -Wextra -o "$benchfiles" "$root/bench/compare/BenchFiles.c"
fi

# median NAME COMMAND-NAME: seconds
median() { awk -F, -v n="$2" '$1 == n { print $4 }' "$results/$1.csv"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
verdict() { awk -v v="$1" -v op="$2" -v t="$3" 'BEGIN { ok = op == ">=" ? v >= t : v <= t; print ok ? "met" : "MISSED" }'; }
# time_set NAME -n CMDNAME CMD ...: hyperfine over the named commands; its CSV
# goes to results/NAME.csv.
time_set() {
  local name=$1
  shift
  echo "=== $name"
  # A command that fails (a run that does not verify) stops the script.
  if ! hyperfine -N --warmup 2 --runs "$runs" --style basic --export-csv "$results/$name.csv" "$@" \
    >"$results/$name.log" 2>&1; then
    cat "$results/$name.log" >&2
    echo "compare.sh: a command of '$name' failed" >&2
    exit 1
  fi
  grep -E '^(Benchmark|  Time)' "$results/$name.log" || true
}

# --- a copied tree ------------------------------------------------------------
# 5,000 real files (the first ones of /usr/include), a copy of them, and their
# manifest as sha256sum writes it; korvane compare against diff -rq and a
# checksumming rsync dry run, korvane check against sha256sum -c.
copies=$work/copy
copy_count=5000
if [ ! -s "$copies/manifest.sha256" ] || [ "$(wc -l <"$copies/manifest.sha256")" != $copy_count ]; then
  echo "=== copying $copy_count files of /usr/include"
  rm -rf "$copies" && mkdir -p "$copies/src" "$copies/copy"
  (cd / && find usr/include -type f | sort | awk -v n=$copy_count 'NR <= n' | xargs -d '\n' cp --parents -p -t "$copies/src")
  cp -a "$copies/src/." "$copies/copy/"
  (cd "$copies/copy" && find . -type f -print0 | sort -z | xargs -0 sha256sum >"$copies/manifest.sha256")
fi
copy_timings() {
  find "$copies" -type f -exec cat {} + >/dev/null
  time_set copy-compare \
    -n korvane "$korvane compare --quiet $copies/src/ $copies/copy" \
    -n diff "diff -rq $copies/src $copies/copy" \
    -n rsync "rsync -rc --dry-run $copies/src/ $copies/copy/"
  time_set copy-check \
    -n korvane "$korvane check --quiet $copies/manifest.sha256 --root $copies/copy" \
    -n sha256sum "sh -c 'cd $copies/copy && sha256sum -c --quiet $copies/manifest.sha256'"
  local kc dc rc kk sk s
  kc=$(median copy-compare korvane); dc=$(median copy-compare diff); rc=$(median copy-compare rsync)
  kk=$(median copy-check korvane); sk=$(median copy-check sha256sum)
  {
  s=$(ratio "$kc" "$dc")
  printf '%-58s %8s  %s\n' "korvane compare / diff -rq, $copy_count files" "$s" "<= 1.00: $(verdict "$s" '<=' 1.0)"
  s=$(ratio "$kc" "$rc")
  printf '%-58s %8s  %s\n' "korvane compare / rsync -rc --dry-run, $copy_count files" "$s" "<= 0.50: $(verdict "$s" '<=' 0.5)"
  s=$(ratio "$kk" "$sk")
  printf '%-58s %8s  %s\n' "korvane check / sha256sum -c, $copy_count files" "$s" "<= 0.70: $(verdict "$s" '<=' 0.7)"
  printf 'Medians: compare %.3f s, diff -rq %.3f s, rsync %.3f s; check %.3f s, sha256sum -c %.3f s\n' \
    "$kc" "$dc" "$rc" "$kk" "$sk"
  } >"$results/copy.txt"
}
if [ $copy_only = 1 ]; then
  load_before=$(cut -d' ' -f1-3 /proc/loadavg)
  copy_timings
  cat "$results/copy.txt"
  echo "load average $load_before before, $(cut -d' ' -f1-3 /proc/loadavg) after" | tee -a "$results/copy.txt"
  exit 0
fi

# --- inputs ------------------------------------------------------------------
big=$work/big
small=$work/small
same=$work/same
small_count=20000
if [ "$(stat -c %s "$big/disc/big/big.bin" 2>/dev/null || echo 0)" != 1073741824 ]; then
  echo "=== making the 1 GiB pair"
  rm -rf "$big" && mkdir -p "$big/src/big" "$big/disc/big"
  head -c 1073741824 /dev/urandom >"$big/src/big/big.bin"
  cp "$big/src/big/big.bin" "$big/disc/big/big.bin"
fi
# The description as the tool writes it: one file entry.
"$korvane" describe --force --number 1 --out "$big" --target '\big' "$big/src/big/big.bin" >/dev/null
if [ ! -s "$small/files.txt" ] || [ "$(wc -l <"$small/files.txt")" != $((2 * small_count)) ]; then
  echo "=== making $small_count pairs of 1 KiB files"
  rm -rf "$small"
  "$benchfiles" pairs "$small" $small_count 1024
fi
# The same tree once more as one folder entry, as the tool describes a folder.
"$korvane" describe --force --number 3 --out "$small" --target '\' "$small/src/small" >/dev/null
[ $image_only = 1 ] || for n in 20000 200000; do
  [ -s "$same/Media$n.xml" ] || "$benchfiles" same "$same" $n
done

# The disc trees as images, as a burning program would write them.
for tree in "$big" "$small"; do
  if [ ! -s "$tree/disc.iso" ] || [ -n "$(find "$tree/disc" -newer "$tree/disc.iso" -print -quit)" ]; then
    echo "=== making $tree/disc.iso"
    xorriso -as mkisofs -quiet -R -J -iso-level 3 -o "$tree/disc.iso" "$tree/disc"
  fi
done

# Into the page cache.
cat "$big/src/big/big.bin" "$big/disc/big/big.bin" "$big/disc.iso" "$small/disc.iso" >/dev/null
"$benchfiles" list "$small/files.txt"

load_before=$(cut -d' ' -f1-3 /proc/loadavg)

# --- timings -----------------------------------------------------------------
verify_big="$korvane verify --drive E --xml $big/Media1.xml --on-error fail --map E=$big/disc"
verify_small="$korvane verify --drive E --xml $small/Media2.xml --on-error fail --map E=$small/disc"
# Hyperfine stops at a non-zero exit code; these say what was checked too.
check_run() {
  local what=$1 files=$2
  shift 2
  "$korvane" verify "$@" 2>/dev/null >"$results/check.out" || true
  grep -q 'S_OK' "$results/check.out" && grep -qE "files checked: +$files\b" "$results/check.out" ||
    { cat "$results/check.out" >&2; echo "compare.sh: $what did not verify $files files" >&2; exit 1; }
}
# The same verifications with the drive mapped to the image of the disc tree.
image_timings() {
  time_set image-big \
    -n folder "$verify_big" \
    -n image "$korvane verify --drive E --xml $big/Media1.xml --on-error fail --map E=$big/disc.iso"
  time_set image-small \
    -n folder "$verify_small" \
    -n image "$korvane verify --drive E --xml $small/Media2.xml --on-error fail --map E=$small/disc.iso"
  {
  s=$(ratio "$(median image-big image)" "$(median image-big folder)")
  printf '%-58s %8s  %s\n' "verify, 1 GiB file in an ISO image / in a folder" "$s" "<= 1.15: $(verdict "$s" '<=' 1.15)"
  s=$(ratio "$(median image-small image)" "$(median image-small folder)")
  printf '%-58s %8s  %s\n' "verify, 20,000 files in an ISO image / in a folder" "$s" "<= 1.50: $(verdict "$s" '<=' 1.5)"
  printf 'Medians: 1 GiB folder %.3f s, image %.3f s; 20,000 files folder %.3f s, image %.3f s\n' \
    "$(median image-big folder)" "$(median image-big image)" "$(median image-small folder)" "$(median image-small image)"
  } >"$results/image.txt"
}
if [ $image_only = 1 ]; then
  check_run "the 1 GiB image" 1 --drive E --xml "$big/Media1.xml" --on-error fail --map E="$big/disc.iso"
  check_run "the small pairs' image" $small_count --drive E --xml "$small/Media2.xml" --on-error fail --map E="$small/disc.iso"
  image_timings
  cat "$results/image.txt"
  echo "load average $load_before before, $(cut -d' ' -f1-3 /proc/loadavg) after" | tee -a "$results/image.txt"
  exit 0
fi
time_set checksum \
  -n korvane "$korvane checksum $big/src/big/big.bin" \
  -n cksum "cksum $big/src/big/big.bin" \
  -n read16k "$benchfiles read $big/src/big/big.bin"
time_set verify-big \
  -n korvane "$verify_big" \
  -n cmp "cmp $big/src/big/big.bin $big/disc/big/big.bin"

known=$work/small-known.txt
(cd "$small/src" && hashdeep -c md5 -j0 -l -r small >"$known")
time_set small \
  -n korvane "$verify_small" \
  -n korvane-folder "$korvane verify --drive E --xml $small/Media3.xml --on-error fail --map E=$small/disc" \
  -n host "env KORVANE_DRIVE_E=$small/disc $build/bin/korvane_bench_host E $small/Media2.xml" \
  -n floor "$benchfiles list $small/files.txt" \
  -n cat "sh -c 'find $small/src $small/disc -type f -exec cat {} + >/dev/null'" \
  -n hashdeep "sh -c 'cd $small/src && hashdeep -c md5 -j0 -l -r small >$work/small-hashes.txt && cd $small/disc && hashdeep -c md5 -j0 -l -a -k $work/small-hashes.txt -r small >/dev/null'" \
  -n hashdeep-audit "sh -c 'cd $small/disc && hashdeep -c md5 -j0 -l -a -k $known -r small >/dev/null'"

image_timings

check_run "the 1 GiB pair" 1 --drive E --xml "$big/Media1.xml" --on-error fail --map E="$big/disc"
check_run "the small pairs" $small_count --drive E --xml "$small/Media2.xml" --on-error fail --map E="$small/disc"
check_run "the 1 GiB image" 1 --drive E --xml "$big/Media1.xml" --on-error fail --map E="$big/disc.iso"
check_run "the small pairs' image" $small_count --drive E --xml "$small/Media2.xml" --on-error fail --map E="$small/disc.iso"
check_run "the small folder" $small_count --drive E --xml "$small/Media3.xml" --on-error fail --map E="$small/disc"
# The host that holds no tree: one parse per run (it says so, or fails).
KORVANE_DRIVE_E=$small/disc "$build/bin/korvane_bench_host" E "$small/Media2.xml" 3 | tee "$results/host.txt" ||
  { echo "compare.sh: the host did not verify the small pairs with one parse per run" >&2; exit 1; }

# --- scale -------------------------------------------------------------------
# The whole tool over 20,000 and 200,000 entries naming the same two files:
# time and peak resident size of the process.
declare -A scale_seconds scale_rss
for n in 20000 200000; do
  echo "=== korvane verify, $n entries naming one pair"
  /usr/bin/time -f '%e %M' -o "$results/scale-$n.time" \
    "$korvane" verify --drive E --xml "$same/Media$n.xml" --on-error fail --map E="$same/disc" \
    >"$results/scale-$n.out" 2>/dev/null
  grep -q 'S_OK' "$results/scale-$n.out" || { echo "compare.sh: the $n-entry run failed" >&2; exit 1; }
  read -r scale_seconds[$n] scale_rss[$n] <"$results/scale-$n.time"
done

# The library alone (VerifyBurning through its public interface): time per
# entry, the loaded description's heap per entry, and how much the heap and
# the resident size grow while the entries are walked.
echo "=== korvane_bench_walk"
walk_args=(--benchmark_format=console --benchmark_counters_tabular=true)
[ $quick = 1 ] || walk_args+=(--large)
"$build/bin/korvane_bench_walk" "${walk_args[@]}" --benchmark_out="$results/walk.json" \
  --benchmark_out_format=json 2>/dev/null | tee "$results/walk.txt" | grep -E '^(Benchmark|BM_)' || true
# walk_counter ENTRIES COUNTER
walk_counter() {
  awk -v n="BM_VerifyRun/$1" -v c="\"$2\":" '
    $0 ~ "\"name\": \"" n "[\"/]" { inside = 1 }
    inside && index($0, c) { gsub(/[ ,]/, ""); split($0, kv, ":"); print kv[2]; exit }' "$results/walk.json"
}

copy_timings

load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# --- summary -----------------------------------------------------------------
k_sum=$(median checksum korvane)
c_sum=$(median checksum cksum)
r_sum=$(median checksum read16k)
k_big=$(median verify-big korvane)
c_big=$(median verify-big cmp)
k_small=$(median small korvane)
k_folder=$(median small korvane-folder)
k_host=$(median small host)
f_small=$(median small floor)
cat_small=$(median small cat)
h_small=$(median small hashdeep)
ha_small=$(median small hashdeep-audit)

per_pair_us() { awk -v s="$1" -v n=$small_count 'BEGIN { printf "%.1f", s / n * 1e6 }'; }

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
flags=$(grep -m1 '^flags' /proc/cpuinfo | tr ' ' '\n' | grep -xE 'pclmulqdq|vpclmulqdq|avx2|avx512f' | tr '\n' ' ')
{
echo
echo "Machine: $(nproc) cores, $cpu ($flags), $(awk '/MemTotal/ { printf "%.0f GB", $2 / 1048576 }' /proc/meminfo);"
echo "  Linux $(uname -r), out/bench on $(stat -f -c %T "$work"); load average $load_before before, $load_after after"
echo "Medians of $runs runs each (hyperfine), files in the page cache."
echo
printf '%-58s %8s  %s\n' "comparison" "ratio" "target"
s=$(ratio "$k_sum" "$c_sum")
printf '%-58s %8s  %s\n' "korvane checksum / cksum, 1 GiB" "$s" "<= 0.75: $(verdict "$s" '<=' 0.75)"
printf '%-58s %8s\n' "korvane checksum / 16 KiB reads, 1 GiB" "$(ratio "$k_sum" "$r_sum")"
s=$(ratio "$k_big" "$c_big")
printf '%-58s %8s  %s\n' "korvane verify / cmp, 1 GiB pair" "$s" "<= 0.50: $(verdict "$s" '<=' 0.5)"
s=$(ratio "$k_small" "$f_small")
printf '%-58s %8s  %s\n' "korvane verify / open-read-close floor, 20,000 pairs" "$s" "<= 2.00: $(verdict "$s" '<=' 2.0)"
printf '%-58s %8s\n' "korvane verify (one folder entry) / floor, 20,000 pairs" "$(ratio "$k_folder" "$f_small")"
s=$(ratio "$k_host" "$k_small")
printf '%-58s %8s  %s\n' "host holding no tree / korvane verify, 20,000 pairs" "$s" "<= 1.10: $(verdict "$s" '<=' 1.1)"
head -2 "$results/image.txt"
printf '%-58s %8s\n' "korvane verify / find -exec cat, 20,000 pairs" "$(ratio "$k_small" "$cat_small")"
printf '%-58s %8s\n' "korvane verify / hashdeep both trees, 20,000 pairs" "$(ratio "$k_small" "$h_small")"
printf '%-58s %8s\n' "korvane verify / hashdeep audit of the disc tree alone" "$(ratio "$k_small" "$ha_small")"
cat "$results/copy.txt"
echo
echo "Per pair (both files): korvane $(per_pair_us "$k_small") us, folder entry $(per_pair_us "$k_folder") us," \
  "floor $(per_pair_us "$f_small") us, cat $(per_pair_us "$cat_small") us, hashdeep $(per_pair_us "$h_small") us"
printf '1 GiB: checksum %.3f s, cksum %.3f s, 16 KiB reads %.3f s; verify %.3f s, cmp %.3f s\n' \
  "$k_sum" "$c_sum" "$r_sum" "$k_big" "$c_big"
echo
echo "Scale, the whole tool (entries naming one pair):"
for n in 20000 200000; do
  awk -v n=$n -v s="${scale_seconds[$n]}" -v kb="${scale_rss[$n]}" \
    'BEGIN { printf "  %7d entries: %6.2f s, %5.1f us per entry, peak RSS %6.1f MB (%.0f B per entry)\n", n, s, s / n * 1e6, kb / 1024, kb * 1024 / n }'
done
s=$(awk -v a="${scale_seconds[200000]}" -v b="${scale_seconds[20000]}" 'BEGIN { printf "%.2f", (a / 200000) / (b / 20000) }')
echo "  per-entry time, 200,000 / 20,000: $s"
echo "Scale, the library alone (korvane_bench_walk):"
sizes="1000 10000 100000"
[ $quick = 1 ] || sizes="$sizes 1000000"
largest=${sizes##* }
for n in $sizes; do
  t=$(walk_counter $n time_per_entry)
  [ -n "$t" ] || continue
  awk -v n=$n -v t="$t" -v w="$(walk_counter $n walk_ns_per_entry)" -v h="$(walk_counter $n heap_loaded_per_entry)" \
    -v g="$(walk_counter $n heap_walk_growth)" -v r="$(walk_counter $n rss_walk_growth)" -v p="$(walk_counter $n rss_peak_mb)" \
    'BEGIN { printf "  %7d entries: %5.1f us per entry (walk %5.1f), description %4.0f B per entry, walk growth heap %d B, RSS %d kB; peak RSS %.0f MB\n", n, t * 1e6, w / 1e3, h, g, r / 1024, p }'
done
t1=$(walk_counter 1000 time_per_entry)
tl=$(walk_counter $largest time_per_entry)
s=$(ratio "$tl" "$t1")
printf '  per-entry time, %d / 1,000: %s (<= 1.50: %s)\n' $largest "$s" "$(verdict "$s" '<=' 1.5)"
} | tee "$results/summary.txt"
