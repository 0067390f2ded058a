#!/usr/bin/env bash
# Installs what is needed, builds the run-time, builds the demo game from examples/demo and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD_DIR" -j "$(nproc)" --target kestro
echo "A tour of the script language (examples/script_tour.txt):"
"$BUILD_DIR/src/kestro" script examples/script_tour.txt
"$BUILD_DIR/src/kestro" build examples/demo -o "$BUILD_DIR/demo"
echo "Built $BUILD_DIR/demo (a standalone game)."
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Running it in a window (Esc ends it):"
  exec "$BUILD_DIR/demo" "$@"
fi
echo "No display: playing it headless for 300 steps from examples/demo_play.txt; frames in $BUILD_DIR/demo_frames."
rm -rf "$BUILD_DIR/demo_frames"
exec "$BUILD_DIR/src/kestro" run --headless --steps 300 --input examples/demo_play.txt --frames "$BUILD_DIR/demo_frames" \
  "$BUILD_DIR/demo" "$@"
