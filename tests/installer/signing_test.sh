#!/bin/bash
# Checks the Authenticode signatures of everything that ships with osslsigncode: each file
# verifies with a SHA-256 signature, and the check does catch an unsigned file, a changed
# byte, and (with the test certificate) a signer that nothing trusts.
#
#   signing_test.sh CAFILE UNSIGNED WORK_DIR SIGNED...
#
# CAFILE is the root of the test certificate, or "-" for a real certificate (the system's
# trusted roots apply). UNSIGNED is a binary as the linker left it.
set -uo pipefail
cafile=$1
unsigned=$2
work=$3
shift 3

passed=0
failed=0
expect() { # expect DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what"
        passed=$((passed + 1))
    else
        echo "FAIL: $what"
        failed=$((failed + 1))
    fi
}
verify() { # verify FILE [CAFILE]: osslsigncode's verdict, its report in $work/verify.txt
    local ca=${2:-$cafile}
    local args=(verify -in "$1")
    [ "$ca" != - ] && args+=(-CAfile "$ca")
    osslsigncode "${args[@]}" >"$work/verify.txt" 2>&1
}
fails() { ! "$@"; }

rm -rf "$work"
mkdir -p "$work"
for file in "$@"; do
    name=$(basename "$file")
    expect "$name is signed and verifies" verify "$file"
    expect "$name has a SHA-256 signature" grep -q '^Message digest algorithm *: SHA256' "$work/verify.txt"
    if [ "$cafile" != - ]; then
        expect "$name names its signer a TEST certificate" \
            grep -q 'Subject: .*CN=Dossiq TEST code signing certificate' "$work/verify.txt"
    fi
done

# The check itself: a file as the linker left it, and one changed byte in a signed program
# and in the signed package, must fail.
expect "an unsigned binary fails the check" fails verify "$unsigned"
for file in "$@"; do
    case $file in *.exe | *.msi) ;; *) continue ;; esac
    name=$(basename "$file")
    cp "$file" "$work/tampered-$name"
    size=$(stat -c %s "$file")
    python3 - "$work/tampered-$name" $((size / 2)) <<'PY'
import sys
with open(sys.argv[1], "r+b") as f:
    f.seek(int(sys.argv[2]))
    byte = f.read(1)
    f.seek(int(sys.argv[2]))
    f.write(bytes([byte[0] ^ 0x5A]))
PY
    expect "$name with one changed byte fails the check" fails verify "$work/tampered-$name"
done
if [ "$cafile" != - ]; then
    # Only the explicitly named test root makes a test signature verify.
    expect "the test signature is not trusted by the system's roots" \
        fails verify "$1" /etc/ssl/certs/ca-certificates.crt
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
