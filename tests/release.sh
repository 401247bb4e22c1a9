#!/usr/bin/env bash
# The release in folders of the test's own. same BUILD_DIR: two copies of the sources give the same
# bytes, with no folder in them. signed BUILD_DIR: it verifies and walks; a failed signing leaves nothing.
set -euo pipefail
ROOT=$(realpath "$(dirname "$0")/..") BUILD_DIR=$(realpath "$2") work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT && cd "$work"
# Fails the test with a message.
fail() { echo "release test: $*" >&2; exit 1; }
# Releases the sources in folder $1, built in their build/ or in $2; every release's output stays in log.
release() { (cd "$1" && tools/release.sh "${2:-build}") >>log 2>&1 || { cat log && return 1; }; }

if [[ $1 == same ]]; then
    for copy in one/ombrix somewhere/else/src; do
        mkdir -p "$copy" && git -C "$ROOT" ls-files -z | (cd "$ROOT" && xargs -0 cp --parents -t "$work/$copy")
        release "$copy" || fail "the release of $copy failed"
        for encoding in s l; do i686-w64-mingw32-strings -a -e "$encoding" "$copy/dist/Ombrix.exe"; done |
            grep -F "$work" && fail "a folder of the build is in the release"
    done
    (cd somewhere/else/src/dist && sha256sum -c "$work/one/ombrix/dist/Ombrix.exe.sha256") || fail "the copies differ"
    exit 0
fi

# osslsigncode keeps each of its command lines, to show that no password is on one.
mkdir bin && printf '#!/bin/sh\necho "$*" >>%s/args\nexec %s "$@"\n' "$work" \
    "$(command -v osslsigncode)" >bin/osslsigncode && chmod +x bin/osslsigncode
export PATH=$work/bin:$PATH OMBRIX_DIST=$work/dist && pass='throwaway pass' exe=$work/dist/Ombrix.exe
for name in signer other; do openssl req -x509 -newkey rsa:2048 -nodes -keyout "$name.key" -out "$name.pem" \
    -days 1 -subj "/CN=Ombrix test $name" -addext extendedKeyUsage=codeSigning 2>/dev/null; done
PASS=$pass openssl pkcs12 -export -inkey signer.key -in signer.pem -passout env:PASS -out signer.pfx
SIGN_PASSWORD=$pass SIGN_PFX=$work/signer.pfx release "$ROOT" "$work/build" || fail "signing failed"
(cd dist && sha256sum -c --quiet ./*.sha256) || fail "wrong SHA-256 files"
[[ $(osslsigncode verify -CAfile signer.pem -in "$exe") == *": SHA256"*"verification: ok"* ]] || fail "bad signature"
osslsigncode verify -CAfile other.pem -in "$exe" &>/dev/null && fail "another certificate verifies it"
osslsigncode remove-signature -in "$exe" -out unsigned.exe >/dev/null
cmp unsigned.exe dist/Ombrix-unsigned.exe || fail "it is not the unsigned release plus a signature"
# The release is 32-bit: a machine that runs no 32-bit programs cannot walk it, and says so.
if /usr/lib/wine/wine --version &>/dev/null; then
    env -u DISPLAY OMBRIX_DEMO_EXE="$exe" "$ROOT/tools/run.sh" "$BUILD_DIR" >walk 2>&1 ||
        { cat walk && fail "the signed release does not walk to the success summary"; }
    cmp "$BUILD_DIR/demo/prefix/drive_c/Ombrix/Ombrix.exe" "$exe" || fail "the walk ran another program"
    walked=yes
fi
# A signing that cannot succeed ends the release and leaves nothing, not even the last one.
for bad in "not-the-password|signer.pfx" "$pass|missing.pfx"; do
    IFS='|' read -r password pfx <<<"$bad"
    SIGN_PASSWORD=$password SIGN_PFX=$work/$pfx release "$ROOT" "$work/build" && fail "signed: $bad"
    [[ -z $(ls -A dist; grep -F "$password" log args) ]] || fail "$bad left files ($(ls dist)) or showed the password"
done
[[ $(grep -c '^sign ' args) == 2 ]] || fail "osslsigncode did not sign twice"
[[ -n ${walked:-} ]] || { echo "release test: skipped the walk: this machine runs no 32-bit programs"; exit 77; }
