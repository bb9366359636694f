#!/usr/bin/env bash
# Command two: builds everything and runs every test, then the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, then each fuzz target for a bounded time.
#   VELOR_LONG=1      long mode: the soak runs for minutes instead of seconds
#   VELOR_FUZZ_SECONDS=N  seconds per fuzz target (default 30)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

jobs=$(nproc)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1

echo "== Layering (scripts/check-layering.sh)"
bash scripts/check-layering.sh

echo "== Build and test (build/)"
cmake -S . -B build -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Debug -DVELOR_BUILD_TESTS=ON >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build -j "$jobs" --timeout 600

echo "== Build and test under ASan/UBSan with clang (build-asan/)"
cmake -S . -B build-asan -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
    -DVELOR_SANITIZE=ON -DVELOR_FUZZ=ON -DVELOR_BUILD_TESTS=ON >/dev/null
cmake --build build-asan -j "$jobs"
# LeakSanitizer is on; scripts/lsan.supp holds what libraries we do not own keep until exit.
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0 \
    UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build-asan -j "$jobs" --timeout 900
echo "LeakSanitizer on (detect_leaks=1, suppressions in scripts/lsan.supp): no leaks"

echo "== Fuzz targets"
bash scripts/fuzz.sh "${VELOR_FUZZ_SECONDS:-30}"
echo "== All tests passed"
