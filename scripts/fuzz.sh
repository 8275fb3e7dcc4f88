#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ (clang, libFuzzer, ASan + UBSan) into build-fuzz and runs
# each for SECONDS (30 by default), starting from its seed corpus fuzz/corpus/<target>/.
#   scripts/fuzz.sh [seconds] [target ...]
# Inputs that found new paths collect in build-fuzz/fuzz/work/<target>/ (kept between runs);
# a finding stops that target, is saved in build-fuzz/fuzz/findings/<target>/ and makes the
# script fail. To keep a finding as a regression input, copy it into fuzz/corpus/<target>/:
# the normal test suite replays the corpus (tests labelled fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
RUN_SECONDS="${1:-30}"
shift || true
BUILD_DIR="${FUZZ_BUILD_DIR:-build-fuzz}"
bash scripts/install-deps.sh --fuzz

WERROR=()
if [ "${CI:-}" = "true" ]; then WERROR=(-DARV_WERROR=ON); fi
GEN=()
if command -v ninja >/dev/null && [ ! -f "$BUILD_DIR/Makefile" ]; then GEN=(-G Ninja); fi
cmake -S . -B "$BUILD_DIR" "${GEN[@]}" "${WERROR[@]}" -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DARV_FUZZ=ON -DARV_BUILD_TESTS=OFF -DARV_BUILD_BENCH=OFF
cmake --build "$BUILD_DIR" --target arv_fuzzers --parallel "$(nproc)"

if [ $# -gt 0 ]; then
    TARGETS=("$@")
else
    mapfile -t TARGETS <"$BUILD_DIR/fuzz/fuzzers.txt"
fi
failed=()
for t in "${TARGETS[@]}"; do
    [ -n "$t" ] || continue
    work="$BUILD_DIR/fuzz/work/$t"
    findings="$BUILD_DIR/fuzz/findings/$t"
    log="$BUILD_DIR/fuzz/$t.log"
    mkdir -p "$work" "$findings"
    dict=()
    if [ -f "fuzz/$t.dict" ]; then dict=(-dict="fuzz/$t.dict"); fi
    echo "== $t: ${RUN_SECONDS} s"
    if "$BUILD_DIR/fuzz/$t" -max_total_time="$RUN_SECONDS" -timeout=10 -rss_limit_mb=2048 \
        -max_len=4096 -print_final_stats=1 -artifact_prefix="$findings/" "${dict[@]}" \
        "$work" "fuzz/corpus/$t" >"$log" 2>&1; then
        grep -E "^stat::number_of_executed_units|^stat::new_units_added|^stat::peak_rss_mb|^Done" \
            "$log" || true
    else
        echo "!! $t found a fault (saved in $findings/):"
        tail -n 60 "$log"
        failed+=("$t")
    fi
done
# The closing line in the form test runners use.
echo "fuzz: $((${#TARGETS[@]} - ${#failed[@]})) passed, ${#failed[@]} failed"
if [ ${#failed[@]} -gt 0 ]; then
    echo "findings in ${failed[*]}"
    exit 1
fi
