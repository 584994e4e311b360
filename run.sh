#!/usr/bin/env bash
# Installs what is missing, builds and starts Tresorin: ./run.sh [FILE.pass]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
# Without a display the window cannot open: say so before spending minutes on the build.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "run.sh: no graphical display was found (DISPLAY and WAYLAND_DISPLAY are not set): run it from a" \
        "desktop session, under a virtual display with \"xvfb-run -a ./run.sh\", or build with" \
        "\"./test.sh --fast\" and use \"build/src/tresorin-cli --help\" for the command-line tool." >&2
    exit 1
fi
"$here/tools/deps.sh" build
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$here/build" -j "$(nproc 2>/dev/null || echo 2)"
if [ -x "$here/build/src/tresorin" ]; then
    exec "$here/build/src/tresorin" "$@"
fi
exec "$here/build/src/tresorin-cli" --help
