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

# Wine runs the 32-bit program as a 32-bit Linux process, which a kernel without its IA-32
# emulation (turned off on some virtual machines) refuses: say so, not Wine's bare exit code.
if ! wine --version >/dev/null 2>&1; then
    echo "setup: this machine cannot run 32-bit programs ($(wine --version 2>&1 | tail -n 1))." >&2
    echo "setup: Wine needs them to run Ombrix and its tests; use a machine whose kernel runs 32-bit programs." >&2
    exit 1
fi

# shellcheck source=tools/wine-env.sh
source "$(dirname "$0")/wine-env.sh" "$BUILD_DIR"
if [[ ! -f "$WINEPREFIX/.ombrix-ready" ]]; then
    echo "setup: preparing the Wine prefix in $WINEPREFIX"
    wine_prefix_prepare "$WINEPREFIX" null
    touch "$WINEPREFIX/.ombrix-ready"
fi
