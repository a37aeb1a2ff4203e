#!/usr/bin/env bash
# Makes the Windows plug-in ready to ship, in place: strips it (when given a strip program) and
# signs it with Authenticode (SHA-256) when TIDELOOM_SIGN_PKCS12 names a code-signing certificate.
#   TIDELOOM_SIGN_PKCS12=cert.p12 TIDELOOM_SIGN_PASSWORD=… [TIDELOOM_SIGN_TIMESTAMP_URL=…] \
#     scripts/sign_plugin.sh PLUGIN [STRIP]
# On any failure the plug-in stays as it was and nothing is left beside it.
set -euo pipefail
plugin=$1
strip=${2:-}
p12=${TIDELOOM_SIGN_PKCS12:-}
export TIDELOOM_SIGN_PASSWORD=${TIDELOOM_SIGN_PASSWORD-}
fail() { echo "sign_plugin: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work" "$plugin.signing"' EXIT

if [ -n "$p12" ]; then
  [ -r "$p12" ] && [ -f "$p12" ] || fail "cannot read the code-signing certificate $p12"
  # -legacy also opens certificates exported with the older PKCS#12 ciphers Windows still uses.
  openssl pkcs12 -legacy -in "$p12" -passin env:TIDELOOM_SIGN_PASSWORD -nokeys -clcerts \
    -out "$work/certificate.pem" 2>/dev/null ||
    fail "cannot open $p12: wrong password, or not a PKCS#12 file"
  openssl x509 -in "$work/certificate.pem" -noout -ext extendedKeyUsage 2>/dev/null |
    grep -q 'Code Signing' ||
    fail "the certificate in $p12 is not for code signing (its extended key usage lacks Code Signing)"
fi

# Each step works on a copy in $work; the plug-in is replaced once, by renaming a whole file over
# it, so that a program that has it loaded, or reads it at that moment, never sees half a file.
cp "$plugin" "$work/plugin"
# A signature left by an earlier run goes first: stripping a signed file keeps a certificate table
# pointing past its end, and an unsigned package must not carry an old signature.
if osslsigncode remove-signature -in "$work/plugin" -out "$work/unsigned" >/dev/null 2>&1; then
  mv "$work/unsigned" "$work/plugin"
fi
[ -z "$strip" ] || "$strip" "$work/plugin"

if [ -n "$p12" ]; then
  timestamp=()
  [ -z "${TIDELOOM_SIGN_TIMESTAMP_URL:-}" ] || timestamp=(-ts "$TIDELOOM_SIGN_TIMESTAMP_URL")
  # The password travels on a pipe, never on a command line that other users can list.
  printf '%s' "$TIDELOOM_SIGN_PASSWORD" |
    osslsigncode sign -pkcs12 "$p12" -readpass - -h sha256 -n TideLoom "${timestamp[@]}" \
      -in "$work/plugin" -out "$work/signed" >"$work/log" 2>&1 ||
    fail "osslsigncode could not sign $plugin: $(tr '\n' ' ' <"$work/log")"
  # Trust in the certificate's root is for the user's machine to judge; here the signature must
  # cover exactly these bytes.
  digests=$({ osslsigncode verify -in "$work/signed" 2>/dev/null || true; } |
            sed -n 's/^\(Current\|Calculated\) message digest *: *\([0-9A-F]*\).*/\2/p' | sort -u)
  [ -n "$digests" ] && [ "$(wc -l <<<"$digests")" -eq 1 ] ||
    fail "the signature osslsigncode made does not match $plugin"
  mv "$work/signed" "$work/plugin"
fi

cmp -s "$work/plugin" "$plugin" || {
  cp "$work/plugin" "$plugin.signing"
  chmod --reference="$plugin" "$plugin.signing"
  mv -f "$plugin.signing" "$plugin"
}
name=$(basename "$plugin")
if [ -n "$p12" ]; then
  echo "$name signed with $(openssl x509 -in "$work/certificate.pem" -noout -subject)"
else
  echo "$name is unsigned: set TIDELOOM_SIGN_PKCS12 and TIDELOOM_SIGN_PASSWORD to sign it"
fi
