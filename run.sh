#!/usr/bin/env bash
# Installs what is missing, builds and starts Tresorin: ./run.sh [FILE.pass]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/tools/deps.sh" build
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$here/build" -j "$(nproc 2>/dev/null || echo 2)"
if [ -x "$here/build/src/tresorin" ]; then
    exec "$here/build/src/tresorin" "$@"
fi
exec "$here/build/src/tresorin-cli" --help
