#!/usr/bin/env bash
# Installs what is missing, builds and runs every test through ctest.
#   ./test.sh             normal build (build/), then the sanitizer build with fuzz runs (build-asan/)
#   ./test.sh --fast      normal build only
#   ./test.sh --sanitize  sanitizer build only (AddressSanitizer + UndefinedBehaviorSanitizer, clang)
# TRESORIN_BUILD_DIR and TRESORIN_ASAN_BUILD_DIR choose other build folders (one per developer
# when several work in the same tree); TRESORIN_FUZZ_SECONDS the length of each short fuzz run.
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
build_dir=${TRESORIN_BUILD_DIR:-build}
asan_dir=${TRESORIN_ASAN_BUILD_DIR:-build-asan}
# Seconds of each fuzz target's short run (longer runs: ./fuzz.sh); given every time, so that a
# build folder configured with another length follows.
fuzz_seconds=${TRESORIN_FUZZ_SECONDS:-8}

# Tests left out of the sanitizer run, each with the reason; only for a fault inside Qt itself
# that the sanitizers report, never for a fault of ours. Exact test names.
asan_skip=(
)

if [ "$mode" != fast ]; then tools/deps.sh sanitize; else tools/deps.sh test; fi
# Each area includes only the areas its library links.
python3 tools/check-includes.py

if [ "$mode" != sanitize ]; then
    # -g1: backtraces with file and line are all a failing test needs; full debug data doubles the
    # size of what the many test programs compile and link.
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRESORIN_WERROR=ON \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" >/dev/null
    cmake --build "$build_dir" -j "$jobs"
    (cd "$build_dir" && ctest --output-on-failure -j "$jobs")
fi

if [ "$mode" != fast ]; then
    cmake -S . -B "$asan_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_CXX_COMPILER=clang++ -DTRESORIN_SANITIZE=ON -DTRESORIN_FUZZ=ON -DTRESORIN_PACKAGING=OFF -DTRESORIN_WERROR=ON \
        -DTRESORIN_FUZZ_SECONDS="$fuzz_seconds" >/dev/null
    cmake --build "$asan_dir" -j "$jobs"
    exclude=()
    if ((${#asan_skip[@]})); then
        exclude=(-E "^($(IFS='|'; echo "${asan_skip[*]}"))\$")
        echo "Left out of the sanitizer run: ${asan_skip[*]}"
    fi
    # Qt's own libraries are not instrumented and keep caches alive until exit: leak reports
    # there would be noise; the fuzz tests turn leak detection back on for our code.
    (cd "$asan_dir" && ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --output-on-failure -j "$jobs" "${exclude[@]}")
fi
echo "test.sh: done in ${SECONDS}s"
