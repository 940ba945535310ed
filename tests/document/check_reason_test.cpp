// Every shape of a check's reason, from codes alone: English as the JSON writes it, and the
// preference language for people, with a stranger's facts spelled out there only.
#include <gtest/gtest.h>

#include <windows.h>
#include <wincrypt.h>

#include <functional>

#include "common/language_scope.h"
#include "config/localization.h"
#include "document/report/check_reason.h"

using namespace Dossiq::Config;
using namespace Dossiq::Documents;
using MHFX::Security::Cryptography::X509::RevocationGap;
using MHFX::Security::Cryptography::X509::RevocationSource;

namespace {

// A signed report whose one signature passed all five checks.
ValidationReport Passed() {
    ValidationReport report;
    report.decoding = DecodingOutcome::NotTampered;
    report.signatures.resize(1);
    SignatureFacts& s = report.signatures[0];
    s.signer.present = s.validated = true;
    s.signer.notBefore = L"2020-01-01T00:00:00Z";
    s.signer.notAfter = L"2021-01-01T00:00:00Z";
    for (CheckReport& check : s.checks) {
        check.status = CheckStatus::Passed;
    }
    return report;
}

void Fail(SignatureFacts& s, int check, DWORD bits = 0) {
    s.checks[check] = {CheckStatus::Failed, bits};
    for (int later = check + 1; later < kReportCheckCount; ++later) {
        s.checks[later].status = CheckStatus::Skipped;
    }
}

using Change = std::function<void(ValidationReport&)>;

SignatureFacts& S(ValidationReport& report) {
    return report.signatures[0];
}

struct Row {
    const char* shape;
    Change change;
    int check;
    std::wstring english;
};

const std::wstring kExpired =
    L"the certificate has expired and its issuer's current CRL no longer has to list it: a CRL "
    L"kept in the container at signing, or one keeping expired certificates (ExpiredCertsOnCRL) "
    L"since before the proven signing time, would settle its status";
const std::wstring kUnusable =
    L"the list is a delta, is limited to other certificates or reasons, or has an extension it "
    L"must not be used without: it cannot show that the certificate is not revoked";

// clang-format off
const Row kRows[] = {
    {"not opened", [](ValidationReport& r) { r.decoding = DecodingOutcome::NotForThisUser; r.signatures.clear(); },
     ChainCheck, L"the container could not be decoded"},
    {"unsigned", [](ValidationReport& r) { r.signatures.clear(); }, CrlCheck, L"the container is not signed"},
    {"unsupported", [](ValidationReport& r) { S(r).decoding = DecodingOutcome::Unsupported; S(r).unsupportedAlgorithm = L"1.2.3"; },
     ValidityCheck, L"the signature's algorithm 1.2.3 is not supported"},
    {"tampered", [](ValidationReport& r) { S(r).decoding = DecodingOutcome::Tampered; },
     QualifiedCheck, L"the content does not match its signature"},
    {"signer mismatch", [](ValidationReport& r) { S(r).decoding = DecodingOutcome::Tampered; S(r).signerMismatch = true; },
     ChainCheck, L"the signature names another certificate than its signer's"},
    {"not run", [](ValidationReport& r) { S(r).validated = false; S(r).checksError = L"no store"; },
     ValidityCheck, L"the checks could not run: no store"},
    {"not run, later", [](ValidationReport& r) { S(r).validated = false; S(r).checksError = L"no store"; },
     ChainCheck, L"an earlier check failed"},
    {"never checked", [](ValidationReport& r) { S(r).validated = false; }, ChainCheck, L"the container could not be decoded"},
    {"skipped", [](ValidationReport& r) { Fail(S(r), ChainCheck); }, CrlCheck, L"an earlier check failed"},
    {"period", [](ValidationReport&) {}, ValidityCheck,
     L"valid from 2020-01-01T00:00:00Z to 2021-01-01T00:00:00Z"},
    {"flags and period", [](ValidationReport& r) { Fail(S(r), ValidityCheck, CERT_TRUST_IS_NOT_TIME_VALID | CERT_TRUST_IS_NOT_SIGNATURE_VALID); },
     ValidityCheck, L"NotTimeValid, NotSignatureValid; valid from 2020-01-01T00:00:00Z to 2021-01-01T00:00:00Z"},
    {"policy", [](ValidationReport& r) { Fail(S(r), ChainCheck); }, ChainCheck, L"the chain policy refused the chain"},
    {"passed", [](ValidationReport&) {}, ChainCheck, L""},
    {"crl", [](ValidationReport& r) { S(r).revocation.crlUrl = L"http://c/x.crl"; S(r).revocation.crlThisUpdate = L"T"; S(r).revocation.crlNextUpdate = L"N"; },
     CrlCheck, L"CRL http://c/x.crl (this update T, next update N)"},
    {"crl kept", [](ValidationReport& r) { S(r).revocation.source = RevocationSource::Container; S(r).revocation.crlIssuer = L"CN=CA"; S(r).revocation.crlThisUpdate = L"T"; },
     CrlCheck, L"CRL kept in the container, issued by CN=CA (this update T, next update )"},
    {"ocsp", [](ValidationReport& r) { S(r).revocation.ocspUrl = L"http://o"; S(r).revocation.ocspResponder = L"R"; S(r).revocation.ocspProducedAt = L"P"; S(r).revocation.ocspThisUpdate = L"T"; },
     CrlCheck, L"OCSP http://o (responder R, produced P, this update T, next update )"},
    {"not retrieved, expired", [](ValidationReport& r) { Fail(S(r), CrlCheck, CERT_TRUST_IS_OFFLINE_REVOCATION); S(r).revocation.crlUrl = L"http://c/x.crl"; S(r).revocation.gap = RevocationGap::ExpiredNotCovered; },
     CrlCheck, L"OfflineRevocation; CRL http://c/x.crl (not retrieved); " + kExpired},
    {"unusable list", [](ValidationReport& r) { Fail(S(r), CrlCheck, CERT_TRUST_REVOCATION_STATUS_UNKNOWN); S(r).revocation.gap = RevocationGap::UnusableList; },
     CrlCheck, L"RevocationStatusUnknown; " + kUnusable},
    {"no address", [](ValidationReport& r) { S(r).revocation.gap = RevocationGap::NoAddress; },
     CrlCheck, L"the certificate names no http or https CRL address"},
    {"revoked", [](ValidationReport& r) { Fail(S(r), RevocationCheck, CERT_TRUST_IS_REVOKED); S(r).revocation.revocationDate = L"D"; S(r).revocation.invalidityDate = L"I"; S(r).revocation.reason = 1; },
     RevocationCheck, L"Revoked; revoked on D, reason keyCompromise, key invalid since I"},
    {"revoked without a reason", [](ValidationReport& r) { Fail(S(r), RevocationCheck, CERT_TRUST_IS_REVOKED); S(r).revocation.revocationDate = L"D"; },
     RevocationCheck, L"Revoked; revoked on D, reason not given"},
    {"revoked after the proven time", [](ValidationReport& r) { S(r).revocation.revocationDate = L"D"; S(r).revocation.reason = 0; },
     RevocationCheck, L"revoked on D, reason unspecified, after the proven signing time"},
    {"not qualified", [](ValidationReport& r) { Fail(S(r), QualifiedCheck); S(r).unmetCriteria = {QualifiedCriterion::NameForm, QualifiedCriterion::KeyUsage}; },
     QualifiedCheck, L"not met: nameForm, keyUsage"},
};
// clang-format on

std::wstring ReasonOf(const Row& row, ReasonLanguage language) {
    ValidationReport report = Passed();
    row.change(report);
    return CheckReason(report, report.Selected(), row.check, language);
}

TEST(CheckReason, EachShapeInEnglishWhateverThePreference) {
    TestSupport::LanguageScope scope(LanguageSerbianLatin);
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.shape);
        EXPECT_EQ(row.english, ReasonOf(row, ReasonLanguage::English));
    }
}

TEST(CheckReason, ThePreferenceLanguageSpellsOutFacts) {
    TestSupport::LanguageScope scope(LanguageSerbianLatin);
    const struct {
        size_t row;
        const wchar_t* text;
    } cases[] = {
        {9, L"važi od 2020-01-01T00:00:00Z do 2021-01-01T00:00:00Z"},
        {19, L"Revoked; opozvan D, razlog keyCompromise, ključ nevažeći od I"},
        {22, L"nisu ispunjeni: nameForm, keyUsage"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.text, ReasonOf(kRows[c.row], ReasonLanguage::Preference));
    }
    EXPECT_EQ(L"vremenski \u017eig je izdat za drugi potpis",
              TimestampReason(TimestampProblem::ImprintMismatch, ReasonLanguage::Preference));
    EXPECT_EQ(L"the timestamp was made for another signature",
              TimestampReason(TimestampProblem::ImprintMismatch, ReasonLanguage::English));
    scope.Set(LanguageEnglish);
    EXPECT_EQ(kRows[19].english, ReasonOf(kRows[19], ReasonLanguage::Preference));

    // A stranger's error text reaches a terminal spelled out, and the JSON as it is.
    Row hostile = kRows[5];
    hostile.change = [](ValidationReport& r) {
        S(r).validated = false;
        S(r).checksError = L"x\x1B[2K";
    };
    EXPECT_EQ(L"the checks could not run: x\x1B[2K", ReasonOf(hostile, ReasonLanguage::English));
    EXPECT_EQ(L"the checks could not run: x\\x1B[2K",
              ReasonOf(hostile, ReasonLanguage::Preference));
}

} // namespace
