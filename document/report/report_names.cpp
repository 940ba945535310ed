#include "document/report/report_names.h"

#include <wincrypt.h>

#include <iterator>

namespace Dossiq::Documents {

namespace {

struct FlagName {
    DWORD bit;
    const wchar_t* name;
};

constexpr FlagName kFlagNames[] = {
    {CERT_TRUST_IS_NOT_TIME_VALID, L"NotTimeValid"},
    {CERT_TRUST_IS_NOT_TIME_NESTED, L"NotTimeNested"},
    {CERT_TRUST_IS_REVOKED, L"Revoked"},
    {CERT_TRUST_IS_NOT_SIGNATURE_VALID, L"NotSignatureValid"},
    {CERT_TRUST_IS_NOT_VALID_FOR_USAGE, L"NotValidForUsage"},
    {CERT_TRUST_IS_UNTRUSTED_ROOT, L"UntrustedRoot"},
    {CERT_TRUST_REVOCATION_STATUS_UNKNOWN, L"RevocationStatusUnknown"},
    {CERT_TRUST_IS_CYCLIC, L"Cyclic"},
    {CERT_TRUST_INVALID_EXTENSION, L"InvalidExtension"},
    {CERT_TRUST_INVALID_POLICY_CONSTRAINTS, L"InvalidPolicyConstraints"},
    {CERT_TRUST_INVALID_BASIC_CONSTRAINTS, L"InvalidBasicConstraints"},
    {CERT_TRUST_INVALID_NAME_CONSTRAINTS, L"InvalidNameConstraints"},
    {CERT_TRUST_HAS_NOT_SUPPORTED_NAME_CONSTRAINT, L"HasNotSupportedNameConstraint"},
    {CERT_TRUST_HAS_NOT_DEFINED_NAME_CONSTRAINT, L"HasNotDefinedNameConstraint"},
    {CERT_TRUST_HAS_NOT_PERMITTED_NAME_CONSTRAINT, L"HasNotPermittedNameConstraint"},
    {CERT_TRUST_HAS_EXCLUDED_NAME_CONSTRAINT, L"HasExcludedNameConstraint"},
    {CERT_TRUST_IS_PARTIAL_CHAIN, L"PartialChain"},
    {CERT_TRUST_CTL_IS_NOT_TIME_VALID, L"CtlNotTimeValid"},
    {CERT_TRUST_CTL_IS_NOT_SIGNATURE_VALID, L"CtlNotSignatureValid"},
    {CERT_TRUST_CTL_IS_NOT_VALID_FOR_USAGE, L"CtlNotValidForUsage"},
    {CERT_TRUST_IS_OFFLINE_REVOCATION, L"OfflineRevocation"},
    {CERT_TRUST_NO_ISSUANCE_CHAIN_POLICY, L"NoIssuanceChainPolicy"},
};

constexpr DWORD kCheckBits[] = {
    CERT_TRUST_IS_NOT_TIME_VALID | CERT_TRUST_IS_NOT_TIME_NESTED |
        CERT_TRUST_IS_NOT_SIGNATURE_VALID,
    CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_UNTRUSTED_ROOT,
    CERT_TRUST_IS_OFFLINE_REVOCATION | CERT_TRUST_REVOCATION_STATUS_UNKNOWN,
    CERT_TRUST_IS_REVOKED,
};

const wchar_t* const kRevocationReasons[kRevocationReasonCount] = {
    L"unspecified",   L"keyCompromise",        L"cACompromise",    L"affiliationChanged",
    L"superseded",    L"cessationOfOperation", L"certificateHold", L"unused",
    L"removeFromCRL", L"privilegeWithdrawn",   L"aACompromise",
};

} // namespace

const wchar_t* DecodingName(DecodingOutcome outcome) {
    switch (outcome) {
    case DecodingOutcome::NotTampered:
        return L"notTampered";
    case DecodingOutcome::Tampered:
        return L"tampered";
    case DecodingOutcome::NotForThisUser:
        return L"notForThisUser";
    case DecodingOutcome::Unsupported:
        return L"unsupported";
    case DecodingOutcome::Unreadable:
        break;
    }
    return L"unreadable";
}

const wchar_t* CheckName(int check) {
    static const wchar_t* const names[] = {L"validity", L"chain", L"crl", L"revocation",
                                           L"qualified"};
    return check >= 0 && check < kReportCheckCount ? names[check] : L"";
}

const wchar_t* CheckStatusName(CheckStatus status) {
    switch (status) {
    case CheckStatus::Passed:
        return L"passed";
    case CheckStatus::Failed:
        return L"failed";
    case CheckStatus::Skipped:
        break;
    }
    return L"skipped";
}

const wchar_t* QualifiedCriterionName(QualifiedCriterion criterion) {
    switch (criterion) {
    case QualifiedCriterion::QcStatements:
        return L"qcStatements";
    case QualifiedCriterion::NameForm:
        return L"nameForm";
    case QualifiedCriterion::KeyUsage:
        break;
    }
    return L"keyUsage";
}

const wchar_t* RevocationReasonName(int code) {
    return code >= 0 && code < kRevocationReasonCount ? kRevocationReasons[code] : L"";
}

std::wstring JoinNames(const std::vector<std::wstring>& names) {
    std::wstring text;
    for (const std::wstring& name : names) {
        text += (text.empty() ? L"" : L", ") + name;
    }
    return text;
}

std::vector<std::wstring> ChainErrorNames(DWORD bits) {
    std::vector<std::wstring> names;
    for (const FlagName& flag : kFlagNames) {
        if (bits & flag.bit) {
            names.push_back(flag.name);
        }
    }
    return names;
}

DWORD ChainBitsOfCheck(int check) {
    return check >= 0 && check < static_cast<int>(std::size(kCheckBits)) ? kCheckBits[check] : 0;
}

} // namespace Dossiq::Documents
