#!/usr/bin/env bash
# Installs what is needed, builds everything and runs the whole test suite headless.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD_DIR" -j "$(nproc)"
export SDL_VIDEODRIVER=offscreen ALSOFT_DRIVERS=null SDL_AUDIODRIVER=dummy
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)" --timeout 600
