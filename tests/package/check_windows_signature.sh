#!/usr/bin/env bash
# Signs the plug-in with a throw-away certificate from a root CA of our own, through the script the
# package uses, and checks what Windows and FileMaker would see: a signature that verifies against
# that root and breaks when a byte changes, an image otherwise unchanged that still loads, refusals
# that leave the file alone, and a package holding the very bytes signed in the build tree.
# Usage: check_windows_signature.sh PLUGIN FMHOST BUILD_DIR
set -euo pipefail
plugin=$(realpath "$1")
fmhost=$(realpath "$2")
build=$(realpath "$3")
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
sign=$root/scripts/sign_plugin.sh
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
strip=${STRIP:-x86_64-w64-mingw32-strip}
work=$(mktemp -d)
original=$work/original.fmx64
# Packaging signs the plug-in in bin in place; the test puts the build tree's bytes back.
cp -p "$plugin" "$original"
trap 'cp -p "$original" "$plugin.restore" && mv -f "$plugin.restore" "$plugin"; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$work"

quiet() { "$@" >/dev/null 2>&1; }
quiet openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=TideLoom Test Root" \
  -keyout ca.key -out ca.pem
certificate() { # NAME EXTENDED_KEY_USAGE
  quiet openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=TideLoom Test $1" \
    -CA ca.pem -CAkey ca.key -addext basicConstraints=CA:FALSE -addext "extendedKeyUsage=$2" \
    -keyout "$1.key" -out "$1.pem"
  quiet openssl pkcs12 -export -inkey "$1.key" -in "$1.pem" -out "$1.p12" -passout pass:s3cret
}
certificate signer codeSigning
certificate server serverAuth
signing() { TIDELOOM_SIGN_PKCS12=$work/signer.p12 TIDELOOM_SIGN_PASSWORD=s3cret "$@"; }
verifies() {
  local report
  report=$(osslsigncode verify -CAfile "$work/ca.pem" -in "$1" 2>&1) &&
    grep -q '^Message digest algorithm *: SHA256' <<<"$report"
}
# Everything the loader and FileMaker read but the checksum and the certificate table, and the
# resources holding the version.
image() {
  "$objdump" -p "$1" | tail -n +3 | grep -vE 'CheckSum|Security Directory'
  "$objdump" -s -j .rsrc "$1" | tail -n +3
}

mkdir signed
cp "$original" signed/TideLoom.fmx64
signing bash "$sign" signed/TideLoom.fmx64 >/dev/null || fail "signing a copy failed"
verifies signed/TideLoom.fmx64 || fail "the signature does not verify against its root"
[ "$(image "$original")" = "$(image signed/TideLoom.fmx64)" ] ||
  fail "signing changed the headers, export table or version resource"
version=$("$root/scripts/wine_run.sh" "$fmhost" --plugin "$work/signed/TideLoom.fmx64" \
  --solution "$root/examples/solutions/tideloom_demo.json" --eval 'TideLoom.Version' | tr -d '\r')
[ "$version" = 1.6.18 ] || fail "the signed plug-in answers TideLoom.Version with [$version]"

cp signed/TideLoom.fmx64 tampered.fmx64
offset=2048
byte=$(od -An -tu1 -j $offset -N1 tampered.fmx64 | tr -d ' ')
printf "\\$(printf %03o $((byte ^ 0xff)))" | dd of=tampered.fmx64 bs=1 seek=$offset conv=notrunc 2>/dev/null
! verifies tampered.fmx64 || fail "a byte changed after signing still verifies"

# Each refusal names its cause and leaves the plug-in as it was, still signed and unstripped,
# with nothing beside it.
while IFS='|' read -r p12 password message; do
  mkdir refused
  cp signed/TideLoom.fmx64 refused/
  if output=$(TIDELOOM_SIGN_PKCS12=$p12 TIDELOOM_SIGN_PASSWORD=$password \
                bash "$sign" refused/TideLoom.fmx64 "$strip" 2>&1); then
    fail "signing with $p12 ($password) succeeded"
  fi
  [[ $output == *"$message"* ]] || fail "signing with $p12 said [$output], expected [$message]"
  cmp -s signed/TideLoom.fmx64 refused/TideLoom.fmx64 || fail "a refused signing with $p12 changed the file"
  [ "$(ls refused)" = TideLoom.fmx64 ] || fail "a refused signing left $(ls refused)"
  rm -r refused
done <<EOF
signer.p12|wrong|cannot open signer.p12: wrong password, or not a PKCS#12 file
missing.p12|s3cret|cannot read the code-signing certificate missing.p12
ca.pem|s3cret|cannot open ca.pem: wrong password, or not a PKCS#12 file
server.p12|s3cret|the certificate in server.p12 is not for code signing
EOF

# The package takes the plug-in signed in bin, byte for byte; without a certificate it says so and
# carries no signature, not even one left by the signed run before it.
unpacked() {
  rm -rf unpacked && mkdir unpacked
  (cd unpacked && cmake -E tar xf ../package/TideLoom-1.6.18-windows-x64.zip)
  echo unpacked/TideLoom-1.6.18-windows-x64/TideLoom.fmx64
}
signing cpack --config "$build/CPackConfig.cmake" -B "$work/package" >cpack.log 2>&1 ||
  fail "signed packaging failed: $(cat cpack.log)"
packed=$(unpacked)
cmp -s "$packed" "$plugin" || fail "the packed plug-in differs from $plugin"
verifies "$packed" || fail "the packed plug-in does not verify"
cpack --config "$build/CPackConfig.cmake" -B "$work/package" >cpack.log 2>&1 ||
  fail "unsigned packaging failed: $(cat cpack.log)"
grep -qx 'TideLoom.fmx64 is unsigned: .*' cpack.log || fail "unsigned packaging did not say so"
packed=$(unpacked)
"$objdump" -p "$packed" | grep -E '^Entry 4 0+ 0+ Security Directory' >/dev/null ||
  fail "the unsigned package's plug-in has a certificate table"
cmp -s "$packed" "$plugin" || fail "the unsigned packed plug-in differs from $plugin"
echo "TideLoom.fmx64: signature verifies, tampering detected, package holds the signed plug-in"
