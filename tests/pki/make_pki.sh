#!/bin/bash
# Builds a fresh test PKI with the OpenSSL command line.
#
#   make_pki.sh DIR BASE_URL DEAD_URL RUN
#
# DIR      output folder (created); CRLs go to DIR/www/RUN/, which the CRL server serves
# BASE_URL where DIR/www/RUN/ is served, e.g. http://127.0.0.1:PORT/RUN
# DEAD_URL an address that nothing serves, for the "revocation data unreachable" cases
# RUN      tag of this run, part of every CA name so that runs never share an issuer
#
# Per certificate NAME: NAME.cert.pem, NAME.key.pem, NAME.pvk (the private key
# as a CryptoAPI PRIVATEKEYBLOB after a 24-byte PVK header). Per CA also NAME.crl (DER, the
# served copy lives in www/RUN/) and NAME.crl.pem. trusted-chain.pem holds the root and the
# installed intermediates (for openssl -CAfile). manifest.txt lists "NAME STORES", STORES
# being the comma-separated current-user system stores the certificate goes into ("-": none).
set -euo pipefail

DIR=$1
BASE_URL=$2
DEAD_URL=$3
RUN=$4

mkdir -p "$DIR/www/$RUN" "$DIR/work"
cd "$DIR"
: >manifest.txt

ORG="Dossiq Test PKI"
NOW_MINUS_DAY=$(date -u -d '-1 day' +%Y%m%d%H%M%SZ)
TWO_YEARS=$(date -u -d '+2 years' +%Y%m%d%H%M%SZ)
CA_START=20190101000000Z
CA_END=20401231000000Z

# Keys are generated up front, two at a time. The CAs, the qualified signer and the
# recipients, which later tests use with OpenSSL, get 2048 bits; the many variants that only
# the chain and name checks look at get 1024 bits, which is several times faster to make.
genkey() { # NAME BITS
    openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:$2 -out "$1.key.pem" 2>/dev/null
    openssl rsa -in "$1.key.pem" -outform PVK -pvk-none -out "$1.pvk" 2>/dev/null
}

STRONG="root issuing offline_ca orphan_ca qualified
     recipient_ab recipient_tp recipient_both recipient_no_ke"
VARIANTS="qualified_reversed qualified_others qc_compliance_only no_qc
     no_nonrepudiation no_key_usage ds_nr_ke key_cert_sign critical_unknown
     name_two_words name_trailing_space name_hyphen_inside name_leading_hyphen
     name_hyphenated_first name_single_word no_cn
     qc_malformed expired expired_untrusted self_signed partial revoked crl_dead
     offline_ca_signer crl_late recipient_expired recipient_revoked recipient_untrusted tsa
     tsa_untrusted tsa_revoked tsa_two_usages tsa_not_critical tsa_crl_dead
     ocsp_signer ocsp_revoked ocsp_responder ocsp_responder_check ocsp_no_usage
     aia_ca aia_signer aia_ldap"
running=0
for name in $STRONG $VARIANTS; do
    bits=1024
    case " $STRONG " in *" $name "*) bits=2048 ;; esac
    genkey "$name" $bits &
    running=$((running + 1))
    if [ $running -ge 2 ]; then
        wait -n
        running=$((running - 1))
    fi
done
wait

# One openssl ca database per CA; "self" signs the self-signed certificates.
ca_config() { # CA
    local ca=$1
    mkdir -p "work/$ca/newcerts"
    touch "work/$ca/index.txt"
    openssl rand -hex 8 | sed 's/^./4/' >"work/$ca/serial"
    echo 1000 >"work/$ca/crlnumber"
    # Relative to the kit's folder (the current one): openssl ca refuses database file
    # names over 255 characters, which a prefix in a deep build folder reaches.
    cat >"work/$ca/ca.cnf" <<EOF
[ ca ]
default_ca = this_ca
[ this_ca ]
dir = work/$ca
database = \$dir/index.txt
new_certs_dir = \$dir/newcerts
serial = \$dir/serial
crlnumber = \$dir/crlnumber
certificate = $ca.cert.pem
private_key = $ca.key.pem
default_md = sha256
default_crl_days = 30
policy = any_name
unique_subject = no
email_in_dn = yes
utf8 = yes
string_mask = utf8only
[ any_name ]
commonName = optional
emailAddress = optional
organizationName = optional
organizationalUnitName = optional
countryName = optional
serialNumber = optional
EOF
}

cat >work/req.cnf <<EOF
[ req ]
distinguished_name = dn
string_mask = utf8only
utf8 = yes
prompt = no
[ dn ]
CN = unused
EOF

# Extension sections shared by the certificates; each certificate's own section pulls
# from them.
cat >work/common.cnf <<EOF
[ qc_both ]
s1 = SEQUENCE:qc_compliance
s2 = SEQUENCE:qc_sscd
[ qc_reversed ]
s1 = SEQUENCE:qc_sscd
s2 = SEQUENCE:qc_compliance
[ qc_others ]
s1 = SEQUENCE:qc_syntax_v2
s2 = SEQUENCE:qc_sscd
s3 = SEQUENCE:qc_retention
s4 = SEQUENCE:qc_compliance
s5 = SEQUENCE:qc_type
[ qc_compliance_only ]
s1 = SEQUENCE:qc_compliance
s2 = SEQUENCE:qc_retention
[ qc_compliance ]
id = OID:0.4.0.1862.1.1
[ qc_sscd ]
id = OID:0.4.0.1862.1.4
[ qc_retention ]
id = OID:0.4.0.1862.1.3
years = INTEGER:10
[ qc_type ]
id = OID:0.4.0.1862.1.6
types = SEQUENCE:qc_type_list
[ qc_type_list ]
esign = OID:0.4.0.1862.1.6.1
[ qc_syntax_v2 ]
id = OID:1.3.6.1.5.5.7.11.2
info = SEQUENCE:qc_semantics
[ qc_semantics ]
natural_person = OID:0.4.0.194121.1.1
EOF

# issue NAME ISSUER SUBJECT START END EXTENSION-LINES...
# ISSUER "self" makes a self-signed certificate.
issue() {
    local name=$1 issuer=$2 subject=$3 start=$4 end=$5
    shift 5
    {
        cat work/common.cnf
        echo "[ ext ]"
        printf '%s\n' "$@"
    } >"work/$name.ext"
    openssl req -new -config work/req.cnf -utf8 -key "$name.key.pem" -subj "$subject" \
        -out "work/$name.csr"
    if [ "$issuer" = self ]; then
        ca_config "$name"
        openssl ca -batch -preserveDN -config "work/$name/ca.cnf" -selfsign -keyfile "$name.key.pem" \
            -in "work/$name.csr" -out "$name.cert.pem" -startdate "$start" -enddate "$end" \
            -extfile "work/$name.ext" -extensions ext -notext 2>"work/$name.log"
    else
        openssl ca -batch -preserveDN -config "work/$issuer/ca.cnf" -in "work/$name.csr" \
            -out "$name.cert.pem" -startdate "$start" -enddate "$end" \
            -extfile "work/$name.ext" -extensions ext -notext 2>"work/$name.log"
    fi
}

manifest() { echo "$1 $2" >>manifest.txt; }

CA_EXT=("basicConstraints = critical, CA:true" "keyUsage = critical, keyCertSign, cRLSign"
    "subjectKeyIdentifier = hash" "authorityKeyIdentifier = keyid")
ROOT_EXT=("basicConstraints = critical, CA:true" "keyUsage = critical, keyCertSign, cRLSign"
    "subjectKeyIdentifier = hash")

# The trusted hierarchy: a root in "Root", two intermediates in "CA". The offline CA's own
# revocation data is unreachable.
issue root self "/O=$ORG/CN=Dossiq Test Root CA $RUN" $CA_START $CA_END "${ROOT_EXT[@]}"
manifest root Root
ca_config root
issue issuing root "/O=$ORG/CN=Dossiq Test Qualified CA $RUN" $CA_START $CA_END "${CA_EXT[@]}" \
    "crlDistributionPoints = URI:$BASE_URL/root.crl"
manifest issuing CA
ca_config issuing
issue offline_ca root "/O=$ORG/CN=Dossiq Test Offline CA $RUN" $CA_START $CA_END "${CA_EXT[@]}" \
    "crlDistributionPoints = URI:$DEAD_URL/root.crl"
manifest offline_ca CA
ca_config offline_ca
# Installed nowhere: whatever it issues has a partial chain.
issue orphan_ca self "/O=$ORG/CN=Dossiq Test Orphan CA $RUN" $CA_START $CA_END "${ROOT_EXT[@]}"
ca_config orphan_ca

MARKO="Marko Marković 1234567"
# signer NAME ISSUER CN-or-empty OU EXTRA-LINES...: a signer in "My" with e-mail address,
# valid from yesterday for two years.
signer() {
    local name=$1 issuer=$2 cn=$3 ou=$4
    shift 4
    local subject="/C=RS/O=$ORG/OU=$ou"
    [ -n "$cn" ] && subject="$subject/CN=$cn"
    subject="$subject/emailAddress=$name@dossiq.test"
    issue "$name" "$issuer" "$subject" "$NOW_MINUS_DAY" "$TWO_YEARS" \
        "subjectKeyIdentifier = hash" "authorityKeyIdentifier = keyid" \
        "subjectAltName = email:$name@dossiq.test" "$@"
    manifest "$name" My
}
QC_BOTH="1.3.6.1.5.5.7.1.3 = ASN1:SEQUENCE:qc_both"
KU_SIGN="keyUsage = critical, digitalSignature, nonRepudiation"
CDP="crlDistributionPoints = URI:$BASE_URL/issuing.crl"

signer qualified issuing "$MARKO" "qualified" "$QC_BOTH" "$KU_SIGN" "$CDP"
signer qualified_reversed issuing "$MARKO" "qualified reversed" \
    "1.3.6.1.5.5.7.1.3 = ASN1:SEQUENCE:qc_reversed" "$KU_SIGN" "$CDP"
signer qualified_others issuing "$MARKO" "qualified among others" \
    "1.3.6.1.5.5.7.1.3 = ASN1:SEQUENCE:qc_others" "$KU_SIGN" "$CDP"
signer qc_compliance_only issuing "$MARKO" "compliance only" \
    "1.3.6.1.5.5.7.1.3 = ASN1:SEQUENCE:qc_compliance_only" "$KU_SIGN" "$CDP"
signer no_qc issuing "$MARKO" "no statements" "$KU_SIGN" "$CDP"
signer no_nonrepudiation issuing "$MARKO" "no nonRepudiation" "$QC_BOTH" \
    "keyUsage = critical, digitalSignature" "$CDP"
signer no_key_usage issuing "$MARKO" "no key usage" "$QC_BOTH" "$CDP"
signer ds_nr_ke issuing "$MARKO" "signature and encipherment" "$QC_BOTH" \
    "keyUsage = critical, digitalSignature, nonRepudiation, keyEncipherment" "$CDP"
# keyCertSign without being a CA: chains with "not valid for usage" under Wine.
signer key_cert_sign issuing "$MARKO" "keyCertSign" "$QC_BOTH" \
    "keyUsage = critical, digitalSignature, nonRepudiation, keyCertSign" "$CDP"
# A critical extension no engine knows: the base policy rejects it for a reason of its own.
signer critical_unknown issuing "$MARKO" "unknown critical extension" "$QC_BOTH" "$KU_SIGN" \
    "$CDP" "1.3.6.1.4.1.55555.7.1 = critical, ASN1:NULL"
signer name_two_words issuing "Marko Marković" "two words" "$QC_BOTH" "$KU_SIGN" "$CDP"
signer name_trailing_space issuing "Marko Marković " "trailing space" "$QC_BOTH" "$KU_SIGN" "$CDP"
signer name_hyphen_inside issuing "Marko Marković 12345-67" "hyphen inside" "$QC_BOTH" \
    "$KU_SIGN" "$CDP"
signer name_leading_hyphen issuing "Marko Marković -1234567" "leading hyphen" "$QC_BOTH" \
    "$KU_SIGN" "$CDP"
signer name_hyphenated_first issuing "Ana-Marija Marković" "hyphenated first word" "$QC_BOTH" \
    "$KU_SIGN" "$CDP"
signer name_single_word issuing "Marković" "single word" "$QC_BOTH" "$KU_SIGN" "$CDP"
signer no_cn issuing "" "no common name" "$QC_BOTH" "$KU_SIGN" "$CDP"
# qcStatements holding a NULL instead of a sequence: nothing can decode it.
signer qc_malformed issuing "$MARKO" "malformed statements" "1.3.6.1.5.5.7.1.3 = DER:0500" \
    "$KU_SIGN" "$CDP"

# Chain and revocation variants, all otherwise qualified.
issue expired issuing "/C=RS/O=$ORG/OU=expired/CN=$MARKO" 20200101000000Z 20210101000000Z \
    "subjectKeyIdentifier = hash" "authorityKeyIdentifier = keyid" "$QC_BOTH" "$KU_SIGN" "$CDP"
manifest expired My
issue expired_untrusted orphan_ca "/C=RS/O=$ORG/OU=expired untrusted/CN=$MARKO" \
    20200101000000Z 20210101000000Z "subjectKeyIdentifier = hash" \
    "authorityKeyIdentifier = keyid" "$QC_BOTH" "$KU_SIGN" \
    "crlDistributionPoints = URI:$BASE_URL/orphan_ca.crl"
manifest expired_untrusted My
issue self_signed self "/C=RS/O=$ORG/OU=self-signed/CN=$MARKO" "$NOW_MINUS_DAY" "$TWO_YEARS" \
    "subjectKeyIdentifier = hash" "$QC_BOTH" "$KU_SIGN" \
    "crlDistributionPoints = URI:$BASE_URL/self_signed.crl"
manifest self_signed My
signer partial orphan_ca "$MARKO" "partial chain" "$QC_BOTH" "$KU_SIGN" \
    "crlDistributionPoints = URI:$BASE_URL/orphan_ca.crl"
signer revoked issuing "$MARKO" "revoked" "$QC_BOTH" "$KU_SIGN" "$CDP"
signer crl_dead issuing "$MARKO" "unreachable CRL" "$QC_BOTH" "$KU_SIGN" \
    "crlDistributionPoints = URI:$DEAD_URL/issuing.crl"
# Its CRL is served under an address of its own that nothing else fetches, so that a test
# can stop the server before the first fetch.
signer crl_late issuing "$MARKO" "CRL fetched late" "$QC_BOTH" "$KU_SIGN" \
    "crlDistributionPoints = URI:$BASE_URL/late/issuing.crl"
signer offline_ca_signer offline_ca "$MARKO" "unreachable CA CRL" "$QC_BOTH" "$KU_SIGN" \
    "crlDistributionPoints = URI:$BASE_URL/offline_ca.crl"

# Peers' signers whose keys no CryptoAPI provider holds, installed nowhere (their CA in "CA"):
# EC keys under the RSA issuing CA and under an EC CA, and a second certificate of the
# qualified signer's own key.
ec_key() { openssl genpkey -algorithm EC -pkeyopt "ec_paramgen_curve:$2" -out "$1.key.pem"; }
ec_key ec_ca P-384
issue ec_ca root "/O=$ORG/CN=Dossiq Test EC CA $RUN" $CA_START $CA_END "${CA_EXT[@]}" \
    "crlDistributionPoints = URI:$BASE_URL/root.crl"
manifest ec_ca CA
ca_config ec_ca
peer_signer() { # NAME ISSUER OU CDP
    issue "$1" "$2" "/C=RS/O=$ORG/OU=$3/CN=$MARKO/emailAddress=$1@dossiq.test" \
        "$NOW_MINUS_DAY" "$TWO_YEARS" "subjectKeyIdentifier = hash" \
        "authorityKeyIdentifier = keyid" "subjectAltName = email:$1@dossiq.test" "$QC_BOTH" \
        "$KU_SIGN" "$4"
    manifest "$1" -
}
ec_key ec_p256 P-256
ec_key ec_p384 P-384
ec_key ec_p521 P-521
peer_signer ec_p256 issuing "EC P-256" "$CDP"
peer_signer ec_p384 ec_ca "EC P-384" "crlDistributionPoints = URI:$BASE_URL/ec_ca.crl"
peer_signer ec_p521 ec_ca "EC P-521" "crlDistributionPoints = URI:$BASE_URL/ec_ca.crl"
cp qualified.key.pem qualified_twin.key.pem
peer_signer qualified_twin issuing "second certificate" "$CDP"

# Recipients: address-book stores, and "My" too so that the private key is at hand.
recipient() { # NAME CN STORES KEY-USAGE [ISSUER START END CDP]
    local name=$1 cn=$2 stores=$3 ku=$4 issuer=${5:-issuing} start=${6:-$NOW_MINUS_DAY}
    local end=${7:-$TWO_YEARS} cdp=${8:-$CDP}
    issue "$name" "$issuer" "/C=RS/O=$ORG/OU=recipient/CN=$cn/emailAddress=$name@dossiq.test" \
        "$start" "$end" "subjectKeyIdentifier = hash" \
        "authorityKeyIdentifier = keyid" "subjectAltName = email:$name@dossiq.test" \
        "keyUsage = critical, $ku" "extendedKeyUsage = emailProtection" "$cdp"
    manifest "$name" "$stores"
}
recipient recipient_ab "Petar Petrović" AddressBook,My "digitalSignature, keyEncipherment"
recipient recipient_tp "Jelena Jovanović" TrustedPeople,My "keyEncipherment"
recipient recipient_both "Đorđe Đurić" AddressBook,TrustedPeople,My \
    "digitalSignature, keyEncipherment, dataEncipherment, keyAgreement, decipherOnly"
recipient recipient_no_ke "Milica Nikolić" AddressBook,My "digitalSignature, nonRepudiation"
# Recipients a warning is due for, installed nowhere: tests put them where they need them.
recipient recipient_expired "Ivana Ilić" - "keyEncipherment" issuing 20200101000000Z \
    20210101000000Z
recipient recipient_revoked "Stefan Stanić" - "keyEncipherment"
recipient recipient_untrusted "Nikola Nedić" - "keyEncipherment" orphan_ca "$NOW_MINUS_DAY" \
    "$TWO_YEARS" "crlDistributionPoints = URI:$BASE_URL/orphan_ca.crl"

# Time-stamping authorities, valid as long as the CAs so that tokens of any test time verify:
# one under the trusted hierarchy, one under the orphan CA. The server signs with them as the
# sections of tsa.cnf say.
TSA_EXT=("subjectKeyIdentifier = hash" "authorityKeyIdentifier = keyid"
    "keyUsage = critical, digitalSignature, nonRepudiation"
    "extendedKeyUsage = critical, timeStamping")
issue tsa issuing "/C=RS/O=$ORG/CN=Dossiq Test TSA $RUN" $CA_START $CA_END "${TSA_EXT[@]}" \
    "$CDP"
manifest tsa -
issue tsa_untrusted orphan_ca "/C=RS/O=$ORG/CN=Dossiq Untrusted TSA $RUN" $CA_START $CA_END \
    "${TSA_EXT[@]}" "crlDistributionPoints = URI:$BASE_URL/orphan_ca.crl"
manifest tsa_untrusted -
# Authorities a token must not be trusted from: revoked, another usage beside time-stamping,
# time-stamping not marked critical, revocation data out of reach.
issue tsa_revoked issuing "/C=RS/O=$ORG/CN=Dossiq Revoked TSA $RUN" $CA_START $CA_END \
    "${TSA_EXT[@]}" "$CDP"
manifest tsa_revoked -
issue tsa_two_usages issuing "/C=RS/O=$ORG/CN=Dossiq Two-Usage TSA $RUN" $CA_START $CA_END \
    "${TSA_EXT[@]:0:3}" "extendedKeyUsage = critical, timeStamping, codeSigning" "$CDP"
manifest tsa_two_usages -
issue tsa_not_critical issuing "/C=RS/O=$ORG/CN=Dossiq Lax TSA $RUN" $CA_START $CA_END \
    "${TSA_EXT[@]:0:3}" "extendedKeyUsage = timeStamping" "$CDP"
manifest tsa_not_critical -
issue tsa_crl_dead issuing "/C=RS/O=$ORG/CN=Dossiq Unchecked TSA $RUN" $CA_START $CA_END \
    "${TSA_EXT[@]}" "crlDistributionPoints = URI:$DEAD_URL/issuing.crl"
manifest tsa_crl_dead -
# An authority whose key is EC, for tokens that peers sign with ECDSA.
ec_key tsa_ec P-256
issue tsa_ec issuing "/C=RS/O=$ORG/CN=Dossiq Test EC TSA $RUN" $CA_START $CA_END \
    "${TSA_EXT[@]}" "$CDP"
manifest tsa_ec -
echo 01 >work/tsa_serial
tsa_section() { # SECTION CERT [SIGNER-DIGEST]
    cat <<EOF
[ $1 ]
serial = work/tsa_serial
crypto_device = builtin
signer_cert = $2.cert.pem
signer_key = $2.key.pem
signer_digest = ${3:-sha256}
default_policy = 1.2.3.4.1
digests = sha256, sha384, sha512, sha224, sha1
accuracy = secs:1
ordering = no
tsa_name = yes
ess_cert_id_chain = no
ess_cert_id_alg = sha256
EOF
}
{
    tsa_section tsa tsa
    tsa_section tsa_untrusted tsa_untrusted
    for name in tsa_revoked tsa_crl_dead; do tsa_section $name $name; done
    tsa_section tsa_sha1 tsa sha1
} >tsa.cnf

# OCSP: a signer whose authority information access names the kit's responder (after an
# ldap address nobody may ask), and responder certificates delegated by the issuing CA: with
# id-kp-OCSPSigning and id-pkix-ocsp-nocheck, with the usage only, without the usage.
# ocsp_revoked is the same, revoked; both sign (they are in "My").
for name in ocsp_signer ocsp_revoked; do
    issue $name issuing "/C=RS/O=$ORG/OU=$name/CN=$MARKO" "$NOW_MINUS_DAY" "$TWO_YEARS" \
        "subjectKeyIdentifier = hash" "authorityKeyIdentifier = keyid" "$QC_BOTH" "$KU_SIGN" \
        "authorityInfoAccess = OCSP;URI:ldap://127.0.0.1/cn=ocsp, OCSP;URI:$BASE_URL/ocsp/issuing, caIssuers;URI:$BASE_URL/issuing.cer"
done
manifest ocsp_signer My
manifest ocsp_revoked My
# A CA installed nowhere, served as BaseUrl()/aia_ca.cer: aia_signer names that address as
# its caIssuers, aia_ldap an ldap one nobody may ask.
issue aia_ca root "/O=$ORG/CN=Dossiq Test Unlisted CA $RUN" $CA_START $CA_END "${CA_EXT[@]}" \
    "crlDistributionPoints = URI:$BASE_URL/root.crl"
manifest aia_ca -
ca_config aia_ca
openssl x509 -in aia_ca.cert.pem -outform DER -out "www/$RUN/aia_ca.cer"
for name in aia_signer aia_ldap; do
    where=$BASE_URL/aia_ca.cer
    [ $name = aia_ldap ] && where=ldap://127.0.0.1/cn=aia
    issue $name aia_ca "/C=RS/O=$ORG/OU=$name/CN=$MARKO" "$NOW_MINUS_DAY" "$TWO_YEARS" \
        "subjectKeyIdentifier = hash" "authorityKeyIdentifier = keyid" "$QC_BOTH" "$KU_SIGN" \
        "authorityInfoAccess = caIssuers;URI:$where"
    manifest $name -
done
OCSP_EXT=("subjectKeyIdentifier = hash" "authorityKeyIdentifier = keyid"
    "keyUsage = critical, digitalSignature")
issue ocsp_responder issuing "/C=RS/O=$ORG/CN=Dossiq Test OCSP Responder $RUN" \
    "$NOW_MINUS_DAY" "$TWO_YEARS" "${OCSP_EXT[@]}" "extendedKeyUsage = OCSPSigning" \
    "noCheck = ignored"
manifest ocsp_responder -
issue ocsp_responder_check issuing "/C=RS/O=$ORG/CN=Dossiq Test Checked OCSP Responder $RUN" \
    "$NOW_MINUS_DAY" "$TWO_YEARS" "${OCSP_EXT[@]}" "extendedKeyUsage = OCSPSigning" "$CDP"
manifest ocsp_responder_check -
issue ocsp_no_usage issuing "/C=RS/O=$ORG/CN=Dossiq Test Unauthorised Responder $RUN" \
    "$NOW_MINUS_DAY" "$TWO_YEARS" "${OCSP_EXT[@]}" "extendedKeyUsage = emailProtection"
manifest ocsp_no_usage -
# The loopback server answers POST /RUN/ocsp/SECTION with the command of that section, REQ
# and RESP standing for the request and response files: openssl ocsp signing as the issuing
# CA, as each responder (one naming itself by key hash), as the orphan CA, from an empty index (all unknown), and three days
# ago with one day of validity (stale), and so as ocsp_responder before its validity began.
: >work/ocsp_empty.txt
ocsp_command() { # INDEX SIGNER
    echo "openssl ocsp -index $1 -CA issuing.cert.pem -rsigner $2.cert.pem -rkey $2.key.pem" \
        "-ndays 1 -reqin REQ -respout RESP"
}
{
    echo "issuing $(ocsp_command work/issuing/index.txt issuing)"
    for name in ocsp_responder ocsp_responder_check ocsp_no_usage orphan_ca; do
        echo "$name $(ocsp_command work/issuing/index.txt $name)"
    done
    echo "unknown $(ocsp_command work/ocsp_empty.txt issuing)"
    echo "stale faketime -f -3d $(ocsp_command work/issuing/index.txt issuing)"
    echo "ocsp_responder_by_key $(ocsp_command work/issuing/index.txt ocsp_responder) -resp_key_id"
    echo "early faketime -f -3d $(ocsp_command work/issuing/index.txt ocsp_responder)"
} >ocsp.sections

openssl ca -batch -config work/issuing/ca.cnf -revoke revoked.cert.pem -crl_reason keyCompromise \
    2>work/revoke.log
openssl ca -batch -config work/issuing/ca.cnf -revoke recipient_revoked.cert.pem \
    -crl_reason keyCompromise 2>>work/revoke.log
openssl ca -batch -config work/issuing/ca.cnf -revoke tsa_revoked.cert.pem \
    -crl_reason keyCompromise 2>>work/revoke.log
openssl ca -batch -config work/issuing/ca.cnf -revoke ocsp_revoked.cert.pem \
    -crl_reason keyCompromise 2>>work/revoke.log

for ca in root issuing offline_ca orphan_ca ec_ca; do
    openssl ca -batch -config "work/$ca/ca.cnf" -gencrl -out "$ca.crl.pem" 2>"work/$ca.crl.log"
    openssl crl -in "$ca.crl.pem" -outform DER -out "$ca.crl"
    cp "$ca.crl" "www/$RUN/$ca.crl"
done
mkdir -p "www/$RUN/late"
cp issuing.crl "www/$RUN/late/issuing.crl"

cat root.cert.pem issuing.cert.pem offline_ca.cert.pem ec_ca.cert.pem >trusted-chain.pem
echo "made $(wc -l <manifest.txt) certificates in $DIR"
