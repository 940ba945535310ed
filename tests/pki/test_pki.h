// The test PKI: certificates, keys and revocation lists made fresh by the OpenSSL command
// line for each test program, served over HTTP from 127.0.0.1 and installed into the current
// user's system stores, then removed again when the program ends.
//
// A test program adds tests/pki/test_pki.cpp to its SOURCES and calls TestPki::Pki::Get()
// in the tests that need it: the first call builds and installs everything (a few seconds),
// later calls return the same kit. Removal runs after the last test.
//
// What the kit holds (file stem: stores, with "+key" where the private key is installed):
//   root                     Root    "Dossiq Test Root CA <run>", no CRL address
//   issuing                  CA      "Dossiq Test Qualified CA <run>", issues the signers
//   offline_ca               CA      its own CRL address is served by nothing
//   orphan_ca                -       installed nowhere: what it issues has a partial chain
//   qualified                My+key  both ETSI statements, "Marko Marković 1234567",
//                                    e-mail qualified@dossiq.test, digitalSignature and
//                                    nonRepudiation: validates as qualified (6)
//   qualified_reversed       My+key  the two statements in the other order
//   qualified_others         My+key  both statements among three others with information
//   qc_compliance_only       My+key  QcCompliance (and a retention period) without QcSSCD
//   no_qc                    My+key  no qcStatements extension
//   no_nonrepudiation        My+key  key usage digitalSignature only
//   no_key_usage             My+key  no key-usage extension
//   ds_nr_ke                 My+key  digitalSignature, nonRepudiation and keyEncipherment
//   key_cert_sign            My+key  keyCertSign on an end certificate (not valid for usage)
//   critical_unknown         My+key  a critical extension nobody knows
//   name_two_words           My+key  CN "Marko Marković"
//   name_trailing_space      My+key  CN "Marko Marković "
//   name_hyphen_inside       My+key  CN "Marko Marković 12345-67"
//   name_leading_hyphen      My+key  CN "Marko Marković -1234567"
//   name_hyphenated_first    My+key  CN "Ana-Marija Marković"
//   name_single_word         My+key  CN "Marković"
//   no_cn                    My+key  a subject without common name
//   qc_malformed             My+key  a qcStatements value that does not decode
//   expired                  My+key  valid in 2020 only, under the trusted hierarchy
//   expired_untrusted        My+key  valid in 2020 only, issued by orphan_ca
//   self_signed              My+key  self-signed, not in Root
//   partial                  My+key  issued by orphan_ca
//   revoked                  My+key  listed in issuing's CRL
//   crl_dead                 My+key  its CRL address is served by nothing
//   offline_ca_signer        My+key  issued by offline_ca
//   crl_late                 My+key  its CRL is served under an address nothing else uses:
//                                    valid while the server runs, "CRL unavailable" after
//                                    StopCrlServer() if it was not checked before
//   recipient_ab             AddressBook, My+key      "Petar Petrović", digitalSignature and
//                                                     keyEncipherment
//   recipient_tp             TrustedPeople, My+key    "Jelena Jovanović", keyEncipherment
//   recipient_both           AddressBook, TrustedPeople, My+key  "Đorđe Đurić",
//                                    digitalSignature, keyEncipherment, dataEncipherment,
//                                    keyAgreement, decipherOnly (key usage 0x80B8)
//   recipient_no_ke          AddressBook, My+key      "Milica Nikolić", no keyEncipherment
//   recipient_expired        -    "Ivana Ilić", keyEncipherment, valid in 2020 only
//   recipient_revoked        -    "Stefan Stanić", keyEncipherment, listed in issuing's CRL
//   recipient_untrusted      -    "Nikola Nedić", keyEncipherment, issued by orphan_ca
//   ocsp_signer              -    names no CRL address; its authority information access
//                                 names an ldap responder, then BaseUrl()/ocsp/issuing
//   ocsp_revoked             -    the same, revoked for keyCompromise
//   ocsp_responder           -    issued by issuing for OCSPSigning, with id-pkix-ocsp-nocheck
//   ocsp_responder_check     -    the same without nocheck (its own status needs checking)
//   ocsp_no_usage            -    a responder certificate with emailProtection only
//   aia_ca                   -    a CA under root installed nowhere, served as BaseUrl()/aia_ca.cer
//   aia_signer, aia_ldap     -    issued by aia_ca, naming it as caIssuers over http, over ldap
//   ec_ca                    CA      "Dossiq Test EC CA <run>", P-384, issued by root
//   ec_p256, ec_p384, ec_p521  -     qualified signers with EC keys (P-256 issued by issuing,
//                                    the others by ec_ca), for OpenSSL to sign with
//   qualified_twin           -       a second certificate of qualified's key
//   tsa_ec                   -       a time-stamping authority with a P-256 key
// The recipients have extended key usage emailProtection and e-mail NAME@dossiq.test.
// Everything except the named variants is otherwise a qualified signer issued by "issuing".
// Keys sit in their own containers of the "Microsoft Enhanced RSA and AES Cryptographic
// Provider" as AT_KEYEXCHANGE keys, named in CERT_KEY_PROV_INFO_PROP_ID.
//
// Files in Dir() (Unix path UnixDir(), for OpenSSL): NAME.cert.pem, NAME.key.pem, NAME.pvk;
// per CA NAME.crl (DER) and NAME.crl.pem; trusted-chain.pem (root and both installed
// intermediates, for "openssl cms -verify -CAfile"); requests.log (the CRL server's log);
// ocsp.sections, what POST BaseUrl()/ocsp/SECTION runs (`openssl ocsp` as the issuing CA, as
// each responder above, as orphan_ca; "unknown" answers unknown, "stale" was made three
// days ago for one day, "early" as ocsp_responder before its validity); POST
// BaseUrl()/ocsp/replay answers with the bytes of replay.ocsp.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <map>
#include <string>
#include <vector>

#include "foundation/handle.h"

namespace TestPki {

struct Entry {
    std::string name;
    std::vector<std::wstring> stores; // current-user system stores holding it
    std::wstring container;           // key container, empty when no key is installed
    std::string der;                  // the encoded certificate
};

class Pki {
public:
    // The program's kit, made and installed on first use. Throws std::runtime_error with
    // the tools' output when that fails.
    static Pki& Get();

    const std::wstring& Dir() const { return dir_; }
    const std::string& UnixDir() const { return unixDir_; }
    const std::string& RunId() const { return run_; }
    const std::string& BaseUrl() const { return baseUrl_; } // where the CRLs are served
    const std::string& DeadUrl() const { return deadUrl_; } // refused connections

    std::wstring CertPath(const std::string& name) const;
    std::string UnixCertPath(const std::string& name) const;
    std::string UnixKeyPath(const std::string& name) const;
    std::string UnixCrlPath(const std::string& ca) const; // PEM
    std::string UnixTrustedChainPath() const;

    const Entry& Find(const std::string& name) const;
    std::vector<std::string> Names() const;

    // The installed certificate as found in its first store (properties included), or a
    // context of the file for one installed nowhere. A new reference for the caller.
    MHFX::CertContextHandle Certificate(const std::string& name) const;
    // A context made from the file alone, in no store.
    MHFX::CertContextHandle LoadCertificate(const std::string& name) const;
    // Whether `context` carries this run's mark (certificates of other runs may sit in the
    // same stores while they run).
    bool Owns(PCCERT_CONTEXT context) const;

    // Stops the CRL server: every served address becomes unreachable.
    void StopCrlServer();
    // Serves the same addresses again after StopCrlServer.
    void RestartCrlServer();
    bool CrlServerRunning() const { return serverPid_ != 0; }
    // While on, every list the server is asked for is issued at that moment.
    void PublishOnRequest(bool on);
    // The server's request log ("GET /run/issuing.crl ..." lines).
    std::string RequestLog() const;

    // Removes the certificates, key containers and server of this kit; Get() after it makes
    // a new kit.
    static void Shutdown();

private:
    Pki() = default;
    void Create();
    void Install(Entry& entry, std::map<std::wstring, MHFX::CertStoreHandle>& stores);
    void Uninstall();

    std::wstring dir_;
    std::string unixDir_;
    std::string run_;
    std::string baseUrl_;
    std::string deadUrl_;
    long serverPid_ = 0;
    std::map<std::string, Entry> entries_;
    // Kept open for lookups: Wine reads a whole system store on every open.
    std::map<std::wstring, MHFX::CertStoreHandle> stores_;
    std::vector<std::string> order_;
};

// Every kit certificate carries the description property "DossiqTestPki <run> <seconds since
// 1970>" (Wine keeps no user-defined properties). MarkOf gives "<run> <seconds>", empty for
// a certificate without the mark.
constexpr wchar_t kMarkPrefix[] = L"DossiqTestPki ";
std::string MarkOf(PCCERT_CONTEXT context);
bool SetMark(PCCERT_CONTEXT context, const std::string& runAndTime);

// Removes kit certificates (and their key containers) that earlier runs left behind, older
// than `minAgeSeconds`. Returns how many certificates were removed.
int RemoveStaleInstallations(unsigned minAgeSeconds);

} // namespace TestPki
