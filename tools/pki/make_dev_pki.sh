#!/usr/bin/env bash
# Makes the development PKI once, under the build directory:
#
#   tools/pki/make_dev_pki.sh OUTPUT_DIR
#
# Nothing here is ever committed; a build directory gets its own keys the
# first time it is configured, and OUTPUT_DIR/stamp marks a finished run
# (delete the directory to make new ones). Layout (docs in README.md):
#
#   trusted_list/key0.pem .. key9.pem  RSA-1024 keys that sign trusted lists
#   trusted_list/keys.txt              their public halves, one Base64 DER
#                                      SubjectPublicKeyInfo a line (key 0
#                                      first): the default build's built-in
#                                      keys
#   code_signing/root.pem              development root (self-signed)
#   code_signing/ca.pem                issuing CA, signed by the root
#   code_signing/signer.{pem,key}      code signer, SHA-256 certificate
#   code_signing/signer_sha1.{pem,key} code signer, SHA-1 certificate
#   code_signing/*_chain.pem           signer, CA and root, for osslsigncode
#   code_signing/forger_*              a home-made chain with the same names
#                                      and serial numbers as the development
#                                      CA and signer, but its own keys
#   code_signing/ids.txt               "<name> <certificate id, Base64>
#                                      <SHA-256 of the public key, hex>"
#   tls/ca.pem                         CA of the local HTTPS services
#   tls/localhost.{pem,key}            server certificate for "localhost"
#   tls/localhost_chain.pem            server certificate followed by the CA
set -euo pipefail

out=${1:?usage: make_dev_pki.sh OUTPUT_DIR}
[ -f "$out/stamp" ] && exit 0
rm -rf "$out.tmp"
mkdir -p "$out.tmp"
cd "$out.tmp"
mkdir trusted_list code_signing tls
export OPENSSL_CONF=/dev/null

quiet() { "$@" >/dev/null 2>&1 || { echo "make_dev_pki: failed: $*" >&2; "$@"; exit 1; }; }

# Keys of the trusted lists.
: >trusted_list/keys.txt
for n in 0 1 2 3 4 5 6 7 8 9; do
  quiet openssl genrsa -out "trusted_list/key$n.pem" 1024
  openssl pkey -in "trusted_list/key$n.pem" -pubout -outform DER 2>/dev/null |
    base64 -w0 >>trusted_list/keys.txt
  echo >>trusted_list/keys.txt
done

# A serial number of 16 random bytes whose first byte keeps the number
# positive and is never 0 (so the DER integer has no padding byte).
serial() { printf '%02X%s' $((0x10 + RANDOM % 0x60)) "$(openssl rand -hex 15)"; }

cat >ext.cnf <<'EOF'
[root]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[ca]
basicConstraints = critical, CA:true, pathlen:0
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[code_signer]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[tls_server]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
EOF

# cert NAME SUBJECT ISSUER_NAME EXTENSION DIGEST SERIAL [KEY_BITS]
# Makes NAME.key and NAME.pem; ISSUER_NAME "self" makes a self-signed one.
cert() {
  local name=$1 subject=$2 issuer=$3 ext=$4 digest=$5 serial=$6 bits=${7:-2048}
  quiet openssl genrsa -out "$name.key" "$bits"
  quiet openssl req -new -key "$name.key" -subj "$subject" -out "$name.csr"
  if [ "$issuer" = self ]; then
    quiet openssl x509 -req -in "$name.csr" -signkey "$name.key" -days 7300 \
      "-$digest" -set_serial "0x$serial" -extfile ext.cnf -extensions "$ext" \
      -out "$name.pem"
  else
    quiet openssl x509 -req -in "$name.csr" -CA "$issuer.pem" \
      -CAkey "$issuer.key" -days 7300 "-$digest" -set_serial "0x$serial" \
      -extfile ext.cnf -extensions "$ext" -out "$name.pem"
  fi
  rm -f "$name.csr"
}

cd code_signing
cp ../ext.cnf .
root_subject="/O=Zarvex Development/CN=Zarvex Development Root"
ca_subject="/O=Zarvex Development/CN=Zarvex Development Code Signing CA"
signer_subject="/O=Zarvex Development/CN=Zarvex Development Code Signer"
ca_serial=$(serial)
signer_serial=$(serial)
cert root "$root_subject" self root sha256 "$(serial)"
cert ca "$ca_subject" root ca sha256 "$ca_serial"
cert signer "$signer_subject" ca code_signer sha256 "$signer_serial"
cert signer_sha1 "/O=Zarvex Development/CN=Zarvex Development SHA-1 Signer" \
  ca code_signer sha1 "$(serial)"
# The forger copies names and serial numbers; only the keys are its own.
cert forger_root "$root_subject" self root sha256 "$(serial)"
cert forger_ca "$ca_subject" forger_root ca sha256 "$ca_serial"
cert forger_signer "$signer_subject" forger_ca code_signer sha256 \
  "$signer_serial"
rm -f ext.cnf root.key forger_root.key
for s in signer signer_sha1; do cat "$s.pem" ca.pem root.pem >"${s}_chain.pem"; done
cat forger_signer.pem forger_ca.pem forger_root.pem >forger_signer_chain.pem

# Certificate id: the issuer's serial number, then the signer's, both most
# significant byte first; pub_key: SHA-256 of the signer's raw public key
# (the DER RSAPublicKey inside the certificate's key bit string).
serial_hex() { openssl x509 -in "$1" -noout -serial | sed 's/^serial=//'; }
: >ids.txt
for s in signer signer_sha1 forger_signer; do
  issuer=ca
  [ "$s" = forger_signer ] && issuer=forger_ca
  id=$(printf '%s%s' "$(serial_hex "$issuer.pem")" "$(serial_hex "$s.pem")" |
    xxd -r -p | base64 -w0)
  digest=$(openssl x509 -in "$s.pem" -noout -pubkey |
    openssl rsa -pubin -RSAPublicKey_out -outform DER 2>/dev/null |
    sha256sum | cut -d' ' -f1)
  echo "$s $id $digest" >>ids.txt
done
cd ..

# TLS for the local services: its own CA and a server certificate.
cd tls
cp ../ext.cnf .
cert ca "/O=Zarvex Development/CN=Zarvex Development TLS CA" self root sha256 "$(serial)"
cert localhost "/O=Zarvex Development/CN=localhost" ca tls_server sha256 "$(serial)"
rm -f ext.cnf
cat localhost.pem ca.pem >localhost_chain.pem
cd ..

rm -f ext.cnf
date -u +%FT%TZ >stamp
cd ..
rm -rf "$out"
mv "$out.tmp" "$out"
