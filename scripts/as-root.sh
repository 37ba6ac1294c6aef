#!/usr/bin/env bash
# Runs one command as root: directly when root, through sudo when it is
# there; otherwise prints the command to run as root and exits 1.
#   bash scripts/as-root.sh apt-get install -y ninja-build
set -euo pipefail

if [ $# -eq 0 ]; then
  echo "usage: $0 command [argument...]" >&2
  exit 2
fi
if [ "$(id -u)" -eq 0 ]; then
  exec "$@"
fi
if command -v sudo >/dev/null 2>&1; then
  exec sudo -- "$@"
fi
# Each word as the shell reads it back: quoted when it has more than
# letters, digits and ./:=_+@,-
line=
for word in "$@"; do
  case "$word" in
    '' | *[!A-Za-z0-9./:=_+@,-]*) word="'${word//\'/\'\\\'\'}'" ;;
  esac
  line+=" $word"
done
{
  echo "not root and no sudo: run this as root, then start again:"
  echo " $line"
} >&2
exit 1
