#include "document/report/report_details.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <cwctype>

#include "config/localization.h"
#include "config/preferences.h"
#include "foundation/text/readable_text.h"
#include "document/report/report_names.h"
#include "document/report/timestamp_line.h"
#include "resources/common/localized_ids.h"

using namespace Dossiq::Config;
using MHFX::Security::Cryptography::X509::RevocationGap;
using MHFX::Security::Cryptography::X509::RevocationSource;

namespace Dossiq::Documents {

namespace {

constexpr ULONGLONG kTicksPerDay = 10000000ULL * 60 * 60 * 24;

bool ParseIso(const std::wstring& text, SYSTEMTIME& parts) {
    unsigned year, month, day, hour, minute, second;
    wchar_t zone = 0;
    if (text.size() != 20 ||
        std::swscanf(text.c_str(), L"%4u-%2u-%2uT%2u:%2u:%2u%lc", &year, &month, &day, &hour,
                     &minute, &second, &zone) != 7 ||
        zone != L'Z') {
        return false;
    }
    parts = {};
    parts.wYear = static_cast<WORD>(year);
    parts.wMonth = static_cast<WORD>(month);
    parts.wDay = static_cast<WORD>(day);
    parts.wHour = static_cast<WORD>(hour);
    parts.wMinute = static_cast<WORD>(minute);
    parts.wSecond = static_cast<WORD>(second);
    FILETIME check;
    return month >= 1 && month <= 12 && ::SystemTimeToFileTime(&parts, &check);
}

bool Ticks(const std::wstring& iso, ULONGLONG& ticks) {
    SYSTEMTIME parts;
    FILETIME time;
    if (!ParseIso(iso, parts) || !::SystemTimeToFileTime(&parts, &time)) {
        return false;
    }
    ticks = (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return true;
}

// Whole days from `from` to `to`, -1 when either is not an instant or `to` is earlier.
int DaysBetween(const std::wstring& from, const std::wstring& to) {
    ULONGLONG a = 0, b = 0;
    if (!Ticks(from, a) || !Ticks(to, b) || b < a) {
        return -1;
    }
    return static_cast<int>((b - a) / kTicksPerDay);
}

// The first element after the signer with `flag`, null when none has it.
const ChainElementReport* IssuerWith(const SignatureFacts& signature, DWORD flag) {
    for (size_t i = 1; i < signature.chain.size(); ++i) {
        if (signature.chain[i].errors & flag) {
            return &signature.chain[i];
        }
    }
    return nullptr;
}

bool SignerHas(const SignatureFacts& signature, DWORD flag) {
    return signature.chain.empty() || (signature.chain.front().errors & flag);
}

void AddValidity(const ValidationReport& report, const SignatureFacts& signature,
                 const CheckReport& check, std::vector<ReportDetail>& details) {
    const SignerReport& signer = signature.signer;
    if (check.chainErrors & CERT_TRUST_IS_NOT_TIME_VALID) {
        const std::vector<std::wstring> facts = {signer.notBefore, signer.notAfter,
                                                 report.checkedAt};
        const int since = DaysBetween(signer.notAfter, report.checkedAt);
        const int until = DaysBetween(report.checkedAt, signer.notBefore);
        if (since >= 0) {
            details.push_back({DetailKind::Expired, facts, since});
            return;
        }
        if (until >= 0) {
            details.push_back({DetailKind::NotYetValid, facts, until});
            return;
        }
        if (const ChainElementReport* issuer =
                IssuerWith(signature, CERT_TRUST_IS_NOT_TIME_VALID)) {
            details.push_back(
                {DetailKind::IssuerExpired, {issuer->name, issuer->certificate.notAfter}});
            return;
        }
    }
    details.push_back({DetailKind::ValidityOther, {JoinNames(ChainErrorNames(check.chainErrors))}});
}

void AddChain(const SignatureFacts& signature, const CheckReport& check,
              std::vector<ReportDetail>& details) {
    const size_t before = details.size();
    const ChainElementReport* last = signature.chain.empty() ? nullptr : &signature.chain.back();
    if (check.chainErrors & CERT_TRUST_IS_UNTRUSTED_ROOT) {
        details.push_back(
            {DetailKind::UntrustedRoot, {last ? last->name : signature.signer.issuer}});
    }
    if (check.chainErrors & CERT_TRUST_IS_PARTIAL_CHAIN) {
        details.push_back({DetailKind::PartialChain,
                           {last ? last->name : signature.signerName,
                            last ? last->certificate.issuer : signature.signer.issuer}});
    }
    if (check.chainErrors & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) {
        std::wstring name = signature.signerName;
        for (const ChainElementReport& element : signature.chain) {
            if (element.errors & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) {
                name = element.name;
                break;
            }
        }
        details.push_back({DetailKind::WrongUsage, {name}});
    }
    if (details.size() == before) {
        details.push_back(
            {DetailKind::ChainOther, {JoinNames(ChainErrorNames(check.chainErrors))}});
    }
}

void AddCrl(const SignatureFacts& signature, std::vector<ReportDetail>& details) {
    const RevocationReport& evidence = signature.revocation;
    if (evidence.gap == RevocationGap::ExpiredNotCovered) {
        details.push_back(
            {DetailKind::CrlExpiredNotCovered, {signature.signer.notAfter, evidence.crlUrl}});
    } else if (evidence.crlUrl.empty()) {
        details.push_back({DetailKind::CrlNoAddress, {}});
    } else if (evidence.crlThisUpdate.empty()) {
        details.push_back({DetailKind::CrlNoAnswer, {evidence.crlUrl}});
    } else {
        details.push_back({evidence.gap == RevocationGap::Outdated ? DetailKind::CrlOutdated
                                                                   : DetailKind::CrlUnknown,
                           {evidence.crlUrl, evidence.crlThisUpdate, evidence.crlNextUpdate}});
    }
}

void AddRevocation(const SignatureFacts& signature, std::vector<ReportDetail>& details) {
    if (!SignerHas(signature, CERT_TRUST_IS_REVOKED)) {
        if (const ChainElementReport* issuer = IssuerWith(signature, CERT_TRUST_IS_REVOKED)) {
            details.push_back({DetailKind::IssuerRevoked, {issuer->name}});
            return;
        }
    }
    const RevocationReport& evidence = signature.revocation;
    if (evidence.revocationDate.empty()) {
        details.push_back({DetailKind::RevokedNoDate, {}});
    } else {
        details.push_back({DetailKind::Revoked,
                           {evidence.revocationDate, RevocationReasonName(evidence.reason)},
                           -1,
                           evidence.reason});
    }
}

void AddQualified(const SignatureFacts& signature, std::vector<ReportDetail>& details) {
    for (QualifiedCriterion criterion : signature.unmetCriteria) {
        details.push_back({criterion == QualifiedCriterion::QcStatements
                               ? DetailKind::QcStatementsMissing
                           : criterion == QualifiedCriterion::NameForm ? DetailKind::NameFormWrong
                                                                       : DetailKind::KeyUsageWrong,
                           {}});
    }
}

void AddSkipped(const SignatureFacts& signature, std::vector<ReportDetail>& details) {
    std::vector<std::wstring> names;
    for (int check = 0; check < kReportCheckCount; ++check) {
        if (signature.checks[check].status == CheckStatus::Skipped) {
            names.push_back(CheckName(check));
        }
    }
    if (!names.empty()) {
        details.push_back({DetailKind::ChecksSkipped, names});
    }
}

std::wstring Replace(std::wstring text, const std::wstring& token, const std::wstring& value) {
    for (size_t at = text.find(token); at != std::wstring::npos;
         at = text.find(token, at + value.size())) {
        text.replace(at, token.size(), value);
    }
    return text;
}

std::wstring DaysText(int days) {
    const WORD language = Preferences::Instance().Language();
    // English has one form for one; Serbian for every number ending in 1 but 11.
    const bool one = language == LanguageEnglish ? days == 1 : days % 10 == 1 && days % 100 != 11;
    return Replace(LoadLocalizedString(one ? IDS_DETAIL_DAY_ONE : IDS_DETAIL_DAYS), L"%1",
                   std::to_wstring(days));
}

// A fact as a person reads it: instants as dates, names of checks and reasons localized.
std::wstring ReadableFact(const ReportDetail& detail, size_t index) {
    const std::wstring& fact = detail.facts[index];
    if (detail.kind == DetailKind::Revoked && index == 1) {
        return detail.code >= 0 && detail.code < kRevocationReasonCount
                   ? LocalizedListItem(IDS_DETAIL_REVOCATION_REASONS,
                                       static_cast<size_t>(detail.code))
                   : LoadLocalizedString(IDS_DETAIL_UNKNOWN);
    }
    if (detail.kind == DetailKind::TimestampNotUsed) {
        return detail.code > 0 && detail.code <= static_cast<int>(kLastTimestampProblem)
                   ? LocalizedTimestampProblem(static_cast<TimestampProblem>(detail.code))
                   : LoadLocalizedString(IDS_DETAIL_UNKNOWN);
    }
    return fact.empty() ? LoadLocalizedString(IDS_DETAIL_UNKNOWN) : ReadableDate(fact);
}

} // namespace

std::wstring FillPlaceholders(const std::wstring& pattern, const std::vector<std::wstring>& facts,
                              const std::wstring& days) {
    std::wstring text;
    for (size_t i = 0; i < pattern.size(); ++i) {
        size_t end = i + 1;
        size_t number = 0;
        while (pattern[i] == L'%' && end < pattern.size() && std::iswdigit(pattern[end])) {
            number = number * 10 + static_cast<size_t>(pattern[end++] - L'0');
        }
        if (number >= 1 && number <= facts.size()) {
            text += facts[number - 1];
            i = end - 1;
        } else if (pattern[i] == L'%' && end == i + 1 && end < pattern.size() &&
                   pattern[end] == L'd') {
            text += days;
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return text;
}

namespace {

std::vector<ReportDetail> SignatureDetails(const ValidationReport& report,
                                           const SignatureFacts& signature) {
    std::vector<ReportDetail> details;
    switch (report.decoding) {
    case DecodingOutcome::Unreadable: {
        wchar_t code[16];
        std::swprintf(code, 16, L"0x%08X", static_cast<unsigned>(report.decodingError));
        details.push_back({DetailKind::Unreadable, {code}});
        return details;
    }
    case DecodingOutcome::NotForThisUser:
        if (report.recipients.empty()) {
            details.push_back({DetailKind::NotForThisUserUnknown, {L"", L""}});
        } else if (!report.recipients.front().certificate.subject.empty()) {
            const SignerReport& recipient = report.recipients.front().certificate;
            details.push_back({DetailKind::NotForThisUser, {recipient.subject, recipient.serial}});
        } else {
            const SignerReport& recipient = report.recipients.front().certificate;
            details.push_back(
                {DetailKind::NotForThisUserUnknown, {recipient.issuer, recipient.serial}});
        }
        return details;
    case DecodingOutcome::Unsupported:
        if (!signature.signer.present) {
            details.push_back({DetailKind::UnsupportedAlgorithm, {report.unsupportedAlgorithm}});
            return details;
        }
        break;
    case DecodingOutcome::NotTampered:
    case DecodingOutcome::Tampered:
        break;
    }
    if (!signature.signer.present) {
        return details;
    }
    switch (signature.decoding) {
    case DecodingOutcome::Tampered:
        if (signature.signerMismatch) {
            details.push_back({DetailKind::SignerMismatch, {signature.signer.subject}});
        } else {
            details.push_back({DetailKind::Tampered, {}});
        }
        AddSkipped(signature, details);
        return details;
    case DecodingOutcome::Unsupported:
        details.push_back({DetailKind::UnsupportedAlgorithm, {signature.unsupportedAlgorithm}});
        AddSkipped(signature, details);
        return details;
    default:
        break;
    }
    if (!signature.validated) {
        details.push_back({DetailKind::ChecksNotRun, {signature.checksError}});
        return details;
    }
    // Which time the checks below were judged at comes first.
    const TimestampReport& timestamp = signature.timestamp;
    if (timestamp.used) {
        details.push_back({DetailKind::CheckedAtProvenTime, {timestamp.time, timestamp.authority}});
    } else if (timestamp.present) {
        details.push_back(
            {DetailKind::TimestampNotUsed, {L""}, -1, static_cast<int>(timestamp.problem)});
    }
    const RevocationReport& evidence = signature.revocation;
    if (evidence.source == RevocationSource::Container &&
        signature.checks[CrlCheck].status != CheckStatus::Skipped) {
        details.push_back({DetailKind::CrlFromContainer,
                           {evidence.crlIssuer, evidence.crlThisUpdate, evidence.crlNextUpdate}});
    }
    for (int index = 0; index < kReportCheckCount; ++index) {
        const CheckReport& check = signature.checks[index];
        if (check.status != CheckStatus::Failed) {
            continue;
        }
        switch (index) {
        case ValidityCheck:
            AddValidity(report, signature, check, details);
            break;
        case ChainCheck:
            AddChain(signature, check, details);
            break;
        case CrlCheck:
            AddCrl(signature, details);
            break;
        case RevocationCheck:
            AddRevocation(signature, details);
            break;
        default:
            AddQualified(signature, details);
            break;
        }
    }
    if (signature.outdatedAlgorithm) {
        details.push_back({DetailKind::OutdatedAlgorithm, {}});
    }
    AddSkipped(signature, details);
    return details;
}

// The common name in a distinguished name as the report writes it ("E=..., CN=Jelena
// Jovanović, O=..."); the whole name when it has none.
std::wstring CommonNameOf(const std::wstring& name) {
    const size_t at = name.find(L"CN=");
    if (at == std::wstring::npos || (at > 0 && name[at - 1] != L' ')) {
        return name;
    }
    const size_t start = at + 3;
    if (start < name.size() && name[start] == L'"') {
        const size_t close = name.find(L'"', start + 1);
        return name.substr(start + 1,
                           close == std::wstring::npos ? std::wstring::npos : close - start - 1);
    }
    return name.substr(start, name.find(L", ", start) - start);
}

// Whom an opened envelope was made for, by name (or issuer and serial), and whose key opened
// it (`code`).
ReportDetail RecipientsDetail(const ValidationReport& report) {
    ReportDetail detail{DetailKind::Recipients, {}};
    for (size_t i = 0; i < report.recipients.size(); ++i) {
        const SignerReport& recipient = report.recipients[i].certificate;
        detail.facts.push_back(!recipient.subject.empty()
                                   ? CommonNameOf(recipient.subject)
                                   : recipient.issuer + L", " + recipient.serial);
        if (report.recipients[i].yours) {
            detail.code = static_cast<int>(i);
        }
    }
    return detail;
}

} // namespace

std::vector<ReportDetail> DetailsOf(const ValidationReport& report,
                                    const SignatureFacts& signature) {
    std::vector<ReportDetail> details = SignatureDetails(report, signature);
    if (report.decoding != DecodingOutcome::NotForThisUser && !report.recipients.empty()) {
        details.push_back(RecipientsDetail(report));
    }
    return details;
}

std::vector<ReportDetail> DetailsOf(const ValidationReport& report) {
    return DetailsOf(report, report.Selected());
}

std::wstring LocalizedListItem(UINT id, size_t index) {
    const std::wstring list = LoadLocalizedString(id);
    size_t start = 0;
    for (size_t i = 0; i < index; ++i) {
        start = list.find(L'|', start);
        if (start == std::wstring::npos) {
            return {};
        }
        ++start;
    }
    return list.substr(start, list.find(L'|', start) - start);
}

std::wstring ReadableDate(const std::wstring& isoUtc) {
    SYSTEMTIME parts;
    if (!ParseIso(isoUtc, parts)) {
        return isoUtc;
    }
    wchar_t time[8];
    std::swprintf(time, 8, L"%02u:%02u", parts.wHour, parts.wMinute);
    std::wstring text = LoadLocalizedString(IDS_DETAIL_DATE);
    text = Replace(text, L"%1", std::to_wstring(parts.wDay));
    text = Replace(text, L"%2", LocalizedListItem(IDS_DETAIL_MONTHS, parts.wMonth - 1u));
    text = Replace(text, L"%3", std::to_wstring(parts.wYear));
    return Replace(text, L"%4", time);
}

DetailText DetailTextOf(const ReportDetail& detail) {
    const UINT first = IDS_DETAIL_FIRST + 3 * static_cast<UINT>(detail.kind);
    DetailText text = {LoadLocalizedString(first), LoadLocalizedString(first + 1),
                       LoadLocalizedString(first + 2)};
    if (detail.kind == DetailKind::ChecksSkipped) {
        std::vector<std::wstring> names;
        for (const std::wstring& fact : detail.facts) {
            for (int check = 0; check < kReportCheckCount; ++check) {
                if (fact == CheckName(check)) {
                    names.push_back(LocalizedListItem(IDS_DETAIL_CHECK_NAMES, check));
                }
            }
        }
        text.text = Replace(text.text, L"%1", JoinNames(names));
        return text;
    }
    if (detail.kind == DetailKind::Recipients) {
        std::vector<std::wstring> names;
        for (size_t i = 0; i < detail.facts.size(); ++i) {
            names.push_back(MHFX::ReadableText(detail.facts[i]) +
                            (static_cast<int>(i) == detail.code
                                 ? L" " + LoadLocalizedString(IDS_DETAIL_OPENED_WITH_YOUR_KEY)
                                 : std::wstring()));
        }
        text.text = Replace(text.text, L"%1", JoinNames(names));
        return text;
    }
    // Facts come from the container and its certificates: spelled out, and never scanned
    // for placeholders once they are in.
    std::vector<std::wstring> facts;
    for (size_t i = 0; i < detail.facts.size(); ++i) {
        facts.push_back(MHFX::ReadableText(ReadableFact(detail, i)));
    }
    text.text = FillPlaceholders(text.text, facts,
                                 detail.days >= 0 ? DaysText(detail.days) : std::wstring(L"%d"));
    return text;
}

std::wstring DetailsHeading() {
    return LoadLocalizedString(IDS_DETAILS_HEADING);
}

std::wstring AdviceLabel() {
    return LoadLocalizedString(IDS_DETAIL_ADVICE_LABEL);
}

std::wstring DetailsPlainText(const std::vector<ReportDetail>& details,
                              const std::wstring& indent) {
    if (details.empty()) {
        return {};
    }
    std::wstring text = indent + DetailsHeading() + L"\r\n";
    for (const ReportDetail& detail : details) {
        const DetailText item = DetailTextOf(detail);
        text += indent + L"  " + item.title + L"\r\n" + indent + L"    " + item.text + L"\r\n";
        if (!item.advice.empty()) {
            text += indent + L"    " + AdviceLabel() + L" " + item.advice + L"\r\n";
        }
    }
    return text;
}

std::wstring ChainElementStatusText(const ChainElementReport& element) {
    // The problems a person can act on have words; the others keep their names.
    static const DWORD kWords[] = {CERT_TRUST_IS_REVOKED,
                                   CERT_TRUST_IS_NOT_TIME_VALID,
                                   CERT_TRUST_IS_UNTRUSTED_ROOT,
                                   CERT_TRUST_IS_PARTIAL_CHAIN,
                                   CERT_TRUST_REVOCATION_STATUS_UNKNOWN,
                                   CERT_TRUST_IS_OFFLINE_REVOCATION,
                                   CERT_TRUST_IS_NOT_VALID_FOR_USAGE,
                                   CERT_TRUST_IS_NOT_SIGNATURE_VALID};
    std::vector<std::wstring> words;
    DWORD named = 0;
    for (size_t i = 0; i < std::size(kWords); ++i) {
        if (element.errors & kWords[i]) {
            words.push_back(LocalizedListItem(IDS_DETAIL_CHAIN_WORDS, i));
            named |= kWords[i];
        }
    }
    for (const std::wstring& name : ChainErrorNames(element.errors & ~named)) {
        words.push_back(name);
    }
    return words.empty() ? LoadLocalizedString(IDS_DETAIL_CHAIN_OK) : JoinNames(words);
}

} // namespace Dossiq::Documents
