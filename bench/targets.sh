#!/usr/bin/env bash
# The three read targets of bench/compare.sh alone, repeated: each round
# times korvane and its reference side by side (hyperfine, 1 warm-up, 5
# runs each, medians), so that a shared machine's load moves both alike.
# Uses the build and the inputs bench/compare.sh made; prints one line of
# ratios per round and the load average before and after.
#
#   bash bench/targets.sh [rounds]      (3 rounds unless given)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=$root/out/bench
korvane=$root/out/build/bench-release/bin/korvane
benchfiles=$work/BenchFiles
rounds=${1:-3}
unset ZRLOG_FILE
for f in "$korvane" "$benchfiles" "$work/big/Media1.xml" "$work/small/Media2.xml"; do
  [ -e "$f" ] || { echo "targets.sh: $f is missing; run bench/compare.sh first" >&2; exit 1; }
done
big=$work/big
small=$work/small
cat "$big/src/big/big.bin" "$big/disc/big/big.bin" >/dev/null
"$benchfiles" list "$small/files.txt"

# pair NAME KORVANE-COMMAND REFERENCE-COMMAND: korvane's median / the reference's
pair() {
  local csv=$work/results/targets-$1.csv
  hyperfine -N --warmup 1 --runs 5 --style none --export-csv "$csv" -n k "$2" -n r "$3" >/dev/null 2>&1 ||
    { echo "targets.sh: a command of '$1' failed" >&2; exit 1; }
  awk -F, '$1 == "k" { k = $4 } $1 == "r" { r = $4 } END { printf "%.2f", k / r }' "$csv"
}

mkdir -p "$work/results"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-6s %18s %18s %22s\n' round "checksum/cksum" "verify/cmp" "small pairs/floor"
printf '%-6s %18s %18s %22s\n' "" "(<= 0.75)" "(<= 0.50)" "(<= 2.00)"
for ((i = 1; i <= rounds; ++i)); do
  a=$(pair checksum "$korvane checksum $big/src/big/big.bin" "cksum $big/src/big/big.bin")
  b=$(pair verify-big "$korvane verify --drive E --xml $big/Media1.xml --on-error fail --map E=$big/disc" \
    "cmp $big/src/big/big.bin $big/disc/big/big.bin")
  c=$(pair small "$korvane verify --drive E --xml $small/Media2.xml --on-error fail --map E=$small/disc" \
    "$benchfiles list $small/files.txt")
  printf '%-6s %18s %18s %22s\n' "$i" "$a" "$b" "$c"
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
