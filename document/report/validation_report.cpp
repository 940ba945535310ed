#include "document/report/validation_report.h"

namespace Dossiq::Documents {

using MHFX::Security::Cryptography::X509::ValidationResult;

const SignatureFacts& ValidationReport::Selected() const {
    static const SignatureFacts none;
    return selectedSignature < signatures.size() ? signatures[selectedSignature] : none;
}

std::array<CheckStatus, kReportCheckCount> CheckStatusesOf(ValidationResult result) {
    // The check that failed, 5 when none did; a value outside the table never reads as passed.
    int failedCheck = ChainCheck;
    switch (result) {
    case ValidationResult::CertificateNotValid:
        failedCheck = ValidityCheck;
        break;
    case ValidationResult::ChainInvalidOther:
    case ValidationResult::ChainFailed:
        failedCheck = ChainCheck;
        break;
    case ValidationResult::RevocationUnavailable:
        failedCheck = CrlCheck;
        break;
    case ValidationResult::Revoked:
        failedCheck = RevocationCheck;
        break;
    case ValidationResult::ValidNotQualified:
        failedCheck = QualifiedCheck;
        break;
    case ValidationResult::ValidQualified:
        failedCheck = kReportCheckCount;
        break;
    }
    std::array<CheckStatus, kReportCheckCount> statuses;
    for (int check = 0; check < kReportCheckCount; ++check) {
        statuses[check] = check < failedCheck    ? CheckStatus::Passed
                          : check == failedCheck ? CheckStatus::Failed
                                                 : CheckStatus::Skipped;
    }
    return statuses;
}

namespace {

// The verdict a decoding decides alone; null when the checks decide it.
const wchar_t* DecodingVerdict(DecodingOutcome decoding) {
    switch (decoding) {
    case DecodingOutcome::Tampered:
        return L"tampered";
    case DecodingOutcome::Unreadable:
    case DecodingOutcome::Unsupported:
        return L"unreadable";
    case DecodingOutcome::NotForThisUser:
        return L"locked";
    case DecodingOutcome::NotTampered:
        break;
    }
    return nullptr;
}

} // namespace

bool HasPassed(const ValidationReport& report) {
    return VerdictOf(report) == L"passed";
}

std::wstring VerdictOf(const SignatureFacts& signature) {
    if (const wchar_t* verdict = DecodingVerdict(signature.decoding)) {
        return verdict;
    }
    if (!signature.signer.present) {
        return L"unsigned";
    }
    bool passed = signature.validated;
    for (const CheckReport& check : signature.checks) {
        passed = passed && check.status == CheckStatus::Passed;
    }
    return passed ? L"passed" : L"failed";
}

std::wstring VerdictOf(const ValidationReport& report) {
    if (const wchar_t* verdict = DecodingVerdict(report.decoding)) {
        return verdict;
    }
    if (report.signatures.empty()) {
        return L"unsigned";
    }
    const std::wstring own = VerdictOf(report.Selected());
    if (own != L"passed") {
        return own;
    }
    for (const SignatureFacts& signature : report.signatures) {
        const std::wstring verdict = VerdictOf(signature);
        if (verdict != L"passed") {
            return verdict;
        }
    }
    return own;
}

} // namespace Dossiq::Documents
