# shellcheck shell=bash
# Sourced with the build directory: the demo's sandbox, a Wine prefix of its own in
# BUILD/demo/prefix that draws real windows (the test prefix draws none). Its registry records
# a demo Visual C++ directory, and its C: drive holds the package that the wizard installs.
# Nothing outside the build tree is touched.
USER_DISPLAY=${DISPLAY:-}
# shellcheck source=tools/wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh" "${1:-build}"
# The demo draws real windows: on the user's display, or on the virtual one of xvfb-run.
if [[ -n $USER_DISPLAY ]]; then export DISPLAY=$USER_DISPLAY; fi
DEMO_DIR=$OMBRIX_BUILD_DIR/demo
export WINEPREFIX=$DEMO_DIR/prefix
DEMO_DRIVE=$WINEPREFIX/drive_c

# Windows path and Linux path of each place the demo uses.
PACKAGE_WIN='C:\Ombrix'
PACKAGE_DIR=$DEMO_DRIVE/Ombrix
VC_WIN='C:\Demo\Vc7'
VC_DIR=$DEMO_DRIVE/Demo/Vc7
SYSTEM_WIN='C:\windows\system32'
SYSTEM_DIR=$DEMO_DRIVE/windows/system32

# Creates the sandbox prefix once: one that draws real windows, whose registry records the
# Visual C++ 7.1 directory with the trailing backslash its setup writes.
demo_prefix() {
    [[ -f $WINEPREFIX/.ombrix-demo-ready ]] && return
    echo "demo: preparing the sandbox Wine prefix in $WINEPREFIX"
    wine_prefix_prepare "$WINEPREFIX"
    wine reg add 'HKLM\SOFTWARE\Microsoft\VisualStudio\7.1\Setup\VC' /v ProductDir /t REG_SZ \
        /d "$VC_WIN\\" /f </dev/null >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.ombrix-demo-ready"
}

# The package: each file with its text, which tells the moved file apart from an older one.
DEMO_FILES=(
    'VC7\ReadMe-ru.txt|Файлы русификации мастеров, версия 2'
    'VC7\Wizards\Application\1049\Strings.txt|Строки мастера приложений'
    'VC7\Wizards\Application\1049\Templates.txt|Шаблоны мастера приложений'
    'VC7\Wizards\Dialog\1049\Strings.txt|Строки мастера диалогов'
    'System\ReadMe-mfc-ru.txt|Локализация MFC-приложений'
    'System\mfc-ru\Controls.txt|Элементы управления'
    'System\mfc-ru\Dialogs\Common.txt|Общие диалоги'
)

# The Linux path of a Windows path on the demo's C: drive.
demo_path() {
    local path=${1#C:\\}
    echo "$DEMO_DRIVE/${path//\\//}"
}

# The default destination of a package file (VC7\... or System\...), as a Windows path.
demo_destination() {
    case $1 in
    VC7\\*) echo "$VC_WIN\\${1#VC7\\}" ;;
    *) echo "$SYSTEM_WIN\\${1#System\\}" ;;
    esac
}

# Writes a file, creating the folders above it.
demo_write() {
    mkdir -p "$(dirname "$1")"
    printf '%s' "$2" >"$1"
}

# Lays out a fresh package next to a copy of Ombrix.exe (the build's, or the one OMBRIX_DEMO_EXE
# names, such as a signed release), clears earlier demo files from both destinations, and puts
# an older ReadMe-ru.txt into the Visual C++ directory so that one replace question comes.
demo_package() {
    rm -rf "$PACKAGE_DIR" "$VC_DIR" "$SYSTEM_DIR/mfc-ru"
    local entry
    for entry in "${DEMO_FILES[@]}"; do
        rm -rf "$(demo_path "$(demo_destination "${entry%%|*}")")"
        demo_write "$(demo_path "$PACKAGE_WIN\\${entry%%|*}")" "${entry#*|}"
    done
    cp "${OMBRIX_DEMO_EXE:-$OMBRIX_BUILD_DIR/Ombrix.exe}" "$PACKAGE_DIR/Ombrix.exe"
    demo_write "$VC_DIR/ReadMe-ru.txt" "Файлы русификации мастеров, версия 1"
}

# Walks the wizard with a scenario of tools/walker on the current X display, inside Wine's
# virtual desktop so that windows have frames, and turns its pictures into PNG files.
demo_walk() {
    local scenario=$1 pictures=$2
    rm -rf "$pictures"
    mkdir -p "$pictures"
    local walker pictures_win
    walker=$(winepath -w "$OMBRIX_BUILD_DIR/tools/walker/ombrix_walker.exe" 2>/dev/null)
    pictures_win=$(winepath -w "$pictures" 2>/dev/null)
    local status=0
    wine explorer /desktop=Ombrix,800x600 "$walker" "$scenario" "$PACKAGE_WIN" "$pictures_win" </dev/null ||
        status=$?
    local picture
    for picture in "$pictures"/*.bmp; do
        [[ -f $picture ]] || continue
        convert "$picture" -strip +dither -colors 64 "PNG8:${picture%.bmp}.png"
        rm "$picture"
    done
    return "$status"
}

# Prints where each file of the package is now: at its default destination, still in the
# package, or elsewhere (moved to a path the user typed). Given the folder of the component
# that was installed to its default destination (VC7 or System), it also marks each file that
# is not where that installation puts it, and then fails.
demo_report() {
    local installed=${1:-} entry status=0
    for entry in "${DEMO_FILES[@]}"; do
        local name=${entry%%|*} text=${entry#*|} destination where mark=""
        destination=$(demo_destination "$name")
        if [[ -f $(demo_path "$PACKAGE_WIN\\$name") ]]; then
            where="stays in the package"
        elif [[ $(cat "$(demo_path "$destination")" 2>/dev/null) == "$text" ]]; then
            where="->  $destination"
        else
            where="->  elsewhere (not at $destination)"
        fi
        if [[ -n $installed ]]; then
            local want="stays in the package" note="should stay in the package"
            if [[ $name == "$installed\\"* ]]; then want="->  $destination" note="should be at its destination"; fi
            if [[ $where != "$want" ]]; then mark="   <- $note" status=1; fi
        fi
        echo "  $PACKAGE_WIN\\$name  $where$mark"
    done
    return "$status"
}
