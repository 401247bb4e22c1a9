# Sourced: points Wine at the private prefix inside the build tree, headless and UTF-8.
# An empty DISPLAY would defeat the null driver, and without a UTF-8 locale Wine cannot
# create Cyrillic file names.
export OMBRIX_BUILD_DIR=$(realpath -m "${1:-build}")
export WINEPREFIX="$OMBRIX_BUILD_DIR/wineprefix"
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export LC_ALL=C.UTF-8
unset DISPLAY

# Starts the Wine server and its background services for this run, detached from our
# output (they would keep a pipe open and make CI or $(...) wait), and ends them on exit.
start_wine_session() {
    wineserver -p </dev/null >/dev/null 2>&1
    wine cmd /c exit </dev/null >/dev/null 2>&1
    trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
}
