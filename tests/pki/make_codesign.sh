#!/bin/bash
# Makes the throw-away code-signing certificate of test builds: a test root and, under it,
# a certificate for Authenticode signing. Both names say TEST; nothing trusts the root but
# the checks that name it explicitly (osslsigncode verify -CAfile).
#
#   make_codesign.sh DIR
#
# DIR/codesign-root.cert.pem, DIR/codesign.cert.pem, DIR/codesign.key.pem
set -euo pipefail
DIR=$1
mkdir -p "$DIR/work"
cd "$DIR"

ORG="Dossiq Test PKI"
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out work/root.key.pem 2>/dev/null
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out work/codesign.key.pem 2>/dev/null

cat >work/ext.cnf <<EOF
[ root ]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[ leaf ]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
EOF

# Twenty years: a build folder never outlives its test certificate.
openssl x509 -req -in <(openssl req -new -utf8 -key work/root.key.pem \
        -subj "/O=$ORG/CN=Dossiq TEST Code Signing Root (not trusted)") \
    -key work/root.key.pem -days 7300 -sha256 -extfile work/ext.cnf -extensions root \
    -out work/root.cert.pem 2>/dev/null
openssl req -new -utf8 -key work/codesign.key.pem \
    -subj "/O=$ORG/CN=Dossiq TEST code signing certificate (do not ship)" -out work/codesign.csr
openssl x509 -req -in work/codesign.csr -CA work/root.cert.pem -CAkey work/root.key.pem \
    -set_serial "0x$(openssl rand -hex 8)" -days 7300 -sha256 \
    -extfile work/ext.cnf -extensions leaf -out work/codesign.cert.pem 2>/dev/null

# The outputs appear only when all three are complete.
mv work/codesign.key.pem codesign.key.pem
mv work/root.cert.pem codesign-root.cert.pem
mv work/codesign.cert.pem codesign.cert.pem
