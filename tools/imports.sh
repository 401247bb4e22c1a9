#!/usr/bin/env bash
# Checks what keeps an executable from starting on a Windows from 2000 SP4 on, or on a Pentium
# Pro: its header asks for no newer Windows than 5.0 (2000); each DLL it imports is one that
# Windows always takes from its system directory; each function it imports is one that Windows
# 2000 SP4 has, by the project's list tools/windows-2000.txt; its code holds no newer
# instruction. Prints each DLL with how many functions it gives; fails naming each version,
# instruction, DLL and function that does not pass.
#   tools/imports.sh EXE
set -euo pipefail
exe=$1
list=$(dirname "$0")/windows-2000.txt
# Windows' known DLLs, which Windows always loads from its system directory, so that no copy
# beside the program can stand in for one, and ntdll, which every process has before its first
# instruction; compared without case. A program that needs the compiler's runtime DLLs does not
# start on a machine without them, and any other DLL would be looked for beside it first.
ALLOWED="advapi32 comdlg32 gdi32 kernel32 msvcrt ntdll ole32 oleaut32 shell32 shlwapi user32"

dump=$(i686-w64-mingw32-objdump -p "$exe")
if ! grep -q 'DLL Name:' <<<"$dump"; then
    echo "imports: no import table found in $exe" >&2
    exit 1
fi
# The header's versions, which a loader older than they are refuses.
versions=$(awk '$1 ~ /^(Major|Minor)(OSystem|Subsystem)Version$/ { v[$1] = $2 }
    END { for (k in v) if (k ~ /^Major/) { m = k; sub(/^Major/, "Minor", m); print substr(k, 6), v[k] "." v[m] } }' <<<"$dump")
status=0
while read -r field version; do
    if ((${version%.*} > 5 || (${version%.*} == 5 && ${version#*.} > 0))); then
        echo "$field $version   <- newer than Windows 2000 (5.0): its loader refuses the program"
        status=1
    fi
done <<<"$versions"

# Instructions a Pentium Pro lacks: MMX, SSE and later registers and opcodes. The C++ library's
# std::random_device holds rdrand and rdseed behind a check of the processor, and the program
# makes none; tzcnt is how objdump reads "rep bsf", which a Pentium Pro runs as bsf. A stripped
# file has no names for its functions, so only the unstripped build is checked for them.
if [[ $(i686-w64-mingw32-objdump -t "$exe" | head -n 8) == *"(sec "* ]]; then
    newer=$(i686-w64-mingw32-objdump -d --no-show-raw-insn "$exe" | awk '
        /^[0-9a-f]+ <.*>:$/ { function_name = $2 }
        /%[xyz]?mm[0-9]|\t(emms|fxsave|fxrstor|sysenter|sysexit|[lms]fence|clflush|prefetch[a-z0-9]*|movnt[a-z]*|popcnt|lzcnt|movbe|crc32|rdrand|rdseed|xgetbv|[ls]dmxcsr|rdtscp)([ \t]|$)/ &&
            function_name !~ /_x86_rd(rand|seed)/ && ++found <= 5 { print "  " function_name " " $0 }')
    if [[ -n $newer ]]; then
        echo "instructions a Pentium Pro lacks:"
        echo "$newer"
        status=1
    fi
fi

# Each imported function with its DLL, checked against the list.
awk -v allowed=" $ALLOWED " '
    FNR == NR { if ($0 !~ /^#/ && NF >= 3) first[tolower($1) " " $2] = $3; next }
    /DLL Name:/ { dll = tolower($3); sub(/\.dll$/, "", dll); shown[dll] = $3; order[++n] = dll; next }
    /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ && dll != "" {
        count[dll]++
        key = dll " " $NF
        if (!(key in first))
            bad[dll] = bad[dll] "\n  " $NF "   <- not in the list of functions Windows 2000 has: look up its minimum system and add it"
        else if (first[key] != "2000")
            bad[dll] = bad[dll] "\n  " $NF "   <- needs Windows " first[key]
    }
    END {
        status = 0
        for (i = 1; i <= n; i++) {
            d = order[i]
            note = index(allowed, " " d " ") ? "" : "   <- not a Windows system DLL"
            print shown[d] " (" count[d] " functions)" note bad[d]
            if (note != "" || bad[d] != "") status = 1
        }
        exit status
    }' "$list" - <<<"$dump" || status=1
exit "$status"
