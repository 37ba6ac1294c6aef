#!/usr/bin/env bash
# Installs what the Linux build and tests need, when it is missing (Debian 12,
# as root). Safe to run again: it installs nothing that is already there.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
# libssl-dev: the tool's SHA-256 manifests (describe --sums, check) use libcrypto.
for pkg in cmake ninja-build g++ libgtest-dev libgmock-dev googletest libbenchmark-dev libxml2-dev libssl-dev; do
  have_pkg "$pkg" || need+=("$pkg")
done
for pkg in "$@"; do
  have_pkg "$pkg" || need+=("$pkg")
done

if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages and not root: apt-get install ${need[*]}" >&2
    exit 1
  fi
  echo "=== installing ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${need[@]}"
fi
