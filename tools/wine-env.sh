# shellcheck shell=bash
# Sourced: points Wine at the private prefix inside the build tree, headless and UTF-8.
# An empty DISPLAY would defeat the null driver, and without a UTF-8 locale Wine cannot
# create Cyrillic file names.
OMBRIX_BUILD_DIR=$(realpath -m "${1:-build}")
export OMBRIX_BUILD_DIR
export WINEPREFIX="$OMBRIX_BUILD_DIR/wineprefix"
# Wine runs a 32-bit program as a 32-bit Linux process, which a kernel without its IA-32
# emulation (turned off on some virtual machines) refuses. There the tests and the demo run a
# 64-bit build of the same sources under 64-bit Wine, which Debian's wine command never picks
# while the 32-bit one is installed: wine, wineboot and winepath in the build tree, first on
# the PATH, start it. The release is 32-bit everywhere.
if [[ -x /usr/lib/wine/wine64 ]] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    export OMBRIX_PROCESSOR=x86_64 WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
    mkdir -p "$OMBRIX_BUILD_DIR/wine64"
    printf '#!/bin/sh\nexec %s "$@"\n' "$WINELOADER" >"$OMBRIX_BUILD_DIR/wine64/wine"
    for program in wineboot winepath; do
        printf '#!/bin/sh\nexec %s %s.exe "$@"\n' "$WINELOADER" "$program" >"$OMBRIX_BUILD_DIR/wine64/$program"
    done
    chmod +x "$OMBRIX_BUILD_DIR/wine64/"*
    [[ :$PATH: == *":$OMBRIX_BUILD_DIR/wine64:"* ]] || export PATH="$OMBRIX_BUILD_DIR/wine64:$PATH"
else
    export OMBRIX_PROCESSOR=i686 WINEARCH=win32
fi
export WINEDEBUG=${WINEDEBUG:--all}
export LC_ALL=C.UTF-8
unset DISPLAY

# Makes a fresh Wine prefix in DIR. With "null" it draws no windows at all (the null graphics
# driver, chosen before any window exists, so that dialogs work headless); without, it draws
# real ones, with Wine's own fonts copied in: the caption buttons need Marlett.
#   wine_prefix_prepare DIR [null]
wine_prefix_prepare() {
    local dir=$1 driver=${2:-}
    rm -rf "$dir"
    mkdir -p "$dir"
    WINEPREFIX=$dir WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i </dev/null >/dev/null 2>&1
    WINEPREFIX=$dir wineserver -w
    if [[ $driver == null ]]; then
        printf '\n[Software\\\\Wine\\\\Drivers]\n"Graphics"="null"\n' >>"$dir/user.reg"
        return
    fi
    local marlett
    if ! marlett=$(dpkg -L fonts-wine 2>/dev/null | grep '/marlett\.ttf$'); then
        echo "wine: Marlett not found among the files of fonts-wine; run tools/setup.sh" >&2
        return 1
    fi
    cp "$(dirname "$marlett")"/*.ttf "$dir/drive_c/windows/Fonts/"
}

# Starts the Wine server and its background services for this run, detached from our
# output (they would keep a pipe open and make CI or $(...) wait), and ends them on exit.
start_wine_session() {
    wineserver -p </dev/null >/dev/null 2>&1 || true   # one already running serves as well
    wine cmd /c exit </dev/null >/dev/null 2>&1
    trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
}
