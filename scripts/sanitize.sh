#!/usr/bin/env bash
# Builds everything the tests need with sanitizers (no benchmarks) into its own folder and runs
# the whole test suite under Xvfb. CI runs it with address,undefined.
#   scripts/sanitize.sh [address,undefined | thread] [ctest arguments...]
#   scripts/sanitize.sh thread -R 'tst_querythread|tst_seriallink|tst_livelink'
# Folder: build-asan or build-tsan (or $BUILD_DIR). Options: -O1 with assertions on.
set -euo pipefail
cd "$(dirname "$0")/.."
KIND="address,undefined"
if [ $# -gt 0 ] && [[ "$1" != -* ]]; then
    KIND="$1"
    shift
fi
case "$KIND" in
thread) DEFAULT_DIR=build-tsan ;;
*) DEFAULT_DIR=build-asan ;;
esac
export BUILD_DIR="${BUILD_DIR:-$DEFAULT_DIR}"
bash scripts/install-deps.sh
bash scripts/build.sh -DARV_SANITIZE="$KIND" -DARV_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS_DEBUG="-g -O1"
cd "$BUILD_DIR"
exec xvfb-run -a -s "-screen 0 1600x1000x24" ctest --output-on-failure "$@"
