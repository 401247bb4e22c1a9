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
# Drive R: shows C:\ombrix-readonly through a read-only bind mount, as a CD or a read-only share
# looks to a program; the tests write what it shows through C:. Without root there is no R:, and
# the tests say so.
readonly_mount=$WINEPREFIX/readonly-mount
umount "$readonly_mount" 2>/dev/null || true
rm -f "$WINEPREFIX/dosdevices/r:"
mkdir -p "$WINEPREFIX/drive_c/ombrix-readonly" "$readonly_mount"
if mount --bind "$WINEPREFIX/drive_c/ombrix-readonly" "$readonly_mount" 2>/dev/null; then
    trap 'umount "$readonly_mount"; wineserver -k >/dev/null 2>&1 || true' EXIT
    mount -o remount,bind,ro "$readonly_mount" && ln -s "$readonly_mount" "$WINEPREFIX/dosdevices/r:"
fi
cd "$BUILD_DIR"
ctest --output-on-failure -j "$(nproc)"
