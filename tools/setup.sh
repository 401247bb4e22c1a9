#!/usr/bin/env bash
# Installs what the make commands need, then prepares the private Wine prefix of the tests.
# Safe to run again: every step is skipped when its result is already there.
set -euo pipefail

BUILD_DIR=${1:-build}
# Everything the make commands use, installed without recommendations, so each one is named:
# the cross compilers and their binutils (objdump, strings), Wine, GoogleTest's sources,
# xvfb-run with the xauth it needs, ImageMagick's convert (the pictures), shellcheck (the
# scripts' test), the fonts of the windows the demo draws: Wine's own (Marlett draws the
# caption buttons) and Liberation, without which the dialogs come out in another font and
# wider than the pictures in docs/; and for the release, osslsigncode (signing) with openssl
# (the test's throwaway certificates) and git (the test's copies of the tracked sources).
PACKAGES=(cmake make g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 wine wine32:i386 googletest
    xvfb xauth imagemagick shellcheck fonts-wine fonts-liberation osslsigncode openssl git)

"$(dirname "$0")/packages.sh" "${PACKAGES[@]}"

# A kernel that runs no 32-bit programs (tools/wine-env.sh) gets 64-bit Wine and compilers too.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "setup: this machine runs no 32-bit programs; the tests and the demo use a 64-bit build under 64-bit Wine"
    "$(dirname "$0")/packages.sh" wine64 g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64
fi

# shellcheck source=tools/wine-env.sh
source "$(dirname "$0")/wine-env.sh" "$BUILD_DIR"
if [[ ! -f "$WINEPREFIX/.ombrix-ready" ]]; then
    echo "setup: preparing the Wine prefix in $WINEPREFIX"
    wine_prefix_prepare "$WINEPREFIX" null
    touch "$WINEPREFIX/.ombrix-ready"
fi
