#!/usr/bin/env bash
# Builds the Debian package of Tresorin in Release: ./package.sh  ->  build-release/tresorin_*.deb
# TRESORIN_RELEASE_DIR chooses another build folder.
set -euo pipefail
cd "$(dirname "$0")"
tools/deps.sh package
dir=${TRESORIN_RELEASE_DIR:-build-release}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRESORIN_TESTS=OFF >/dev/null
cmake --build "$dir" -j "$(nproc 2>/dev/null || echo 2)"
(cd "$dir" && cpack -G DEB)
# Debian's checker: no error and no warning is the rule for this package.
lintian --fail-on error,warning "$dir"/tresorin_*.deb
ls -1 "$dir"/tresorin_*.deb
