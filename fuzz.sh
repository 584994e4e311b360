#!/usr/bin/env bash
# Builds the fuzz targets under AddressSanitizer and UndefinedBehaviorSanitizer (the sanitizer
# build of test.sh, in build-asan/ or TRESORIN_ASAN_BUILD_DIR) and runs every target for SECONDS
# (default 60) over its seeds (fuzz/seeds/<target>/) and its growing corpus in the build folder.
# Fails when any target finds a crash, a leak, a time-out or a broken check; the reproducer is
# then in BUILD/fuzz/artifacts/. Keep it as a regression input: copy it into fuzz/seeds/<target>/.
#   ./fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")"
seconds=${1:-60}
case "$seconds" in
    '' | *[!0-9]*) echo "usage: $0 [SECONDS]" >&2; exit 2 ;;
esac
asan_dir=${TRESORIN_ASAN_BUILD_DIR:-build-asan}
jobs=$(nproc 2>/dev/null || echo 2)

tools/deps.sh sanitize
cmake -S . -B "$asan_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_COMPILER=clang++ -DTRESORIN_SANITIZE=ON -DTRESORIN_FUZZ=ON -DTRESORIN_PACKAGING=OFF >/dev/null
targets=()
for source in fuzz/fuzz_*.cpp; do
    name=$(basename "$source" .cpp)
    targets+=("$name")
done
cmake --build "$asan_dir" -j "$jobs" --target "${targets[@]}"

artifacts="$asan_dir/fuzz/artifacts"
mkdir -p "$artifacts"
failed=()
for name in "${targets[@]}"; do
    corpus="$asan_dir/fuzz/corpus_$name"
    mkdir -p "$corpus"
    log="$asan_dir/fuzz/$name.log"
    echo "== $name: ${seconds}s"
    if ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$asan_dir/fuzz/$name" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -max_len=8192 \
        -print_final_stats=1 -artifact_prefix="$artifacts/$name-" "$corpus" "fuzz/seeds/$name" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log")
        echo "   ${runs:-?} runs, peak ${rss:-?} MB, corpus $(ls "$corpus" | wc -l) inputs: clean"
    else
        failed+=("$name")
        tail -n 40 "$log"
        echo "$name FOUND A FAULT (log: $log; reproducer in $artifacts/)"
    fi
done
if ((${#failed[@]})); then
    echo "fuzz.sh: faults found by: ${failed[*]}"
    exit 1
fi
echo "fuzz.sh: ${#targets[@]} targets clean, ${seconds}s each, done in ${SECONDS}s"
