#!/usr/bin/env bash
# The README's first command, after the build: lays out a demo package in a sandbox Wine
# prefix and starts the wizard from it on the user's display. Without a display it walks the
# wizard with the default choices on a virtual one, saving a picture of every window. Either
# way it ends by telling where each file of the package went.
set -euo pipefail
BUILD_DIR=${1:-build}
TOOLS=$(dirname "$0")
# shellcheck source=tools/demo-env.sh
source "$TOOLS/demo-env.sh" "$BUILD_DIR"

demo_prefix
demo_package
cat <<EOF
run: package $PACKAGE_WIN ($PACKAGE_DIR)
run: Visual C++ 7.1 directory in the sandbox's registry: $VC_WIN\\ (an older ReadMe-ru.txt is there)
EOF

status=0
if [[ -n $USER_DISPLAY ]]; then
    echo "run: starting the wizard on $DISPLAY"
    start_wine_session
    (cd "$PACKAGE_DIR" && wine Ombrix.exe </dev/null) || status=$?
else
    pictures=$DEMO_DIR/pictures
    echo "run: no display; walking the wizard with the default choices on a virtual display"
    cmake --build "$BUILD_DIR" --target ombrix_walker >/dev/null
    xvfb-run -a -s "-screen 0 1024x768x24" "$TOOLS/walk.sh" "$BUILD_DIR" default "$pictures" || status=$?
    echo "run: a picture of each window above: $pictures/NN-name.png"
fi
echo "run: where the package's files are now:"
demo_report
if ((status)); then echo "run: the wizard did not end as expected (status $status)" >&2; fi
exit "$status"
