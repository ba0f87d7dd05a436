#!/usr/bin/env bash
# Signing as a build step. A throw-away CA and code-signing certificate are
# made with openssl; the release script builds the x64 set signed with them,
# the PKCS#12 password in an environment variable. Every DLL, program and
# installer in the archive must verify against the CA (an unsigned one must
# not), the password must stand in no file of the build, and the signed
# programs must still run under Wine: tavsetup.exe with the signed DLL, the
# installer, which writes a signed uninstaller. The release
# build of wine-reproducible.sh, when there, is reused: only the stage and the
# installers are made again.
set -uo pipefail
for tool in openssl osslsigncode zip unzip; do
  command -v $tool >/dev/null 2>&1 || { echo "skipped: $tool is not installed"; exit 77; }
done
src=$TAV_SOURCE_DIR
run=$src/scripts/wine-run.sh
release=$TAV_BUILD_DIR/release
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
. "$(dirname "$0")/e2e-lib.sh"  # e2e_report

cd "$work" || exit 1
cat > signer.ext <<'EOF'
basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=codeSigning
EOF
export TAV_TEST_SIGN_PASSWORD="test-$RANDOM-$RANDOM-$$"
{ openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=TAVNOVU test CA" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign &&
  openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj "/CN=TAVNOVU test signer" &&
  openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out signer.pem -days 2 \
    -extfile signer.ext &&
  openssl pkcs12 -export -inkey signer.key -in signer.pem -out signer.p12 -passout env:TAV_TEST_SIGN_PASSWORD
} >openssl.log 2>&1 || { cat openssl.log; echo "openssl could not make the certificates"; exit 1; }

TAV_SIGN_PKCS12=$work/signer.p12 TAV_SIGN_PASSWORD_ENV=TAV_TEST_SIGN_PASSWORD TAV_RELEASE_ARCHS=x64 \
  TAV_RELEASE_BUILD=$release TAV_RELEASE_DIST=$work/dist bash "$src/scripts/release.sh" >release.log 2>&1
e2e_report "signed release build" $? || { cat release.log; exit 1; }
unzip -q dist/*.zip -d unpacked && cd unpacked/* || exit 1

signed=(x64/TAVNOVU.dll x64/tavsetup.exe x64/tavdiscover.exe installers/agents-x64.exe installers/agents-x64.msi)
for file in "${signed[@]}"; do
  [ -f "$file" ] || { [[ $file == installers/* ]] && continue; }  # an installer whose tool is missing
  osslsigncode verify -CAfile "$work/ca.pem" -in "$file" >"$work/verify.log" 2>&1
  e2e_report "$file verifies" $? || cat "$work/verify.log"
done
! osslsigncode verify -CAfile "$work/ca.pem" -in "$TAV_BUILD_DIR/stage/bin/TAVNOVU.dll" >/dev/null 2>&1
e2e_report "an unsigned DLL does not verify" $?

! grep -rlF "$TAV_TEST_SIGN_PASSWORD" "$release/x64" "$work/release.log"
e2e_report "the password stands in no file of the build" $?

# The signed tavsetup.exe loads the signed DLL beside it and calls TavSetUp
# with skip set; the signed installer installs, and writes a signed uninstaller.
export WINEPREFIX=$TAV_BUILD_DIR/wine-signing
rm -rf "$WINEPREFIX"
[ "$("$run" x64/tavsetup.exe --version | tr -d '\r')" = "tavsetup $TAV_VERSION" ] &&
  (cd x64 && "$run" tavsetup.exe --skip setup.log oracle 3.01)
e2e_report "signed programs run under Wine" $?
if [ -f installers/agents-x64.exe ]; then
  "$run" installers/agents-x64.exe /S /SKIPCONFIG '/D=C:\Agents' &&
    osslsigncode verify -CAfile "$work/ca.pem" -in "$WINEPREFIX/drive_c/Agents/uninstall.exe" >/dev/null 2>&1
  e2e_report "the signed installer writes a signed uninstaller" $?
fi
/usr/lib/wine/wineserver -w 2>/dev/null || true
exit $status
