#include <gtest/gtest.h>

#include "certificates/signer_validation.h"
#include "certificates/x509_chain.h"
#include "certificates/x509_exception.h"
#include "foundation/win32_exception.h"
#include "pki/test_pki.h"

using namespace MHFX::Security::Cryptography::X509;
using MHFX::Win32Exception;
using R = ValidationResult;

namespace {

X509Certificate Kit(const std::string& name) {
    auto context = TestPki::Pki::Get().Certificate(name);
    return X509Certificate(context.get());
}

} // namespace

TEST(Validation, ResultsOverTheKitWithRealChainsAndCrls) {
    const struct {
        const char* name;
        R result;
    } cases[] = {
        {"qualified", R::ValidQualified},
        {"qualified_reversed", R::ValidQualified},
        {"qualified_others", R::ValidQualified},
        {"ds_nr_ke", R::ValidQualified},
        {"name_two_words", R::ValidQualified},
        {"name_hyphen_inside", R::ValidQualified},
        {"no_nonrepudiation", R::ValidNotQualified},
        {"no_key_usage", R::ValidNotQualified},
        {"qc_compliance_only", R::ValidNotQualified},
        {"no_qc", R::ValidNotQualified},
        {"name_trailing_space", R::ValidNotQualified},
        {"name_leading_hyphen", R::ValidNotQualified},
        {"name_hyphenated_first", R::ValidNotQualified},
        {"name_single_word", R::ValidNotQualified},
        {"no_cn", R::ValidNotQualified},
        {"recipient_both", R::ValidNotQualified},
        {"expired", R::CertificateNotValid},
        {"expired_untrusted", R::CertificateNotValid}, // also a partial chain
        {"self_signed", R::ChainFailed},
        {"partial", R::ChainFailed},
        {"orphan_ca", R::ChainFailed},
        {"crl_dead", R::RevocationUnavailable},
        {"offline_ca_signer", R::RevocationUnavailable}, // the CA's own CRL is out of reach
        {"critical_unknown", R::ChainInvalidOther},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ValidateSignerCertificate(Kit(c.name)), c.result) << c.name;
    }
    // The revocation lists came from the loopback server of this run.
    const std::string log = TestPki::Pki::Get().RequestLog();
    const std::string run = TestPki::Pki::Get().RunId();
    EXPECT_NE(log.find("GET /" + run + "/issuing.crl HTTP/1.1\" 200"), std::string::npos) << log;
    EXPECT_NE(log.find("GET /" + run + "/root.crl HTTP/1.1\" 200"), std::string::npos) << log;
}

// Whatever the platform remembers from an earlier check (Wine's engine would answer "not
// revoked" from the second on), the verdict and its facts come from the issuer's list.
TEST(Validation, RevokedSignerReadsRevokedOnEveryCheck) {
    const X509Certificate revoked(TestPki::Pki::Get().Certificate("revoked").get());
    for (int time = 0; time < 3; ++time) {
        ChainFindings findings;
        EXPECT_EQ(R::Revoked, ValidateSignerCertificate(revoked, &findings))
            << std::hex << findings.errorStatus;
        ASSERT_FALSE(findings.revocations.empty());
        const RevocationEvidence& signer = findings.revocations.front();
        EXPECT_TRUE(signer.listed);
        EXPECT_EQ(1, signer.reason); // keyCompromise
        EXPECT_NE(std::wstring::npos, signer.url.find(L"/issuing.crl"));
    }
}

TEST(Validation, NeverPassesAChainThatShowsADecidingProblem) {
    // Wine's base policy passes partial chains, revoked chains and chains whose revocation
    // data is out of reach; the status word decides instead.
    for (const char* name : {"partial", "crl_dead"}) {
        X509Chain chain;
        chain.ChainPolicy.RevocationFlag = CERT_CHAIN_REVOCATION_CHECK_CHAIN;
        chain.Build(Kit(name));
        EXPECT_NE(chain.ErrorStatus() & kDecidingChainStatus, 0u) << name;
    }
    EXPECT_EQ(ValidateSignerCertificate(Kit("partial")), R::ChainFailed);
    EXPECT_EQ(ValidateSignerCertificate(Kit("crl_dead")), R::RevocationUnavailable);
}

TEST(Validation, DecisionFromAFailedChainsStatusWord) {
    using F = X509ChainStatusFlags;
    const struct {
        DWORD word;
        R result;
    } cases[] = {
        {F::NotTimeValid, R::CertificateNotValid},
        {F::NotTimeNested, R::CertificateNotValid},
        {F::NotSignatureValid, R::CertificateNotValid},
        {F::NotTimeValid | F::UntrustedRoot | F::Revoked, R::CertificateNotValid},
        {F::PartialChain, R::ChainFailed},
        {F::UntrustedRoot, R::ChainFailed},
        {F::UntrustedRoot | F::OfflineRevocation, R::ChainFailed},
        {F::OfflineRevocation, R::RevocationUnavailable},
        {F::RevocationStatusUnknown, R::RevocationUnavailable},
        {F::Revoked | F::OfflineRevocation, R::RevocationUnavailable},
        {F::Revoked, R::Revoked},
        {F::Revoked | F::NotValidForUsage, R::Revoked},
        {F::NotValidForUsage, R::ChainInvalidOther},
        {F::InvalidBasicConstraints | F::CtlNotTimeValid, R::ChainInvalidOther},
        {0x08000000, R::ChainInvalidOther},
        {0, R::ChainInvalidOther},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ResultOfFailedChain(ChainStatusFromErrorStatus(c.word)), c.result)
            << std::hex << c.word;
    }
    // The whole list is searched, not only its first entry.
    std::vector<X509ChainStatus> unordered = {{F::Revoked, L""}, {F::PartialChain, L""}};
    EXPECT_EQ(ResultOfFailedChain(unordered), R::ChainFailed);
}

TEST(Validation, FailuresOfTheProcedureAreThrown) {
    // Statements that do not decode fail the qualified test only; the chain still passed.
    EXPECT_EQ(ValidateSignerCertificate(Kit("qc_malformed")), R::ValidNotQualified);
    try {
        ValidateSignerCertificate(X509Certificate());
        ADD_FAILURE() << "validated";
    } catch (const X509Exception& e) {
        EXPECT_EQ(e.Message(), L"Certificate handle is not valid");
    }
}

// The signer's missing CA is fetched from its http caIssuers address, never over ldap; the
// chain then ends at the trusted root (its revocation data is not served, so the check stops
// there).
TEST(Validation, MissingIssuerFetchedOverHttpOnly) {
    const TestPki::Pki& pki = TestPki::Pki::Get();
    const struct {
        const char* name;
        R result;
        bool asked;
    } cases[] = {{"aia_signer", R::RevocationUnavailable, true},
                 {"aia_ldap", R::ChainFailed, false}};
    for (const auto& c : cases) {
        const std::string before = pki.RequestLog();
        EXPECT_EQ(c.result,
                  ValidateSignerCertificate(X509Certificate(pki.LoadCertificate(c.name).get())))
            << c.name;
        EXPECT_EQ(c.asked,
                  pki.RequestLog().substr(before.size()).find("aia_ca.cer") != std::string::npos)
            << c.name;
    }
}

TEST(Validation, RevocationUnavailableOnceTheServerStops) {
    TestPki::Pki::Get().StopCrlServer();
    EXPECT_EQ(ValidateSignerCertificate(Kit("crl_late")), R::RevocationUnavailable);
    // Later tests get a kit with a running server again.
    TestPki::Pki::Shutdown();
}
