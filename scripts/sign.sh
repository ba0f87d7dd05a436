#!/usr/bin/env bash
# Signs Windows binaries in place (Authenticode, SHA-256) with osslsigncode:
#   TAV_SIGN_PKCS12=FILE TAV_SIGN_PASSWORD_ENV=NAME [TAV_SIGN_TIMESTAMP_URL=URL] \
#     scripts/sign.sh FILE...
# NAME is the environment variable that holds the PKCS#12 password (empty: the
# file has none). The password reaches osslsigncode on its standard input,
# never on a command line, where other users of the machine could read it.
# The DLLs, the programs, the NSIS installers and the MSI packages all sign the same way.
set -euo pipefail
: "${TAV_SIGN_PKCS12:?names no PKCS#12 file}"
[ -r "$TAV_SIGN_PKCS12" ] || { echo "sign.sh: cannot read $TAV_SIGN_PKCS12" >&2; exit 1; }
name=${TAV_SIGN_PASSWORD_ENV:-}
if [ -n "$name" ] && [ -z "${!name+set}" ]; then
  echo "sign.sh: the password variable $name (TAV_SIGN_PASSWORD_ENV) is not set" >&2
  exit 1
fi
password=${name:+${!name}}
args=(sign -pkcs12 "$TAV_SIGN_PKCS12" -h sha256)
[ -z "$password" ] || args+=(-readpass -)
[ -z "${TAV_SIGN_TIMESTAMP_URL:-}" ] || args+=(-ts "$TAV_SIGN_TIMESTAMP_URL")
for file in "$@"; do
  # Signing again replaces the signature, so a file may come back here.
  if ! printf '%s' "$password" |
       osslsigncode "${args[@]}" -n "$(basename "$file")" -in "$file" -out "$file.signed" >/dev/null; then
    rm -f "$file.signed"
    echo "sign.sh: could not sign $file" >&2
    exit 1
  fi
  mv -f "$file.signed" "$file"
  echo "signed $file"
done
