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
