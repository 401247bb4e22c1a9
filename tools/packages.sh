#!/usr/bin/env bash
# Installs the Debian packages named that are missing, without recommendations, and only those.
# A package mirror in the middle of a sync can serve a package list that does not match its
# signed release file: the set-up goes on with the other lists and, if the architectures' versions
# then disagree, tries once more with the suite of the failed list ranked below the others, for
# that one command. Nothing of the machine's apt configuration changes for good.
#   tools/packages.sh PACKAGE...
set -uo pipefail

missing=()
for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed" || missing+=("$pkg")
done
((${#missing[@]})) || exit 0
echo "setup: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Stops with what to do about it.
give_up() {
    echo "setup: $1" >&2
    echo "setup: a package mirror in the middle of a sync is the usual cause; run the same make command again later." >&2
    exit 1
}

# The lists that failed, as "suite/component/binary-arch", from apt's "Failed to fetch" lines.
failed=()
if ! apt-get update -q 2>&1 | tee "$work/update"; then
    mapfile -t failed < <(grep -oE '^[EW]: Failed to fetch [^ ]+' "$work/update" |
        sed -E 's#^.*/dists/##; s#(/by-hash/.*|/[^/]*)$##' | sort -u)
    ((${#failed[@]})) || give_up "apt-get update failed (see above)."
    echo "setup: package lists failed to download: ${failed[*]}; going on with the rest"
fi

# The install, with apt's options for this one command; its output is kept to tell why it failed.
install() {
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@" "${missing[@]}" 2>&1 |
        tee "$work/install"
}
install && exit 0
if ((${#failed[@]})) && grep -qE 'unmet dependencies|held broken packages' "$work/install"; then
    # The suites of the failed lists, by code name or by suite name, whichever the sources use;
    # the machine's own preferences file is read after them.
    suites=$(printf '%s\n' "${failed[@]}" | cut -d/ -f1 | sort -u)
    echo "setup: the install cannot be resolved while the lists of $(echo "$suites" | paste -sd' ') are missing," \
        "since the architectures' versions disagree; trying once more with those suites ranked below the others"
    for suite in $suites; do
        for field in n a; do
            printf 'Package: *\nPin: release %s=%s\nPin-Priority: 100\n\n' "$field" "$suite"
        done
    done >"$work/preferences"
    [[ -f /etc/apt/preferences ]] && cat /etc/apt/preferences >>"$work/preferences"
    install -o "Dir::Etc::Preferences=$work/preferences" && exit 0
fi
give_up "could not install ${missing[*]} (see apt's messages above)."
