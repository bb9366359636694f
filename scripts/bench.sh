#!/usr/bin/env bash
# Builds velor-bench and runs it: the program polling the module simulator on loopback
# against a bare Qt widgets program with the same two timers. About 50 s.
#   bash scripts/bench.sh [--seconds 20] [--unit kalu|tev|tevw|tew|mokr] [--interval 100]
#   bash scripts/bench.sh --sweep-only   # the module finder's full sweep alone (<= 30 s)
#   bash scripts/bench.sh --scan-only    # the main window's address scan alone
# Exit code 2 when a target (CPU and memory <= 1.5x the floor, >= 98 % of the ideal poll
# rate) is missed.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${VELOR_BENCH_BUILD:-build-bench}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$dir" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DVELOR_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j "$(nproc)" --target velor-bench velor-modsim
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$dir/tools/bench/velor-bench" "$@"
