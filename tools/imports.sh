#!/usr/bin/env bash
# Prints the DLLs a Windows executable imports, one a line, and fails when any of them is not
# one of Windows' known DLLs: a program that needs the compiler's runtime DLLs does not start on
# a machine without them, and any other DLL it imports would be looked for beside it first.
#   tools/imports.sh EXE
set -euo pipefail
exe=$1
# Windows' known DLLs, which Windows always loads from its system directory, so that no copy
# beside the program can stand in for one; compared without case.
ALLOWED="advapi32 comdlg32 gdi32 kernel32 msvcrt ole32 oleaut32 shell32 shlwapi user32"

dlls=$(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
if [[ -z $dlls ]]; then
    echo "imports: no import table found in $exe" >&2
    exit 1
fi
status=0
while read -r dll; do
    name=${dll,,}
    if [[ " $ALLOWED " == *" ${name%.dll} "* ]]; then
        echo "$dll"
    else
        echo "$dll   <- not a Windows system DLL"
        status=1
    fi
done <<<"$dlls"
exit "$status"
