#include "document/report/report_details.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <cwctype>

#include "config/localization.h"
#include "config/preferences.h"
#include "foundation/text/readable_text.h"
#include "document/report/timestamp_line.h"
#include "resources/common/localized_ids.h"

using namespace Dossiq::Config;

namespace Dossiq::Documents {

namespace {

constexpr ULONGLONG kTicksPerDay = 10000000ULL * 60 * 60 * 24;

bool Has(const std::vector<std::wstring>& names, const wchar_t* name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::wstring Join(const std::vector<std::wstring>& parts) {
    std::wstring text;
    for (const std::wstring& part : parts) {
        text += (text.empty() ? L"" : L", ") + part;
    }
    return text;
}

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
const ChainElementReport* IssuerWith(const ValidationReport& report, const wchar_t* flag) {
    for (size_t i = 1; i < report.chain.size(); ++i) {
        if (Has(report.chain[i].status, flag)) {
            return &report.chain[i];
        }
    }
    return nullptr;
}

bool SignerHas(const ValidationReport& report, const wchar_t* flag) {
    return report.chain.empty() || Has(report.chain.front().status, flag);
}

void AddValidity(const ValidationReport& report, const CheckReport& check,
                 std::vector<ReportDetail>& details) {
    const SignerReport& signer = report.signer;
    if (Has(check.chainStatus, L"NotTimeValid")) {
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
        if (const ChainElementReport* issuer = IssuerWith(report, L"NotTimeValid")) {
            details.push_back(
                {DetailKind::IssuerExpired, {issuer->name, issuer->certificate.notAfter}});
            return;
        }
    }
    details.push_back({DetailKind::ValidityOther, {Join(check.chainStatus)}});
}

void AddChain(const ValidationReport& report, const CheckReport& check,
              std::vector<ReportDetail>& details) {
    const size_t before = details.size();
    const ChainElementReport* last = report.chain.empty() ? nullptr : &report.chain.back();
    if (Has(check.chainStatus, L"UntrustedRoot")) {
        details.push_back({DetailKind::UntrustedRoot, {last ? last->name : report.signer.issuer}});
    }
    if (Has(check.chainStatus, L"PartialChain")) {
        details.push_back({DetailKind::PartialChain,
                           {last ? last->name : report.signerName,
                            last ? last->certificate.issuer : report.signer.issuer}});
    }
    if (Has(check.chainStatus, L"NotValidForUsage")) {
        std::wstring name = report.signerName;
        for (const ChainElementReport& element : report.chain) {
            if (Has(element.status, L"NotValidForUsage")) {
                name = element.name;
                break;
            }
        }
        details.push_back({DetailKind::WrongUsage, {name}});
    }
    if (details.size() == before) {
        details.push_back({DetailKind::ChainOther, {Join(check.chainStatus)}});
    }
}

void AddCrl(const ValidationReport& report, const CheckReport& check,
            std::vector<ReportDetail>& details) {
    if (check.crlGap == L"expiredNotCovered") {
        details.push_back(
            {DetailKind::CrlExpiredNotCovered, {report.signer.notAfter, check.crlUrl}});
    } else if (check.crlUrl.empty()) {
        details.push_back({DetailKind::CrlNoAddress, {}});
    } else if (check.crlThisUpdate.empty()) {
        details.push_back({DetailKind::CrlNoAnswer, {check.crlUrl}});
    } else {
        const std::vector<std::wstring> facts = {check.crlUrl, check.crlThisUpdate,
                                                 check.crlNextUpdate};
        const bool outdated =
            !check.crlNextUpdate.empty() && DaysBetween(check.crlNextUpdate, report.checkedAt) >= 0;
        details.push_back({outdated ? DetailKind::CrlOutdated : DetailKind::CrlUnknown, facts});
    }
}

void AddRevocation(const ValidationReport& report, const CheckReport& check,
                   std::vector<ReportDetail>& details) {
    if (!SignerHas(report, L"Revoked")) {
        if (const ChainElementReport* issuer = IssuerWith(report, L"Revoked")) {
            details.push_back({DetailKind::IssuerRevoked, {issuer->name}});
            return;
        }
    }
    if (check.revocationDate.empty()) {
        details.push_back({DetailKind::RevokedNoDate, {}});
    } else {
        details.push_back({DetailKind::Revoked, {check.revocationDate, check.revocationReason}});
    }
}

void AddQualified(const CheckReport& check, std::vector<ReportDetail>& details) {
    const struct {
        const wchar_t* criterion;
        DetailKind kind;
    } criteria[] = {{L"qcStatements", DetailKind::QcStatementsMissing},
                    {L"nameForm", DetailKind::NameFormWrong},
                    {L"keyUsage", DetailKind::KeyUsageWrong}};
    for (const auto& item : criteria) {
        if (Has(check.failedCriteria, item.criterion)) {
            details.push_back({item.kind, {}});
        }
    }
}

void AddSkipped(const ValidationReport& report, int from, std::vector<ReportDetail>& details) {
    std::vector<std::wstring> names;
    for (int check = from; check < kReportCheckCount; ++check) {
        if (report.checks[check].status == CheckStatus::Skipped) {
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

// %1, %2, ... and %d of `pattern` replaced in one pass, left to right; a number beyond the
// facts stays as written.
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
    if (fact.empty()) {
        return LoadLocalizedString(IDS_DETAIL_UNKNOWN);
    }
    if (detail.kind == DetailKind::Revoked && index == 1) {
        const int code = RevocationReasonCode(fact);
        return code < 0 ? fact : LocalizedListItem(IDS_DETAIL_REVOCATION_REASONS, code);
    }
    if (detail.kind == DetailKind::TimestampNotUsed) {
        const int problem = std::wcstol(fact.c_str(), nullptr, 10);
        return problem <= 0 || problem > static_cast<int>(kLastTimestampProblem)
                   ? fact
                   : LocalizedTimestampProblem(static_cast<TimestampProblem>(problem));
    }
    return ReadableDate(fact);
}

} // namespace

std::vector<ReportDetail> DetailsOf(const ValidationReport& report) {
    std::vector<ReportDetail> details;
    switch (report.decoding) {
    case DecodingOutcome::Tampered:
        if (report.signerMismatch) {
            details.push_back({DetailKind::SignerMismatch, {report.signer.subject}});
        } else {
            details.push_back({DetailKind::Tampered, {}});
        }
        AddSkipped(report, 0, details);
        return details;
    case DecodingOutcome::Unsupported:
        details.push_back({DetailKind::UnsupportedAlgorithm, {report.unsupportedAlgorithm}});
        if (report.signer.present) {
            AddSkipped(report, 0, details);
        }
        return details;
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
    case DecodingOutcome::NotTampered:
        break;
    }
    if (!report.signer.present) {
        return details;
    }
    if (!report.validated) {
        details.push_back({DetailKind::ChecksNotRun, {report.checksError}});
        return details;
    }
    // Which time the checks below were judged at comes first.
    const TimestampReport& timestamp = report.timestamp;
    if (timestamp.used) {
        details.push_back({DetailKind::CheckedAtProvenTime, {timestamp.time, timestamp.authority}});
    } else if (timestamp.present) {
        details.push_back(
            {DetailKind::TimestampNotUsed, {std::to_wstring(static_cast<int>(timestamp.problem))}});
    }
    const CheckReport& crl = report.checks[CrlCheck];
    if (crl.crlSource == L"container" && crl.status != CheckStatus::Skipped) {
        details.push_back(
            {DetailKind::CrlFromContainer, {crl.crlIssuer, crl.crlThisUpdate, crl.crlNextUpdate}});
    }
    for (int index = 0; index < kReportCheckCount; ++index) {
        const CheckReport& check = report.checks[index];
        if (check.status != CheckStatus::Failed) {
            continue;
        }
        switch (index) {
        case ValidityCheck:
            AddValidity(report, check, details);
            break;
        case ChainCheck:
            AddChain(report, check, details);
            break;
        case CrlCheck:
            AddCrl(report, check, details);
            break;
        case RevocationCheck:
            AddRevocation(report, check, details);
            break;
        default:
            AddQualified(check, details);
            break;
        }
    }
    if (report.outdatedAlgorithm) {
        details.push_back({DetailKind::OutdatedAlgorithm, {}});
    }
    AddSkipped(report, 0, details);
    return details;
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
        text.text = Replace(text.text, L"%1", Join(names));
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
    static const wchar_t* const kWords[] = {L"Revoked",
                                            L"NotTimeValid",
                                            L"UntrustedRoot",
                                            L"PartialChain",
                                            L"RevocationStatusUnknown",
                                            L"OfflineRevocation",
                                            L"NotValidForUsage",
                                            L"NotSignatureValid"};
    std::vector<std::wstring> words;
    for (const std::wstring& flag : element.status) {
        const auto* known = std::find_if(std::begin(kWords), std::end(kWords),
                                         [&](const wchar_t* word) { return flag == word; });
        words.push_back(known == std::end(kWords)
                            ? flag
                            : LocalizedListItem(IDS_DETAIL_CHAIN_WORDS,
                                                static_cast<size_t>(known - std::begin(kWords))));
    }
    return words.empty() ? LoadLocalizedString(IDS_DETAIL_CHAIN_OK) : Join(words);
}

} // namespace Dossiq::Documents
