#!/bin/bash
# Checks what keeps scripts/demo from ageing: refresh_crls.sh issues new CRLs when the old
# ones would expire, or were issued "in the future" by a clock that has since been turned
# back, and leaves current ones alone; the new CRLs still list the revoked signer. OpenSSL,
# which refuses an expired CRL as Windows does, is the judge.
#
#   demo_pki_test.sh WORK_DIR
set -uo pipefail
work=$1
pki=$work/pki
refresh=$(cd "$(dirname "$0")/../pki" && pwd)/refresh_crls.sh
passed=0
failed=0
expect() {
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
fails() { ! "$@"; }
# verify NAME [FAKETIME]: the signer's chain with full CRL checking, at the (faked) time.
verify() {
    local at=()
    [ -n "${2:-}" ] && at=(faketime "$2")
    "${at[@]}" openssl verify -crl_check_all -CAfile "$pki/root.cert.pem" \
        -untrusted "$pki/issuing.cert.pem" -CRLfile "$pki/root.crl.pem" \
        -CRLfile "$pki/issuing.crl.pem" "$pki/$1.cert.pem" >/dev/null 2>&1
}
answer() { bash "$refresh" "$pki" demo "$@"; }
next_update() { openssl crl -in "$pki/$1" -inform "${2:-PEM}" -noout -nextupdate | cut -d= -f2; }

rm -rf "$work"
mkdir -p "$work"
bash "$(dirname "$refresh")/make_pki.sh" "$pki" http://127.0.0.1:9/demo http://127.0.0.1:9/dead demo >/dev/null

expect "the new PKI's qualified signer verifies with its CRLs" verify qualified
expect "the new PKI's revoked signer does not" fails verify revoked
expect "fresh CRLs are left alone" test "$(answer)" = current
expect "60 days on, the old CRLs have expired" fails verify qualified "+60 days"

expect "60 days on, the CRLs are issued anew" test "$(faketime '+60 days' bash "$refresh" "$pki" demo)" = refreshed
expect "60 days on, the qualified signer verifies with the new CRLs" verify qualified "+60 days"
expect "60 days on, the revoked signer is still revoked" fails verify revoked "+60 days"
expect "the served CRL is the new one" test "$(next_update www/demo/issuing.crl DER)" = "$(next_update issuing.crl.pem)"
expect "a CRL a day from expiring is issued anew" \
    test "$(faketime "+89 days" bash "$refresh" "$pki" demo)" = refreshed
expect "back at today's date, CRLs from the future are issued anew" test "$(answer)" = refreshed
expect "and verify today" verify qualified

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
