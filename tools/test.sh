#!/usr/bin/env bash
# Runs every test through CTest, with one Wine server for the whole run.
set -euo pipefail
BUILD_DIR=${1:-build}
# shellcheck source=tools/wine-env.sh
source "$(dirname "$0")/wine-env.sh" "$BUILD_DIR"
start_wine_session
cd "$BUILD_DIR"
ctest --output-on-failure -j "$(nproc)"
