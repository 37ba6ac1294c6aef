#!/usr/bin/env bash
# The main job: installs what is missing (a compiler, CMake, Ninja), builds
# the library and the korvane tool (Linux, revision 1.1) in a build folder
# of its own, out/build/demo, and verifies the bundled sample disc with
# `korvane demo`. The presets' folders keep their own settings.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/setup-linux.sh demo
build=out/build/demo
# The plain path, not a preset: it works with the project's minimum CMake.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKORVANE_BUILD_TESTS=OFF -DKORVANE_INSTALL=OFF >/dev/null
cmake --build "$build" -j "${KORVANE_JOBS:-2}" --target korvane
exec "$build/bin/korvane" demo "$@"
