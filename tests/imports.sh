#!/usr/bin/env bash
# The import check passes the built program, and refuses one that Windows 2000 or a Pentium Pro
# could not run, naming each import, header version and instruction that it lacks.
#   tests/imports.sh PROGRAM NEWER
set -euo pipefail
check=$(dirname "$0")/../tools/imports.sh
"$check" "$1"
if refused=$("$check" "$2"); then
    echo "imports test: the check passed $2" >&2
    exit 1
fi
for named in "GetTickCount64   <- needs Windows Vista" "CreateSymbolicLinkW   <- not in the list" \
    "SubsystemVersion 6.0   <- newer than Windows 2000" "pxor   %xmm0,%xmm0"; do
    grep -qF "$named" <<<"$refused" || { echo "imports test: the check did not say \"$named\":" >&2; echo "$refused" >&2; exit 1; }
done
