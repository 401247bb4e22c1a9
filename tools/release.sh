#!/usr/bin/env bash
# Builds the release in BUILD/release (Release, no tests) and leaves Ombrix.exe in dist/ (or in
# OMBRIX_DIST): stripped, static, importing Windows' own DLLs only, the same bytes from every
# clean checkout of one commit. Prints its size, its imports and its SHA-256, also written
# beside it. A release that fails leaves neither file behind.
set -euo pipefail
BUILD_DIR=${1:-build}
ROOT=$(realpath "$(dirname "$0")/..")
DIST=${OMBRIX_DIST:-$ROOT/dist}
STAGE=$BUILD_DIR/release/stage

rm -f "$DIST"/Ombrix.exe{,.sha256}
rm -rf "$STAGE"
# Stripped by the linker (-s): strip would stamp the time again, and the linker leaves the file
# a whole number of file-alignment blocks with its checksum right.
cmake -S "$ROOT" -B "$BUILD_DIR/release" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DCMAKE_EXE_LINKER_FLAGS=-s >/dev/null
cmake --build "$BUILD_DIR/release" --target Ombrix -j "$(nproc)" >/dev/null
mkdir -p "$STAGE"
cp "$BUILD_DIR/release/Ombrix.exe" "$STAGE/"
echo "release: Ombrix.exe, $(stat -c %s "$STAGE/Ombrix.exe") bytes; it imports:"
"$ROOT/tools/imports.sh" "$STAGE/Ombrix.exe" | sed 's/^/  /'

echo "release: in $DIST, with its SHA-256 beside it (Ombrix.exe.sha256):"
(cd "$STAGE" && sha256sum Ombrix.exe | tee Ombrix.exe.sha256) | sed 's/^/  /'
mkdir -p "$DIST"
mv "$STAGE/Ombrix.exe.sha256" "$STAGE/Ombrix.exe" "$DIST/"
