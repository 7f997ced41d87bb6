#!/usr/bin/env bash
# The maker's release command, run as a maker would: from two copies of this checkout in
# different folders, a moment apart, it must give byte-identical files, each at most 400 KiB;
# then with a throwaway CA's code-signing certificate, and release keys built into the
# updater (as a maker ships it), it signs and verifies both files, each still at most 400 KiB,
# and a one-byte change to a signed file must fail verification. The signed files are built in
# the first build's folder, kept for it: only what the keys change is compiled again.
#   release_test.sh SOURCE_DIR WORK_DIR
set -euo pipefail
unset TIDEWELL_RELEASE_BUILD_DIR   # each build below names its own
src=$1 work=$2
rm -rf "$work"
mkdir -p "$work"
copy() {   # the files of the checkout, as a fresh clone has them
  mkdir -p "$1"
  if git -C "$src" rev-parse --git-dir >/dev/null 2>&1; then
    git -C "$src" ls-files -z --cached --others --exclude-standard \
      | (cd "$src" && xargs -0 cp --parents -t "$1")
  else
    (cd "$src" && tar --exclude=./build --exclude=./release -cf - .) | tar -C "$1" -xf -
  fi
}
copy "$work/one/src"
copy "$work/another place/checkout"
TIDEWELL_RELEASE_BUILD_DIR="$work/one/build" "$work/one/src/scripts/release.sh" https://updates.example.com "$work/out-one"
sleep 2
"$work/another place/checkout/scripts/release.sh" https://updates.example.com "$work/out-two"
for f in Tidewell.exe RotelleCV.ocx SHA256SUMS; do
  cmp "$work/out-one/$f" "$work/out-two/$f" || { echo "FAIL: two builds of one commit differ in $f" >&2; exit 1; }
done
(cd "$work/out-one" && sha256sum -c --quiet SHA256SUMS)
for f in Tidewell.exe RotelleCV.ocx; do
  size=$(stat -c %s "$work/out-one/$f")
  [ "$size" -le 409600 ] || { echo "FAIL: $f is $size bytes, more than 400 KiB" >&2; exit 1; }
done
echo "two builds in different folders: identical files"

# A throwaway CA and a code-signing certificate it issued.
pki="$work/pki"
mkdir -p "$pki"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Throwaway Test CA" \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign \
  -keyout "$pki/ca.key" -out "$pki/ca.pem" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=Throwaway Code Signer" \
  -keyout "$pki/sign.key" -out "$pki/sign.csr" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' > "$pki/ext"
openssl x509 -req -in "$pki/sign.csr" -CA "$pki/ca.pem" -CAkey "$pki/ca.key" -CAcreateserial -days 2 \
  -extfile "$pki/ext" -out "$pki/sign.pem" 2>/dev/null
key=$(printf '0123456789abcdef%.0s' 1 2 3 4 5 6 7 8)
TIDEWELL_SIGN_CERT="$pki/sign.pem" TIDEWELL_SIGN_KEY="$pki/sign.key" TIDEWELL_SIGN_CA="$pki/ca.pem" \
  TIDEWELL_UPDATE_KEYS="1:$key,2:$key" TIDEWELL_RELEASE_BUILD_DIR="$work/one/build" "$work/one/src/scripts/release.sh" https://updates.example.com "$work/signed"
# Built again where the unsigned one was: it must be the build with the keys, not what was left.
grep -aq "Cle=2;$key" "$work/signed/Tidewell.exe" \
  || { echo "FAIL: the signed Tidewell.exe does not carry the release keys" >&2; exit 1; }
for f in Tidewell.exe RotelleCV.ocx; do
  size=$(stat -c %s "$work/signed/$f")
  [ "$size" -le 409600 ] || { echo "FAIL: the signed $f, with release keys, is $size bytes, more than 400 KiB" >&2; exit 1; }
  osslsigncode verify -CAfile "$pki/ca.pem" -in "$work/signed/$f" >/dev/null \
    || { echo "FAIL: the signed $f does not verify" >&2; exit 1; }
  cp "$work/signed/$f" "$work/tampered-$f"
  # One byte of code changed.
  printf '\x90' | dd of="$work/tampered-$f" bs=1 seek=2048 conv=notrunc status=none
  if osslsigncode verify -CAfile "$pki/ca.pem" -in "$work/tampered-$f" >/dev/null 2>&1; then
    echo "FAIL: a one-byte change to the signed $f still verifies" >&2
    exit 1
  fi
done
echo "signed with a throwaway certificate: both verify; a one-byte change is detected"
rm -rf "$work"
