#!/usr/bin/env bash
# Builds Release (build-bench/), generates the benchmark documents (fixed seed) and prints the
# performance figures with their floors, ratios and targets. Not part of ./test.sh.
#   ./bench.sh           tresorin's own figures at 1,000, 10,000, 100,000 and 1,000,000 entries
#   ./bench.sh --peer    also the same entries through keepassxc-cli (installed when missing)
#   ./bench.sh --quick   leaves out the 1,000,000-entry document
# TRESORIN_BENCH_DIR chooses another build folder.
set -euo pipefail
cd "$(dirname "$0")"
for a in "$@"; do
    case "$a" in
        --peer|--quick) ;;
        *) echo "usage: $0 [--peer] [--quick]" >&2; exit 2 ;;
    esac
done
tools/deps.sh build
need=(libbenchmark-dev time xvfb openbox)
[[ " $* " == *" --peer "* ]] && need+=(keepassxc)
missing=()
for p in "${need[@]}"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
if ((${#missing[@]})); then
    sudo_cmd=""
    [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" >/dev/null
fi
dir=${TRESORIN_BENCH_DIR:-build-bench}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRESORIN_TESTS=OFF -DTRESORIN_BENCH=ON >/dev/null
cmake --build "$dir" -j "$(nproc 2>/dev/null || echo 2)" --target tresorin-cli bench_gen bench_inprocess bench_window bench_view bench_cipher bench_autotype
/usr/bin/python3 bench/run_bench.py "$dir" "$@"
# What one password guess costs against a stolen file, in each container.
"$dir/bench/bench_cipher" 16
# Auto-type on an X server of its own: shortcut to first key, keys per second.
"$dir/bench/bench_autotype" 10
