#!/usr/bin/env bash
# Configures and builds the program and its tests in BUILD, for the Windows that this machine's
# Wine runs: 32-bit, or 64-bit where the kernel runs no 32-bit programs (tools/wine-env.sh).
#   tools/build.sh BUILD JOBS
set -euo pipefail
# shellcheck source=tools/wine-env.sh
source "$(dirname "$0")/wine-env.sh" "$1"
cmake -S . -B "$1" -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$OMBRIX_PROCESSOR.cmake" --no-warn-unused-cli >/dev/null
cmake --build "$1" -j "$2"
