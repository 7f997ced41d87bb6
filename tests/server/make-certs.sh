#!/usr/bin/env bash
# Makes the certificates of the local HTTPS test server in DIR, once:
#   ca.pem            a test CA that the Wine processes of the tests trust
#   server.pem/.key   localhost and 127.0.0.1, signed by that CA
#   rogue-*.pem/.key  a CA nobody trusts and a localhost certificate signed by it
#   bundle.pem        the system's roots plus the test CA, bind-mounted for Wine
# Keys are made at test time and never committed.
set -euo pipefail
dir=${1:?usage: make-certs.sh DIR}
mkdir -p "$dir"
exec 9>"$dir/.lock"
flock 9
[ -s "$dir/bundle.pem" ] && [ -s "$dir/server.pem" ] && [ -s "$dir/rogue-server.pem" ] && exit 0

cd "$dir"
ext=$(mktemp)
trap 'rm -f "$ext"' EXIT
printf '%s\n' "subjectAltName=DNS:localhost,IP:127.0.0.1" "extendedKeyUsage=serverAuth" \
  "basicConstraints=critical,CA:FALSE" "keyUsage=critical,digitalSignature,keyEncipherment" > "$ext"

make_ca() {   # name subject
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 30 -keyout "$1.key" -out "$1.pem" \
    -subj "/CN=$2" -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}
make_server() {   # name ca
  openssl req -newkey rsa:2048 -nodes -sha256 -keyout "$1.key" -out "$1.csr" \
    -subj "/CN=localhost" 2>/dev/null
  openssl x509 -req -sha256 -days 30 -in "$1.csr" -CA "$2.pem" -CAkey "$2.key" \
    -CAcreateserial -out "$1.pem" -extfile "$ext" 2>/dev/null
  rm -f "$1.csr"
}
make_ca ca "Tidewell Test CA"
make_server server ca
make_ca rogue-ca "Untrusted Test CA"
make_server rogue-server rogue-ca
cat /etc/ssl/certs/ca-certificates.crt ca.pem > bundle.tmp
mv bundle.tmp bundle.pem
