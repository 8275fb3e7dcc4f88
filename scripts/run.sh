#!/usr/bin/env bash
# Installs what is missing, builds, and starts ARV Manager with the simulated unit opened.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
exec ./build/app/arv-manager --demo "$@"
