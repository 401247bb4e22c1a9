#!/usr/bin/env bash
# Builds and runs the benchmark (not one of the tests) in the test prefix: the tree mover
# against a bare Win32 loop, and the peak memory of a 100,000-file run.
set -euo pipefail
BUILD_DIR=${1:-build}
# shellcheck source=tools/wine-env.sh
source "$(dirname "$0")/wine-env.sh" "$BUILD_DIR"
cmake --build "$BUILD_DIR" --target ombrix_bench >/dev/null
start_wine_session
work=$OMBRIX_BUILD_DIR/bench-work
rm -rf "$work"
wine "$OMBRIX_BUILD_DIR/bench/ombrix_bench.exe" "$(winepath -w "$work" 2>/dev/null)" </dev/null
