#!/usr/bin/env bash
# Builds the release in BUILD/release (Release, no tests) and leaves dist/Ombrix.exe:
# stripped, static, importing Windows' own DLLs only. Prints its size and its imports.
set -euo pipefail
BUILD_DIR=${1:-build}
ROOT=$(realpath "$(dirname "$0")/..")
cmake -S "$ROOT" -B "$BUILD_DIR/release" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$BUILD_DIR/release" --target Ombrix -j "$(nproc)" >/dev/null
mkdir -p "$ROOT/dist"
i686-w64-mingw32-strip -o "$ROOT/dist/Ombrix.exe" "$BUILD_DIR/release/Ombrix.exe"
echo "release: dist/Ombrix.exe, $(stat -c %s "$ROOT/dist/Ombrix.exe") bytes; it imports:"
"$ROOT/tools/imports.sh" "$ROOT/dist/Ombrix.exe" | sed 's/^/  /'
