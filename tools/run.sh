#!/usr/bin/env bash
# The README's first command, after the build: lays out a demo package in a sandbox Wine
# prefix and starts the wizard from it on the user's display. Without a display it walks the
# wizard with the default choices on a virtual one, saving a picture of every window. Either
# way it ends by telling where each file of the package went. The walk fails unless it ends
# with the success summary and every file where the default choices put it.
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
    echo "run: where the package's files are now:"
    demo_report
else
    pictures=$DEMO_DIR/pictures
    walk=$DEMO_DIR/walk.txt
    echo "run: no display; walking the wizard with the default choices on a virtual display"
    cmake --build "$BUILD_DIR" --target ombrix_walker >/dev/null
    # The walker writes Windows line ends.
    xvfb-run -a -s "-screen 0 1024x768x24" "$TOOLS/walk.sh" "$BUILD_DIR" default "$pictures" |
        tr -d '\r' | tee "$walk" || status=$?
    echo "run: a picture of each window above: $pictures/NN-name.png"
    # The default choices install the AppWizard files (VC7) alone, and the last window is the
    # success summary.
    if ! tail -n 1 "$walk" | grep -qx '[0-9]*-message  \[Ombrix\]  Установка успешно завершена\.'; then
        echo "run: the walk did not end with the success summary" >&2
        status=1
    fi
    echo "run: where the package's files are now:"
    demo_report VC7 || status=1
fi
if ((status)); then echo "run: the wizard did not end as expected (status $status)" >&2; fi
exit "$status"
