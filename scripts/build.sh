#!/usr/bin/env bash
# Configures and builds into ./build (or $BUILD_DIR). Extra arguments go to CMake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"
# CI treats warnings as errors; elsewhere the build folder keeps what it was configured with.
WERROR=()
if [ "${CI:-}" = "true" ]; then WERROR=(-DARV_WERROR=ON); fi
GEN=()
if command -v ninja >/dev/null && [ ! -f "$BUILD_DIR/Makefile" ]; then GEN=(-G Ninja); fi
cmake -S . -B "$BUILD_DIR" "${GEN[@]}" "${WERROR[@]}" "$@"
cmake --build "$BUILD_DIR" --parallel "$(nproc)"
