#!/usr/bin/env bash
# Builds the release in BUILD/release (Release, no tests) and leaves Ombrix.exe in dist/ (or in
# OMBRIX_DIST): stripped, static, importing Windows' own DLLs only, the same bytes from every
# clean checkout of one commit. Prints its size, its imports and its SHA-256, also written
# beside it. With SIGN_PFX it is signed with that certificate (the password in SIGN_PASSWORD,
# a time-stamp server in SIGN_TIMESTAMP if any), and the unsigned file stays as
# Ombrix-unsigned.exe. A release that fails leaves none of these files behind.
set -euo pipefail
BUILD_DIR=${1:-build}
ROOT=$(realpath "$(dirname "$0")/..")
DIST=${OMBRIX_DIST:-$ROOT/dist}
STAGE=$BUILD_DIR/release/stage
# The password goes to osslsigncode alone, through a pipe: never on a command line, nor in the
# environment of the compilers.
password=${SIGN_PASSWORD-}
unset SIGN_PASSWORD

# Ends the release with a message.
fail() {
    echo "release: $*" >&2
    exit 1
}

rm -f "$DIST"/Ombrix{,-unsigned}.exe{,.sha256}
if [[ -n ${SIGN_PFX:-} ]]; then
    [[ -f $SIGN_PFX && -r $SIGN_PFX ]] || fail "cannot read the certificate SIGN_PFX=$SIGN_PFX"
    [[ -n $password ]] || fail "SIGN_PASSWORD is empty: export the certificate's password in it"
fi
rm -rf "$STAGE"
# Stripped by the linker (-s): strip would stamp the time again, and the linker leaves the file
# a whole number of file-alignment blocks with its checksum right, so that signing only appends
# and removing the signature gives these bytes back.
cmake -S "$ROOT" -B "$BUILD_DIR/release" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DCMAKE_EXE_LINKER_FLAGS=-s >/dev/null
cmake --build "$BUILD_DIR/release" --target Ombrix -j "$(nproc)" >/dev/null
mkdir -p "$STAGE"
cp "$BUILD_DIR/release/Ombrix.exe" "$STAGE/"
echo "release: Ombrix.exe, $(stat -c %s "$STAGE/Ombrix.exe") bytes; it imports:"
"$ROOT/tools/imports.sh" "$STAGE/Ombrix.exe" | sed 's/^/  /'

# Signs into the stage, outside the output folder, so that a failure leaves no half-signed file.
if [[ -n ${SIGN_PFX:-} ]]; then
    mv "$STAGE/Ombrix.exe" "$STAGE/Ombrix-unsigned.exe"
    timestamp=()
    if [[ -n ${SIGN_TIMESTAMP:-} ]]; then timestamp=(-ts "$SIGN_TIMESTAMP"); fi
    if ! osslsigncode sign -pkcs12 "$SIGN_PFX" -readpass <(printf '%s' "$password") -h sha256 \
        -n Ombrix "${timestamp[@]}" -in "$STAGE/Ombrix-unsigned.exe" -out "$STAGE/Ombrix.exe" \
        >"$STAGE/sign.log" 2>&1; then
        sed 's/^/  /' "$STAGE/sign.log" >&2
        fail "cannot sign with $SIGN_PFX (osslsigncode's words above): is SIGN_PASSWORD its" \
            "password, is it a PKCS#12 file with the key${SIGN_TIMESTAMP:+, does $SIGN_TIMESTAMP answer}?"
    fi
    echo "release: signed with $SIGN_PFX (Authenticode, SHA-256)"
fi

echo "release: in $DIST, with their SHA-256 beside them (NAME.sha256):"
mkdir -p "$DIST"
for exe in "$STAGE"/Ombrix{,-unsigned}.exe; do
    [[ -f $exe ]] || continue
    (cd "$STAGE" && sha256sum "${exe##*/}" | tee "${exe##*/}.sha256") | sed 's/^/  /'
    mv "$exe.sha256" "$exe" "$DIST/"
done
