#!/bin/bash
# Gives a Windows program, library or MSI package an Authenticode SHA-256 signature.
#
#   sign.sh CERT KEY TIMESTAMP_URL IN [OUT]
#
# CERT holds the code-signing certificate (and any intermediates), KEY its private key, both
# PEM or DER. With a TIMESTAMP_URL (RFC 3161) the signature is time-stamped; with "-" it is
# not, and can be time-stamped later with "osslsigncode add -ts URL". Without OUT, IN is signed in
# place (how makensis finalizes its installer and uninstaller).
set -euo pipefail
cert=$1 key=$2 timestamp=$3 in=$4 out=${5:-$4}
tmp=$out.signing
args=(sign -h sha256 -certs "$cert" -key "$key" -n Dossiq -in "$in" -out "$tmp")
[ "$timestamp" != - ] && args+=(-ts "$timestamp")
rm -f "$tmp"
if ! osslsigncode "${args[@]}" >"$tmp.log" 2>&1; then
    cat "$tmp.log" >&2
    rm -f "$tmp" "$tmp.log"
    echo "sign.sh: signing $in failed" >&2
    exit 1
fi
rm -f "$tmp.log"
chmod --reference="$in" "$tmp"
mv -f "$tmp" "$out"
