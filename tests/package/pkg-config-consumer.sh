#!/usr/bin/env bash
# A host built as a Make or Meson project builds it: g++ with nothing but
# the flags `pkg-config --cflags --libs korvane` gives, against an installed
# tree that has been moved since it was installed. Then runs it.
#   bash tests/package/pkg-config-consumer.sh <install prefix> <work folder>
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
prefix=$(cd "$1" && pwd)
work=$2
rm -rf "$work" && mkdir -p "$work"

pcdir=$(dirname "$(ls "$prefix"/lib*/pkgconfig/korvane.pc)")
export PKG_CONFIG_PATH=$pcdir
# Nothing of the build machine may leak in: every flag names the moved tree.
flags=$(pkg-config --cflags --libs korvane)
echo "pkg-config: $flags"
for word in $flags; do
  case "$word" in
    -I* | -L*) case "${word:2}" in "$prefix"/*) ;; *) echo "flag outside $prefix: $word" >&2; exit 1 ;; esac ;;
  esac
done
libdir=$(pkg-config --variable=libdir korvane)
# shellcheck disable=SC2086 # the flags are words
g++ -std=c++17 -Wall -Wextra -Werror -o "$work/consumer" "$here/consumer.cpp" $flags "-Wl,-rpath,$libdir"
"$work/consumer"
# Without UNICODE the header stops the build, and says why.
flags_ansi=$(sed 's/-D_\?UNICODE//g' <<<"$flags")
# shellcheck disable=SC2086
if g++ -std=c++17 -fsyntax-only "$here/consumer.cpp" $flags_ansi 2>"$work/ansi.txt"; then
  echo "consumer.cpp compiled without UNICODE" >&2
  exit 1
fi
grep -q 'Korvane.h needs UNICODE' "$work/ansi.txt" || { cat "$work/ansi.txt" >&2; exit 1; }
# The flat C interface: a C90 program with nothing but korvanehost's flags.
printf '#include <KorvaneHost.h>\nint main(void) { KorvaneHostDestroy(KorvaneHostCreate()); return 0; }\n' >"$work/host.c"
# shellcheck disable=SC2046
gcc -std=c90 -Wall -Wextra -Wpedantic -Werror -o "$work/host-c" "$work/host.c" $(pkg-config --cflags --libs korvanehost) "-Wl,-rpath,$libdir"
"$work/host-c"
echo "pkg-config: no build without UNICODE; a C90 host links korvanehost"
