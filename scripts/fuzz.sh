#!/usr/bin/env bash
# Runs the fuzz targets of build-asan/ (built with -DVELOR_FUZZ=ON), each for the given time,
# from its seed corpus (build-asan/fuzz/seeds/<target>/) and the corpus that earlier runs grew
# (build-asan/corpus/<target>/), with the options in fuzz/<target>.options. LeakSanitizer is on.
#   bash scripts/fuzz.sh SECONDS [TARGET...]     (default: every target)
# Prints a line per target with its executions per second; stops at the first target that finds
# a fault, with the end of its log and the input in build-asan/fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:?usage: scripts/fuzz.sh SECONDS [TARGET...]}
shift
bin=build-asan/fuzz
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for f in "$bin"/fuzz_*; do
        [ -f "$f" ] && [ -x "$f" ] && targets+=("$(basename "$f")")
    done
fi
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets in $bin" >&2; exit 1; }

export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1
mkdir -p "$bin/artifacts"

# The options of a target, one per line; "#" starts a comment.
options() {
    local file=fuzz/$1.options
    [ -f "$file" ] && sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$file"
    return 0
}

stat() { sed -n "s/^stat::$1: *//p" "$2"; }

for t in "${targets[@]}"; do
    corpus=build-asan/corpus/$t
    log=$bin/$t.log
    mkdir -p "$corpus"
    mapfile -t opts < <(options "$t")
    if ! "$bin/$t" "${opts[@]}" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$bin/artifacts/$t-" "$corpus" "$bin/seeds/$t" >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "-- $t found a fault (log: $log)"
        exit 1
    fi
    printf -- '-- %-20s %4ss  %9s runs  %6s exec/s  %s\n' "$t" "$seconds" \
        "$(stat number_of_executed_units "$log")" "$(stat average_exec_per_sec "$log")" \
        "$(grep -o 'cov: [0-9]* ft: [0-9]* corp: [0-9]*' "$log" | tail -n 1)"
done
echo "-- fuzz targets clean, LeakSanitizer on"
