#!/usr/bin/env bash
# The set-up's package step against stand-ins for apt-get, dpkg-query and dpkg, first on PATH:
# a sound mirror, a machine that has everything, a package list out of step with its release
# file (the retry that lets the architectures agree, and the one that cannot help), and an
# update that fails for another reason. Each row checks what apt-get was asked and what the
# set-up printed.
set -uo pipefail
packages=$(realpath "$(dirname "$0")/../tools/packages.sh")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"

# apt-get: notes each call (an install's preferences file with it) and answers as the row says:
# APT_UPDATE "ok", "out-of-step" or "locked"; APT_INSTALLS one word a call, "ok" or "broken".
cat >"$work/bin/apt-get" <<'EOF'
#!/usr/bin/env bash
echo "apt-get $*" >>"$CALLS"
if [[ $1 == update ]]; then
    case $APT_UPDATE in
    out-of-step)
        echo "E: Failed to fetch http://mirror/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
        echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
        exit 100 ;;
    locked) echo "E: Could not get lock /var/lib/apt/lists/lock"; exit 100 ;;
    esac
    exit 0
fi
for option in "$@"; do
    [[ $option == Dir::Etc::Preferences=* ]] && { echo "preferences at ${option#*=}:"; cat "${option#*=}"; } >>"$CALLS"
done
read -ra answers <<<"$APT_INSTALLS"
count=$(grep -c '^apt-get install' "$CALLS")
[[ ${answers[count - 1]:-broken} == ok ]] && exit 0
echo " libssl3:i386 : Depends: ... but it is not going to be installed"
echo "E: Unable to correct problems, you have held broken packages."
exit 100
EOF
# shellcheck disable=SC2016 # the stand-ins' own expansions
printf '#!/bin/sh\n[ "$1" = --print-foreign-architectures ] && echo i386\n' >"$work/bin/dpkg"
# dpkg-query: the packages named in INSTALLED are installed.
# shellcheck disable=SC2016
printf '#!/bin/bash\n[[ " $INSTALLED " == *" ${@: -1} "* ]] && echo "install ok installed"\n' >"$work/bin/dpkg-query"
chmod +x "$work/bin/"*

rows=0 failures=0
# One row: its name, INSTALLED, APT_UPDATE, APT_INSTALLS, the exit code (0 or "fail"), then the
# lines the calls must hold and the texts the output must hold, "calls:" and "said:" before each;
# "!" before one that must not be there.
row() {
    local name=$1 exit_expected=$5 code
    : >"$work/calls"
    (CALLS=$work/calls INSTALLED=$2 APT_UPDATE=$3 APT_INSTALLS=$4 PATH="$work/bin:$PATH" \
        "$packages" cmake wine32:i386 >"$work/said" 2>&1)
    code=$?
    rows=$((rows + 1))
    local problems=() given
    # What the retry is given lasts for that one command.
    given=$(sed -n 's/^preferences at \(.*\):$/\1/p' "$work/calls")
    [[ -n $given && -e $given ]] && problems+=("the retry's preferences outlived it: $given")
    [[ $exit_expected == 0 ]] && ((code != 0)) && problems+=("exit $code, not 0")
    [[ $exit_expected == fail ]] && ((code == 0)) && problems+=("exit 0 after a failure")
    local where=calls
    for check in "${@:6}"; do
        case $check in
        calls: | said:) where=${check%:}; continue ;;
        esac
        local wanted=1 text=$check
        [[ $text == '!'* ]] && wanted=0 text=${text:1}
        grep -qF -- "$text" "$work/$where"
        [[ $? == "$((1 - wanted))" ]] || problems+=("$where $([[ $wanted == 1 ]] && echo lack || echo hold) \"$text\"")
    done
    if ((${#problems[@]})); then
        printf 'packages test, %s:\n' "$name"
        printf '  %s\n' "${problems[@]}"
        sed 's/^/  calls: /' "$work/calls"
        sed 's/^/  said: /' "$work/said"
        failures=$((failures + 1))
    fi
}

retry='preferences at '
row "sound mirror" "" ok "ok" 0 \
    calls: "apt-get update -q" "apt-get install -y -q --no-install-recommends cmake wine32:i386" "!$retry" \
    said: "setup: installing cmake wine32:i386" "!failed to download"
row "everything installed" "cmake wine32:i386" ok "ok" 0 \
    calls: "!apt-get" said: "!setup:"
row "only what is missing" "cmake" ok "ok" 0 \
    calls: "apt-get install -y -q --no-install-recommends wine32:i386"
row "list out of step, versions agree" "" out-of-step "ok" 0 \
    calls: "!$retry" said: "package lists failed to download: bookworm-security/main/binary-i386; going on with the rest"
row "list out of step, the retry resolves" "" out-of-step "broken ok" 0 \
    calls: "$retry/tmp/" "Pin: release n=bookworm-security" "Pin-Priority: 100" \
    "apt-get install -y -q --no-install-recommends -o Dir::Etc::Preferences=" \
    said: "trying once more with those suites ranked below the others"
row "list out of step, the retry fails too" "" out-of-step "broken broken" fail \
    calls: "$retry" said: "could not install cmake wine32:i386" "a package mirror in the middle of a sync" "again later"
row "sound lists, the install fails" "" ok "broken" fail \
    calls: "!$retry" said: "could not install" "again later"
row "the update fails for another reason" "" locked "ok" fail \
    calls: "!apt-get install" said: "apt-get update failed"

echo "packages test: $((rows - failures)) passed, $failures failed"
((failures == 0))
