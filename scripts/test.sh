#!/usr/bin/env bash
# Builds and runs the whole test suite under Xvfb (the OpenGL views need a real GL context).
# Extra arguments go to ctest, for example: scripts/test.sh -R tst_protocol  or  -L unit
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
cd "${BUILD_DIR:-build}"
exec xvfb-run -a -s "-screen 0 1600x1000x24" ctest --output-on-failure "$@"
