#!/bin/bash
# Issues new CRLs for the CAs of a PKI made by make_pki.sh, from their own databases (so the
# revoked certificates stay revoked), when a CRL would be out of date: its next update is
# less than MARGIN_DAYS away or already past, or its this-update lies in the future (the
# clock was turned back).
#
#   refresh_crls.sh DIR RUN [MARGIN_DAYS]
#
# Prints "refreshed" when it issued new CRLs, "current" otherwise.
set -euo pipefail
DIR=$1
RUN=$2
margin=${3:-2}
cd "$DIR"

now=$(date -u +%s)
stale=0
for ca in root issuing offline_ca orphan_ca; do
    this=$(date -u -d "$(openssl crl -in "$ca.crl.pem" -noout -lastupdate | cut -d= -f2)" +%s)
    next=$(date -u -d "$(openssl crl -in "$ca.crl.pem" -noout -nextupdate | cut -d= -f2)" +%s)
    if [ "$this" -gt "$now" ] || [ "$next" -lt $((now + margin * 86400)) ]; then
        stale=1
    fi
done
if [ $stale -eq 0 ]; then
    echo current
    exit 0
fi
for ca in root issuing offline_ca orphan_ca; do
    openssl ca -batch -config "work/$ca/ca.cnf" -gencrl -out "$ca.crl.pem" 2>"work/$ca.crl.log"
    openssl crl -in "$ca.crl.pem" -outform DER -out "$ca.crl"
    cp "$ca.crl" "www/$RUN/$ca.crl"
done
cp issuing.crl "www/$RUN/late/issuing.crl"
echo refreshed
