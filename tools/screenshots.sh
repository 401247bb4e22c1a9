#!/usr/bin/env bash
# Renders the README's pictures in docs/ from the real program, walked through its pages and
# messages in Wine's virtual desktop on a virtual display, with the demo package.
set -euo pipefail
BUILD_DIR=${1:-build}
TOOLS=$(dirname "$0")
DOCS=$(realpath -m "$TOOLS/../docs")
# shellcheck source=tools/demo-env.sh
source "$TOOLS/demo-env.sh" "$BUILD_DIR"
cmake --build "$BUILD_DIR" --target ombrix_walker >/dev/null
demo_prefix
mkdir -p "$DOCS"

# Walks one scenario of tools/walker on a fresh package and keeps the named pictures.
shoot() {
    local scenario=$1 pictures=$DEMO_DIR/pictures-$1
    shift
    echo "screenshots: walking '$scenario'"
    xvfb-run -a -s "-screen 0 1024x768x24" "$TOOLS/walk.sh" "$BUILD_DIR" "$scenario" "$pictures"
    local name
    for name; do cp "$pictures"/[0-9][0-9]-"$name".png "$DOCS/$name.png"; done
}

demo_package
shoot first components paths-first replace summary-success
demo_package
shoot second paths-second summary-aborted
demo_package
# A folder stands where one System file goes, so replacing it fails and the run has problems.
mkdir -p "$(demo_path "$SYSTEM_WIN\\mfc-ru\\Controls.txt")"
shoot both paths-both empty-path failure summary-problems
demo_package
ls -l "$DOCS"/*.png
