#!/usr/bin/env bash
# Installs what the build and the tests need, then prepares the private Wine prefix.
# Safe to run again: every step is skipped when its result is already there.
set -euo pipefail

BUILD_DIR=${1:-build}
PACKAGES=(cmake make g++-mingw-w64-i686-posix wine wine32:i386 googletest xvfb imagemagick python3)

missing=()
for pkg in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed" || missing+=("$pkg")
done
if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# shellcheck source=tools/wine-env.sh
source "$(dirname "$0")/wine-env.sh" "$BUILD_DIR"
if [[ ! -f "$WINEPREFIX/.ombrix-ready" ]]; then
    echo "setup: preparing the Wine prefix in $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i </dev/null >/dev/null 2>&1
    wineserver -w
    # The null driver must be chosen before any window exists, so headless dialogs work.
    printf '\n[Software\\\\Wine\\\\Drivers]\n"Graphics"="null"\n' >>"$WINEPREFIX/user.reg"
    touch "$WINEPREFIX/.ombrix-ready"
fi
