#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing ARV Manager need.
#   --fuzz   also clang and its runtime libraries (libFuzzer, sanitizers) for scripts/fuzz.sh
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
PACKAGES=(
    build-essential cmake ninja-build pkg-config
    qtbase5-dev libqt5serialport5-dev libqt5datavisualization5-dev libqt5opengl5-dev
    libqcustomplot-dev libbenchmark-dev
    xvfb xauth libgl1-mesa-dri
    # Glyphs for the Chinese interface (the program starts in Chinese): a sans-serif CJK
    # font of 5 MiB that covers every unified Han character up to U+9FC3 (GBK and more).
    fonts-wqy-microhei
)
if [ "${1:-}" = "--fuzz" ]; then PACKAGES+=(clang libclang-rt-dev); fi
missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update
    $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
