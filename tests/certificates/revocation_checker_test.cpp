// The product's own revocation decision, with CRLs signed by the kit's CAs (Python's
// cryptography) kept beside the signature or served by the kit's loopback server.
#include <gtest/gtest.h>

#include "certificates/revocation/revocation_checker.h"
#include "certificates/signer_validation.h"
#include "certificates/x509_chain.h"
#include "common/test_support.h"
#include "pki/test_pki.h"

using namespace MHFX::Security::Cryptography::X509;
using TestSupport::ShellQuote;

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

FILETIME SecondsFromNow(long long seconds) {
    FILETIME now = {};
    ::GetSystemTimeAsFileTime(&now);
    const ULONGLONG value =
        ((static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime) +
        seconds * 10000000LL;
    return {static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

// A CRL made by make_crl.py as `ca`, into a new memory store.
MHFX::CertStoreHandle KeptCrl(const std::string& ca, const std::string& options) {
    const TestPki::Pki& pki = TestPki::Pki::Get();
    const std::string out = pki.UnixDir() + "/kept.crl";
    const auto made = TestSupport::RunHost(
        "python3 " + ShellQuote(TestSupport::UnixPath(TestSupport::SourceDir())) +
        "/tests/pki/make_crl.py " + ShellQuote(pki.UnixCertPath(ca)) + " " +
        ShellQuote(pki.UnixKeyPath(ca)) + " " + ShellQuote(out) + " " + options);
    EXPECT_EQ(0, made.exitCode) << made.output;
    const std::string der = TestSupport::ReadFileBytes(TestSupport::WindowsPath(out));
    MHFX::CertStoreHandle store(
        ::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
    EXPECT_TRUE(::CertAddEncodedCRLToStore(
        store.get(), kEncoding, reinterpret_cast<const BYTE*>(der.data()),
        static_cast<DWORD>(der.size()), CERT_STORE_ADD_ALWAYS, nullptr));
    return store;
}

} // namespace

// crl_dead's own address answers nothing: a list kept in the container decides, when its
// issuer signed it, it can speak for the certificate, and it was issued after the proven
// time (or shows a revocation before it). A time-stamping authority's compromised key counts
// as revoked whenever it signed.
TEST(Revocation, KeptListDecidesWhenTheOnlineOneCannot) {
    const TestPki::Pki& pki = TestPki::Pki::Get();
    const std::string dead = pki.UnixCertPath("crl_dead");
    const std::string revokeAt = "-3600 86400 --revoke " + dead + ",-7200";
    using S = RevocationStatus;
    const struct {
        const char* what;
        const char* ca;
        std::string options; // this, next, entries
        long long at;        // seconds from now
        S status;
        bool authority = false;
        int reason = kNoReasonCode;
    } cases[] = {
        {"issued before the time", "issuing", "-3600 86400", -60, S::Unknown},
        {"issued after the time", "issuing", "-3600 86400", -5 * 86400, S::Good},
        {"ended before the time", "issuing", "-864000 -777600", -3600, S::Unknown},
        {"signed by another CA", "orphan_ca", "-3600 86400", -60, S::Unknown},
        {"revoked after the time", "issuing", revokeAt + ",keyCompromise", -10800, S::Good, false,
         1},
        {"revoked before the time, listed earlier", "issuing", revokeAt + ",keyCompromise", -60,
         S::Revoked, false, 1},
        {"key invalid before the time", "issuing", revokeAt + ",keyCompromise,-14400", -10800,
         S::Revoked, false, 1},
        {"delta list", "issuing", "-3600 86400 --number 7 --delta 6", -5 * 86400, S::Unknown},
        {"unknown critical extension", "issuing", "-3600 86400 --critical-unknown list", -5 * 86400,
         S::Unknown},
        {"unknown critical entry extension", "issuing",
         revokeAt + ",superseded --critical-unknown entry", -5 * 86400, S::Unknown},
        {"only user certificates", "issuing", "-3600 86400 --scope user", -5 * 86400, S::Good},
        {"only CA certificates", "issuing", "-3600 86400 --scope ca", -5 * 86400, S::Unknown},
        {"only attribute certificates", "issuing", "-3600 86400 --scope attribute", -5 * 86400,
         S::Unknown},
        {"only some reasons", "issuing", "-3600 86400 --scope reasons", -5 * 86400, S::Unknown},
        {"only some reasons, listed", "issuing", revokeAt + ",cACompromise --scope reasons", -60,
         S::Revoked, false, 2},
        {"its own distribution point", "issuing",
         "-3600 86400 --scope " + pki.DeadUrl() + "/issuing.crl", -5 * 86400, S::Good},
        {"another distribution point", "issuing", "-3600 86400 --scope http://127.0.0.1:9/x.crl",
         -5 * 86400, S::Unknown},
        {"authority: compromised after the time", "issuing", revokeAt + ",keyCompromise", -10800,
         S::Revoked, true, 1},
        {"authority: no reason after the time", "issuing", revokeAt, -10800, S::Revoked, true},
        {"authority: superseded after the time", "issuing", revokeAt + ",superseded", -10800,
         S::Good, true, 4},
    };
    const auto signer = pki.LoadCertificate("crl_dead");
    const auto issuer = pki.LoadCertificate("issuing");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const MHFX::CertStoreHandle kept = KeptCrl(c.ca, c.options);
        const FILETIME at = SecondsFromNow(c.at);
        VerifiedCrlCache cache;
        RevocationChecker checker(cache, kept.get(), &at, 5000);
        if (c.authority) {
            checker.CompromiseVoidsEarlierUse();
        }
        const RevocationEvidence evidence = checker.Check(signer.get(), issuer.get());
        EXPECT_EQ(c.status, evidence.status);
        EXPECT_EQ(c.status == S::Unknown ? RevocationSource::None : RevocationSource::Container,
                  evidence.source);
        EXPECT_EQ(c.status == S::Unknown ? RevocationGap::Unreachable : RevocationGap::None,
                  evidence.gap);
        EXPECT_EQ(c.reason, evidence.reason);
    }
}

// The issuer's served list shows "qualified" revoked; once it has passed its next update, an
// older list on the wire must not take its place in the process's cache.
TEST(Revocation, CachedListIsNotReplacedByAnOlderOne) {
    TestPki::Pki& pki = TestPki::Pki::Get();
    const std::wstring served =
        pki.Dir() + L"\\www\\" + TestSupport::Widen(pki.RunId()) + L"\\issuing.crl";
    const std::string original = TestSupport::ReadFileBytes(served);
    const auto make = [&](const std::string& options) {
        const auto made = TestSupport::RunHost(
            "python3 " + ShellQuote(TestSupport::UnixPath(TestSupport::SourceDir())) +
            "/tests/pki/make_crl.py " + ShellQuote(pki.UnixCertPath("issuing")) + " " +
            ShellQuote(pki.UnixKeyPath("issuing")) + " " +
            ShellQuote(TestSupport::UnixPath(served)) + " " + options);
        ASSERT_EQ(0, made.exitCode) << made.output;
    };
    const auto signer = pki.LoadCertificate("qualified");
    const auto issuer = pki.LoadCertificate("issuing");
    VerifiedCrlCache cache;
    make("-60 2 --number 5000 --revoke " + pki.UnixCertPath("qualified") + ",-120,keyCompromise");
    EXPECT_EQ(RevocationStatus::Revoked,
              RevocationChecker(cache, nullptr, nullptr).Check(signer.get(), issuer.get()).status);
    make("-3600 86400 --number 4999");
    ::Sleep(3000);
    const RevocationEvidence evidence =
        RevocationChecker(cache, nullptr, nullptr).Check(signer.get(), issuer.get());
    EXPECT_EQ(RevocationStatus::Revoked, evidence.status);
    EXPECT_EQ(RevocationSource::Cache, evidence.source);
    TestSupport::WriteFileBytes(served, original);
}

// A root is checked when it names an address (the self-signed kit certificate does), and
// skipped when it names none (the kit's root).
TEST(Revocation, RootCheckedOnlyWhenItNamesAnAddress) {
    const TestPki::Pki& pki = TestPki::Pki::Get();
    for (const auto& [name, expected] : {std::pair{"self_signed", 1u}, {"root", 0u}}) {
        const auto context = pki.LoadCertificate(name);
        CERT_CHAIN_ELEMENT element = {};
        element.cbSize = sizeof element;
        element.pCertContext = context.get();
        PCERT_CHAIN_ELEMENT elements[] = {&element};
        CERT_SIMPLE_CHAIN chain = {};
        chain.cbSize = sizeof chain;
        chain.cElement = 1;
        chain.rgpElement = elements;
        VerifiedCrlCache cache;
        RevocationChecker checker(cache, nullptr, nullptr, 5000);
        EXPECT_EQ(expected, checker.CheckChain(chain).size()) << name;
    }
}

// "expired" (valid in 2020 only) is no longer on its issuer's current list: only a list that
// keeps expired certificates since before the proven time speaks for it.
TEST(Revocation, ExpiredCertificateNeedsAListThatStillCoversIt) {
    TestPki::Pki& pki = TestPki::Pki::Get();
    const std::wstring served =
        pki.Dir() + L"\\www\\" + TestSupport::Widen(pki.RunId()) + L"\\issuing.crl";
    const std::string original = TestSupport::ReadFileBytes(served);
    ASSERT_FALSE(original.empty());
    SYSTEMTIME proven = {2020, 6, 0, 1, 12, 0, 0, 0};
    FILETIME at = {};
    ::SystemTimeToFileTime(&proven, &at);
    const auto signer = pki.LoadCertificate("expired");
    const auto issuer = pki.LoadCertificate("issuing");
    const struct {
        const char* expiredSince; // null: the list as served
        RevocationStatus status;
    } cases[] = {{nullptr, RevocationStatus::Unknown},
                 {" --expired-since -315360000", RevocationStatus::Good}, // ten years ago
                 {" --expired-since -86400", RevocationStatus::Unknown}}; // yesterday
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expiredSince ? c.expiredSince : "as served");
        if (c.expiredSince) {
            const auto made = TestSupport::RunHost(
                "python3 " + ShellQuote(TestSupport::UnixPath(TestSupport::SourceDir())) +
                "/tests/pki/make_crl.py " + ShellQuote(pki.UnixCertPath("issuing")) + " " +
                ShellQuote(pki.UnixKeyPath("issuing")) + " " +
                ShellQuote(TestSupport::UnixPath(served)) + " -3600 86400 --from " +
                ShellQuote(pki.UnixDir() + "/issuing.crl") + c.expiredSince);
            ASSERT_EQ(0, made.exitCode) << made.output;
        }
        VerifiedCrlCache cache;
        RevocationChecker checker(cache, nullptr, &at, 10000);
        const RevocationEvidence evidence = checker.Check(signer.get(), issuer.get());
        EXPECT_EQ(c.status, evidence.status);
        EXPECT_EQ(c.status == RevocationStatus::Good ? RevocationGap::None
                                                     : RevocationGap::ExpiredNotCovered,
                  evidence.gap);
    }
    TestSupport::WriteFileBytes(served, original);
}

// A chain that reaches no trusted root needs no revocation data: its signer's CRL address
// (on the loopback server) sees no request, also when the container brings the foreign root.
TEST(Revocation, NoRequestForAnUntrustedChain) {
    const TestPki::Pki& pki = TestPki::Pki::Get();
    MHFX::CertStoreHandle kept(
        ::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
    ASSERT_TRUE(::CertAddCertificateContextToStore(
        kept.get(), pki.LoadCertificate("orphan_ca").get(), CERT_STORE_ADD_ALWAYS, nullptr));
    const std::string before = pki.RequestLog();
    for (const char* name : {"self_signed", "partial"}) {
        const auto context = pki.Certificate(name);
        ChainFindings findings;
        EXPECT_EQ(ValidationResult::ChainFailed,
                  ValidateSignerCertificate(X509Certificate(context.get()), &findings, nullptr,
                                            kept.get()))
            << name;
        EXPECT_TRUE(findings.revocations.empty()) << name;
    }
    const std::string requests = pki.RequestLog().substr(before.size());
    EXPECT_EQ(std::string::npos, requests.find("GET")) << requests;
}

// ocsp_signer and ocsp_revoked name the kit's responder and no CRL address: the responder's
// answer decides, fetched now, then from this process's cache.
TEST(Revocation, ResponderDecidesWhereTheCertificateNamesOne) {
    const TestPki::Pki& pki = TestPki::Pki::Get();
    const auto issuer = pki.LoadCertificate("issuing");
    const FILETIME minuteAgo = SecondsFromNow(-60);
    const struct {
        const char* name;
        const FILETIME* at;
        RevocationStatus status;
        int reason;
    } cases[] = {
        {"ocsp_signer", nullptr, RevocationStatus::Good, kNoReasonCode},
        {"ocsp_signer", &minuteAgo, RevocationStatus::Good, kNoReasonCode},
        {"ocsp_revoked", nullptr, RevocationStatus::Revoked, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto certificate = pki.LoadCertificate(c.name);
        VerifiedCrlCache cache;
        const RevocationEvidence evidence =
            RevocationChecker(cache, nullptr, c.at).Check(certificate.get(), issuer.get());
        EXPECT_EQ(c.status, evidence.status);
        EXPECT_EQ(RevocationKind::Ocsp, evidence.kind);
        EXPECT_EQ(c.reason, evidence.reason);
        EXPECT_NE(std::wstring::npos, evidence.url.find(L"/ocsp/"));
        EXPECT_FALSE(evidence.ocspResponse.empty());
    }
    // The first case's answer is kept by the process.
    VerifiedCrlCache cache;
    EXPECT_EQ(RevocationSource::Cache,
              RevocationChecker(cache, nullptr, nullptr)
                  .Check(pki.LoadCertificate("ocsp_signer").get(), issuer.get())
                  .source);
}
