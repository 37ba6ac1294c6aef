#!/usr/bin/env bash
# Makes the project's minimum CMake (cmake_minimum_required of CMakeLists.txt)
# available without installing it: Debian's own package of that version,
# fetched from the Debian mirror and unpacked into out/tools. Prints the path
# of a cmake that runs it (ctest beside it).
#   "$(bash scripts/cmake-min.sh)" --version
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
min=$(sed -n 's/^cmake_minimum_required(VERSION \([0-9.]*\)).*/\1/p' "$root/CMakeLists.txt")
mirror=${KORVANE_DEBIAN_MIRROR:-http://deb.debian.org/debian}
arch=$(dpkg --print-architecture)

# The Debian release that shipped each minimum, and the libraries it needs
# that Debian 12 no longer has.
case "$min" in
  3.18)
    version=3.18.4-2+deb11u1
    debs=("pool/main/c/cmake/cmake_${version}_$arch.deb"
          "pool/main/c/cmake/cmake-data_${version}_all.deb"
          "pool/main/libj/libjsoncpp/libjsoncpp24_1.9.4-4_$arch.deb")
    ;;
  *)
    echo "cmake-min.sh: no Debian package named for CMake $min; add it here" >&2
    exit 1
    ;;
esac

tools=$root/out/tools/cmake-$version
if [ ! -x "$tools/bin/cmake" ]; then
  rm -rf "$tools.part"
  mkdir -p "$tools.part/debs"
  for deb in "${debs[@]}"; do
    curl -fsSL --retry 3 -o "$tools.part/debs/${deb##*/}" "$mirror/$deb" >&2
    dpkg-deb -x "$tools.part/debs/${deb##*/}" "$tools.part/root"
  done
  mkdir -p "$tools.part/bin"
  # Wrappers: the unpacked libraries first; cmake finds its modules from its
  # own place (../share/cmake-<version>).
  for tool in cmake ctest cpack; do
    cat >"$tools.part/bin/$tool" <<WRAPPER
#!/bin/sh
LD_LIBRARY_PATH="$tools/root/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || echo x86_64-linux-gnu)\${LD_LIBRARY_PATH:+:\$LD_LIBRARY_PATH}"
export LD_LIBRARY_PATH
exec "$tools/root/usr/bin/$tool" "\$@"
WRAPPER
    chmod +x "$tools.part/bin/$tool"
  done
  rm -rf "$tools.part/debs" "$tools"
  mv "$tools.part" "$tools"
fi

found=$("$tools/bin/cmake" --version | head -n 1)
case "$found" in
  "cmake version $min".*) ;;
  *) echo "cmake-min.sh: $tools/bin/cmake is '$found', not $min" >&2; exit 1 ;;
esac
echo "$tools/bin/cmake"
