#!/usr/bin/env bash
# Runs every test through CTest, with one Wine server for the whole run.
set -euo pipefail
BUILD_DIR=${1:-build}
# shellcheck source=tools/wine-env.sh
source "$(dirname "$0")/wine-env.sh" "$BUILD_DIR"
start_wine_session
# Wine tells an older Windows to the copies of the test program that play one, and to the
# program itself where a test runs it as Установщик.exe.
for played in ombrix_tests_winxp.exe=winxp ombrix_tests_win2k.exe=win2k Установщик.exe=win2k; do
    wine reg add "HKCU\\Software\\Wine\\AppDefaults\\${played%=*}" /v Version /d "${played#*=}" /f </dev/null >/dev/null 2>&1
done
cd "$BUILD_DIR"
ctest --output-on-failure -j "$(nproc)"
