#!/usr/bin/env bash
# Installs what is missing, builds and runs every test through ctest.
#   ./test.sh             normal build (build/), then the sanitizer build with fuzz runs (build-asan/)
#   ./test.sh --fast      normal build only
#   ./test.sh --sanitize  sanitizer build only (AddressSanitizer + UndefinedBehaviorSanitizer, clang)
set -euo pipefail
cd "$(dirname "$0")"
mode=all
case "${1:-}" in
    --fast) mode=fast ;;
    --sanitize) mode=sanitize ;;
    "") ;;
    *) echo "usage: $0 [--fast|--sanitize]" >&2; exit 2 ;;
esac
jobs=$(nproc 2>/dev/null || echo 2)

if [ "$mode" != fast ]; then tools/deps.sh sanitize; else tools/deps.sh test; fi

if [ "$mode" != sanitize ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build -j "$jobs"
    (cd build && ctest --output-on-failure -j "$jobs")
fi

if [ "$mode" != fast ]; then
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_CXX_COMPILER=clang++ -DTRESORIN_SANITIZE=ON -DTRESORIN_FUZZ=ON >/dev/null
    cmake --build build-asan -j "$jobs"
    # Qt's own libraries are not instrumented and keep caches alive until exit: leak reports
    # there would be noise; the fuzz tests turn leak detection back on for our code.
    (cd build-asan && ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --output-on-failure -j "$jobs")
fi
