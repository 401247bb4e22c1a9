#!/usr/bin/env bash
# The release as a user meets it, in folders of the test's own, never the repository's dist/.
#   tests/release.sh same BUILD_DIR: two copies of the sources in different folders give the
#   same bytes, with neither folder in them. tests/release.sh signed BUILD_DIR: signed with a
#   throwaway certificate, it verifies against that one alone, is the unsigned release plus a
#   signature, and walks BUILD_DIR's demo to the success summary; a failed signing leaves nothing.
set -euo pipefail
ROOT=$(realpath "$(dirname "$0")/..")
BUILD_DIR=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Fails the test with a message.
fail() { echo "release test: $*" >&2; exit 1; }

# Releases the sources in folder $1, built in their build/ or in $2, into their dist/ or
# OMBRIX_DIST; keeps the output in $work/log and shows it when the release fails.
release() { (cd "$1" && tools/release.sh "${2:-build}") >log 2>&1 || { cat log && return 1; }; }

if [[ $1 == same ]]; then
    copies=(one/ombrix somewhere/else/src)
    exes=("${copies[@]/%//dist/Ombrix.exe}")
    # Whether the second copy's release checks against the SHA-256 file of the first.
    same() { (cd "${copies[1]}/dist" && sha256sum -c "$work/${exes[0]}.sha256") &>/dev/null; }
    for copy in "${copies[@]}"; do
        mkdir -p "$copy"
        git -C "$ROOT" ls-files -z | (cd "$ROOT" && xargs -0 cp --parents -t "$work/$copy")
        release "$copy" || fail "the release of $copy failed"
    done
    same || fail "two copies of the sources give different releases"
    for encoding in s l; do i686-w64-mingw32-strings -a -e "$encoding" "${exes[@]}"; done |
        grep -F "$work" && fail "a folder of the build is in the release"
    # The same check sees the difference a link time stamp makes.
    sed -i '/--no-insert-timestamp/d' "${copies[1]}/CMakeLists.txt"
    release "${copies[1]}" || fail "the release without the flag failed"
    same && fail "time-stamped releases are the same bytes"
    exit 0
fi

pass='throwaway pass' dist=$work/dist exe=$work/dist/Ombrix.exe build=$work/build
for name in signer other; do
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$name.key" -out "$name.pem" -days 1 \
        -subj "/CN=Ombrix test $name" -addext extendedKeyUsage=codeSigning 2>/dev/null
done
PASS=$pass openssl pkcs12 -export -inkey signer.key -in signer.pem -passout env:PASS -out signer.pfx
# osslsigncode keeps each of its command lines, to show that no password is on one.
mkdir bin && printf '#!/bin/sh\necho "$*" >>%s/args\nexec %s "$@"\n' "$work" \
    "$(command -v osslsigncode)" >bin/osslsigncode && chmod +x bin/osslsigncode
export PATH=$work/bin:$PATH OMBRIX_DIST=$dist
SIGN_PASSWORD=$pass SIGN_PFX=$work/signer.pfx release "$ROOT" "$build" || fail "signing failed"
(cd "$dist" && sha256sum -c --quiet ./*.sha256) || fail "wrong SHA-256 files"
verified=$(osslsigncode verify -CAfile signer.pem -in "$exe") || fail "it does not verify"
[[ $verified == *"Message digest algorithm  : SHA256"* ]] || fail "the digest is not SHA-256"
osslsigncode verify -CAfile other.pem -in "$exe" &>/dev/null && fail "another certificate verifies it"
osslsigncode remove-signature -in "$exe" -out unsigned.exe >/dev/null
cmp unsigned.exe "$dist/Ombrix-unsigned.exe" || fail "it is not the unsigned release plus a signature"
env -u DISPLAY OMBRIX_DEMO_EXE="$exe" "$ROOT/tools/run.sh" "$BUILD_DIR" >walk 2>&1 ||
    { cat walk && fail "the signed release does not walk to the success summary"; }
cmp "$BUILD_DIR/demo/prefix/drive_c/Ombrix/Ombrix.exe" "$exe" || fail "the walk ran another program"

# Each signing that cannot succeed ends the release and leaves nothing, not even the last one.
for bad in "not-the-password|signer.pfx|" "$pass|missing.pfx|" "$pass|signer.pfx|http://127.0.0.1:9/"; do
    IFS='|' read -r password pfx server <<<"$bad"
    SIGN_PASSWORD=$password SIGN_PFX=$work/$pfx SIGN_TIMESTAMP=$server release "$ROOT" "$build" &&
        fail "signed: $bad"
    [[ -z $(ls -A "$dist") ]] || fail "$bad left $(ls "$dist")"
    grep -F "$password" log args && fail "the password is in the output or on a command line"
done
[[ $(grep -c '^sign ' args) == 3 ]] || fail "osslsigncode did not sign three times"
