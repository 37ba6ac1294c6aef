#!/usr/bin/env bash
# The main job: installs what is missing, builds the library and the
# korvane tool (Linux, revision 1.1), and verifies the bundled sample disc
# with `korvane demo`.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/setup-linux.sh
cmake --preset linux -DKORVANE_BUILD_TESTS=OFF >/dev/null
cmake --build --preset linux -j "${KORVANE_JOBS:-2}" --target korvane
exec out/build/linux/bin/korvane demo "$@"
