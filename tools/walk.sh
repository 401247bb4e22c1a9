#!/usr/bin/env bash
# Walks the wizard of the demo package through one scenario of tools/walker on the current X
# display (run it under xvfb-run) and leaves a PNG picture of every window in PICTURES_DIR.
#   tools/walk.sh BUILD_DIR SCENARIO PICTURES_DIR
set -euo pipefail
# shellcheck source=tools/demo-env.sh
source "$(dirname "$0")/demo-env.sh" "$1"
start_wine_session
demo_walk "$2" "$3"
