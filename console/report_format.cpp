#include "console/report_format.h"

#include <cwchar>

#include "console/help_texts.h"
#include "document/report/report_details.h"
#include "document/report/timestamp_line.h"
#include "foundation/text/readable_text.h"
#include "resources/console/resource.h"

using namespace Dossiq::Documents;

namespace Dossiq::Console {

namespace {

// What the report says of one signature: its signer and the five checks, then its timestamp.
void WriteSignerJson(JsonWriter& json, const ValidationReport& report) {
    if (report.signer.present) {
        const SignerReport& signer = report.signer;
        json.BeginObject(L"signer");
        json.String(L"subject", signer.subject);
        json.String(L"issuer", signer.issuer);
        json.String(L"serial", signer.serial);
        json.String(L"thumbprint", signer.thumbprint);
        json.String(L"notBefore", signer.notBefore);
        json.String(L"notAfter", signer.notAfter);
        json.StringOrNull(L"email", signer.email);
        json.EndObject();
    } else {
        json.Null(L"signer");
    }
    json.BeginArray(L"recipients");
    for (const RecipientReport& recipient : report.recipients) {
        json.BeginObject();
        json.StringOrNull(L"subject", recipient.certificate.subject);
        json.String(L"issuer", recipient.certificate.issuer);
        json.String(L"serial", recipient.certificate.serial);
        json.Bool(L"yours", recipient.yours);
        json.EndObject();
    }
    json.EndArray();
    json.BeginArray(L"checks");
    for (int i = 0; i < kReportCheckCount; ++i) {
        const CheckReport& check = report.checks[i];
        json.BeginObject();
        json.String(L"name", CheckName(i));
        json.String(L"status", CheckStatusName(check.status));
        json.String(L"reason", check.reason);
        json.Strings(L"chainStatus", check.chainStatus);
        if (i == CrlCheck || i == RevocationCheck) {
            json.StringOrNull(L"evidence", check.crlSource);
        }
        if (i == CrlCheck) {
            if (check.crlUrl.empty() && check.crlIssuer.empty()) {
                json.Null(L"crl");
            } else {
                json.BeginObject(L"crl");
                json.StringOrNull(L"url", check.crlUrl);
                json.StringOrNull(L"issuer", check.crlIssuer);
                json.StringOrNull(L"thisUpdate", check.crlThisUpdate);
                json.StringOrNull(L"nextUpdate", check.crlNextUpdate);
                json.EndObject();
            }
            json.StringOrNull(L"gap", check.crlGap);
            json.StringOrNull(L"kind", check.evidenceKind);
            if (check.ocspUrl.empty()) {
                json.Null(L"ocsp");
            } else {
                json.BeginObject(L"ocsp");
                json.String(L"url", check.ocspUrl);
                json.StringOrNull(L"responder", check.ocspResponder);
                json.StringOrNull(L"producedAt", check.ocspProducedAt);
                json.StringOrNull(L"thisUpdate", check.ocspThisUpdate);
                json.StringOrNull(L"nextUpdate", check.ocspNextUpdate);
                json.EndObject();
            }
        }
        if (i == RevocationCheck) {
            if (check.revocationDate.empty()) {
                json.Null(L"revocation");
            } else {
                json.BeginObject(L"revocation");
                json.String(L"date", check.revocationDate);
                json.StringOrNull(L"reason", check.revocationReason);
                json.StringOrNull(L"invalidityDate", check.invalidityDate);
                json.EndObject();
            }
        }
        if (i == QualifiedCheck) {
            json.Strings(L"failedCriteria", check.failedCriteria);
        }
        json.EndObject();
    }
    json.EndArray();
}

void WriteTimestampJson(JsonWriter& json, const ValidationReport& report) {
    if (report.timestamp.present) {
        const TimestampReport& timestamp = report.timestamp;
        json.BeginObject(L"timestamp");
        json.StringOrNull(L"time", timestamp.time);
        json.StringOrNull(L"authority", timestamp.authority);
        json.Bool(L"used", timestamp.used);
        json.StringOrNull(L"problem", TimestampProblemName(timestamp.problem));
        json.StringOrNull(L"reason", TimestampProblemText(timestamp.problem));
        json.EndObject();
    } else {
        json.Null(L"timestamp");
    }
}

void WriteEntriesJson(JsonWriter& json, const ValidationReport& report) {
    json.BeginArray(L"entries");
    for (const EntryReport& entry : report.entries) {
        json.BeginObject();
        json.Number(L"index", entry.index);
        json.String(L"name", entry.name);
        json.Number(L"size", entry.size);
        json.Number(L"compressedSize", entry.compressedSize);
        wchar_t crc[16];
        std::swprintf(crc, 16, L"%08x", static_cast<unsigned>(entry.crc32));
        json.String(L"crc32", crc);
        json.String(L"time", entry.time);
        json.EndObject();
    }
    json.EndArray();
}

} // namespace

void WriteReportJson(JsonWriter& json, const ValidationReport& report) {
    json.BeginObject();
    json.String(L"path", report.path);
    json.String(L"kind", report.kind);
    json.String(L"verdict", VerdictOf(report));
    json.String(L"decoding", DecodingName(report.decoding));
    if (report.decodingError) {
        wchar_t code[16];
        std::swprintf(code, 16, L"0x%08X", static_cast<unsigned>(report.decodingError));
        json.String(L"decodingError", code);
    } else {
        json.Null(L"decodingError");
    }
    json.StringOrNull(L"unsupportedAlgorithm", report.unsupportedAlgorithm);
    WriteSignerJson(json, report);
    WriteEntriesJson(json, report);
    WriteTimestampJson(json, report);
    // Each signature on its own; the fields above describe the first (for earlier readers).
    json.BeginArray(L"signatures");
    for (const ValidationReport& signature : report.signatures) {
        json.BeginObject();
        json.String(L"verdict", VerdictOf(signature));
        json.String(L"decoding", DecodingName(signature.decoding));
        WriteSignerJson(json, signature);
        WriteTimestampJson(json, signature);
        json.EndObject();
    }
    json.EndArray();
    json.String(L"checkedAt", report.checkedAt);
    json.EndObject();
}

namespace {

std::wstring Join(const std::vector<std::wstring>& parts) {
    std::wstring text;
    for (const std::wstring& part : parts) {
        text += (text.empty() ? L"" : L", ") + part;
    }
    return text;
}

std::wstring Append(const std::wstring& text, const std::wstring& more) {
    return text.empty() ? more : text + L"; " + more;
}

// The reason of a check in the user's language, from the report's facts; the English
// `reason` stays for the JSON. Flag, criterion and revocation reason names stay as named.
std::wstring LocalizedReason(const ValidationReport& report, int index) {
    const CheckReport& check = report.checks[index];
    if (report.decoding == DecodingOutcome::Unsupported) {
        return ConsoleText(IDS_CONSOLE_REASON_UNSUPPORTED, {report.unsupportedAlgorithm});
    }
    if (report.decoding == DecodingOutcome::Unreadable ||
        report.decoding == DecodingOutcome::NotForThisUser) {
        return ConsoleText(IDS_CONSOLE_REASON_UNDECODED);
    }
    if (!report.signer.present) {
        return ConsoleText(IDS_CONSOLE_REASON_UNSIGNED);
    }
    if (report.decoding == DecodingOutcome::Tampered) {
        return ConsoleText(IDS_CONSOLE_REASON_TAMPERED);
    }
    if (!report.validated) {
        if (index != ValidityCheck) {
            return ConsoleText(IDS_CONSOLE_REASON_EARLIER_FAILED);
        }
        return ConsoleText(IDS_CONSOLE_REASON_NOT_RUN, {report.checksError});
    }
    if (check.status == CheckStatus::Skipped) {
        return ConsoleText(IDS_CONSOLE_REASON_EARLIER_FAILED);
    }
    std::wstring text;
    if (check.status == CheckStatus::Failed && index <= RevocationCheck) {
        text = check.chainStatus.empty() ? ConsoleText(IDS_CONSOLE_REASON_POLICY)
                                         : MHFX::ReadableText(Join(check.chainStatus));
    }
    if (index == ValidityCheck) {
        text = Append(text, ConsoleText(IDS_CONSOLE_REASON_PERIOD,
                                        {report.signer.notBefore, report.signer.notAfter}));
    }
    if (index == CrlCheck && !check.crlUrl.empty()) {
        text = Append(text,
                      check.crlThisUpdate.empty()
                          ? ConsoleText(IDS_CONSOLE_REASON_CRL_NOT_RETRIEVED, {check.crlUrl})
                          : ConsoleText(IDS_CONSOLE_REASON_CRL,
                                        {check.crlUrl, check.crlThisUpdate, check.crlNextUpdate}));
    }
    if (index == RevocationCheck && check.status == CheckStatus::Failed &&
        !check.revocationDate.empty()) {
        text = Append(text, ConsoleText(IDS_CONSOLE_REASON_REVOKED,
                                        {check.revocationDate, check.revocationReason}));
    }
    if (index == QualifiedCheck && check.status == CheckStatus::Failed) {
        text = ConsoleText(IDS_CONSOLE_REASON_NOT_MET, {Join(check.failedCriteria)});
    }
    return text;
}

} // namespace

namespace {

// One signature's lines below its heading: the checks that did not pass and the timestamp.
std::wstring SignatureLines(const ValidationReport& report, const std::wstring& indent) {
    if (report.decoding != DecodingOutcome::NotTampered || !report.signer.present) {
        return indent + LocalizedReason(report, 0) + L"\r\n";
    }
    std::wstring text;
    for (int i = 0; i < kReportCheckCount; ++i) {
        const CheckReport& check = report.checks[i];
        if (check.status != CheckStatus::Passed) {
            text += indent + CheckName(i) + L": " + CheckStatusName(check.status) + L": " +
                    LocalizedReason(report, i) + L"\r\n";
        }
    }
    // The report line without its leading dash.
    const std::wstring timestamp = TimestampLineText(report.timestamp);
    if (!timestamp.empty()) {
        text +=
            indent + (timestamp.rfind(L"- ", 0) == 0 ? timestamp.substr(2) : timestamp) + L"\r\n";
    }
    return text;
}

} // namespace

std::wstring ReportText(const ValidationReport& report) {
    std::wstring verdict = VerdictOf(report);
    verdict.resize(std::max<size_t>(verdict.size(), 10), L' ');
    std::wstring text = verdict + L" " + MHFX::ReadableText(report.path);
    if (report.signer.present) {
        text += L"  [" + MHFX::ReadableText(report.signer.subject) + L"]";
    }
    text += L"\r\n";
    const std::wstring details = DetailsPlainText(DetailsOf(report), L"    ");
    if (report.signatures.size() <= 1) {
        return text + SignatureLines(report, L"    ") + details;
    }
    // A block per signature; the details are the first signature's.
    const std::wstring count = std::to_wstring(report.signatures.size());
    for (size_t i = 0; i < report.signatures.size(); ++i) {
        const ValidationReport& signature = report.signatures[i];
        text += L"    " +
                ConsoleText(IDS_CONSOLE_SIGNATURE_BLOCK,
                            {std::to_wstring(i + 1), count, VerdictOf(signature),
                             MHFX::ReadableText(signature.signer.subject)}) +
                L"\r\n" + SignatureLines(signature, L"        ");
    }
    return text + details;
}

} // namespace Dossiq::Console
