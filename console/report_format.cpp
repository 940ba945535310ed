#include "console/report_format.h"

#include <cwchar>

#include "console/help_texts.h"
#include "document/report/check_reason.h"
#include "document/report/report_details.h"
#include "document/report/report_names.h"
#include "document/report/timestamp_line.h"
#include "foundation/text/readable_text.h"
#include "resources/console/resource.h"

using namespace Dossiq::Documents;
using MHFX::Security::Cryptography::X509::RevocationGapName;
using MHFX::Security::Cryptography::X509::RevocationKindName;
using MHFX::Security::Cryptography::X509::RevocationSource;
using MHFX::Security::Cryptography::X509::RevocationSourceName;

namespace Dossiq::Console {

namespace {

std::wstring NameOrEmpty(bool present, const wchar_t* name) {
    return present ? name : L"";
}

// What the report says of one signature: its signer and the five checks, then its timestamp.
void WriteSignerJson(JsonWriter& json, const ValidationReport& report,
                     const SignatureFacts& signature) {
    if (signature.signer.present) {
        const SignerReport& signer = signature.signer;
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
    const RevocationReport& evidence = signature.revocation;
    const bool decided = evidence.source != RevocationSource::None;
    json.BeginArray(L"checks");
    for (int i = 0; i < kReportCheckCount; ++i) {
        const CheckReport& check = signature.checks[i];
        json.BeginObject();
        json.String(L"name", CheckName(i));
        json.String(L"status", CheckStatusName(check.status));
        json.String(L"reason", CheckReason(report, signature, i, ReasonLanguage::English));
        json.Strings(L"chainStatus", ChainErrorNames(check.chainErrors));
        if (i == CrlCheck || i == RevocationCheck) {
            json.StringOrNull(L"evidence",
                              NameOrEmpty(decided, RevocationSourceName(evidence.source)));
        }
        if (i == CrlCheck) {
            if (evidence.crlUrl.empty() && evidence.crlIssuer.empty()) {
                json.Null(L"crl");
            } else {
                json.BeginObject(L"crl");
                json.StringOrNull(L"url", evidence.crlUrl);
                json.StringOrNull(L"issuer", evidence.crlIssuer);
                json.StringOrNull(L"thisUpdate", evidence.crlThisUpdate);
                json.StringOrNull(L"nextUpdate", evidence.crlNextUpdate);
                json.EndObject();
            }
            json.StringOrNull(L"gap", RevocationGapName(evidence.gap));
            json.StringOrNull(L"kind", NameOrEmpty(decided, RevocationKindName(evidence.kind)));
            if (evidence.ocspUrl.empty()) {
                json.Null(L"ocsp");
            } else {
                json.BeginObject(L"ocsp");
                json.String(L"url", evidence.ocspUrl);
                json.StringOrNull(L"responder", evidence.ocspResponder);
                json.StringOrNull(L"producedAt", evidence.ocspProducedAt);
                json.StringOrNull(L"thisUpdate", evidence.ocspThisUpdate);
                json.StringOrNull(L"nextUpdate", evidence.ocspNextUpdate);
                json.EndObject();
            }
        }
        if (i == RevocationCheck) {
            if (evidence.revocationDate.empty()) {
                json.Null(L"revocation");
            } else {
                json.BeginObject(L"revocation");
                json.String(L"date", evidence.revocationDate);
                json.StringOrNull(L"reason", RevocationReasonName(evidence.reason));
                json.StringOrNull(L"invalidityDate", evidence.invalidityDate);
                json.EndObject();
            }
        }
        if (i == QualifiedCheck) {
            std::vector<std::wstring> criteria;
            for (QualifiedCriterion criterion : signature.unmetCriteria) {
                criteria.push_back(QualifiedCriterionName(criterion));
            }
            json.Strings(L"failedCriteria", criteria);
        }
        json.EndObject();
    }
    json.EndArray();
}

void WriteTimestampJson(JsonWriter& json, const TimestampReport& timestamp) {
    if (timestamp.present) {
        json.BeginObject(L"timestamp");
        json.StringOrNull(L"time", timestamp.time);
        json.StringOrNull(L"authority", timestamp.authority);
        json.Bool(L"used", timestamp.used);
        json.StringOrNull(L"problem", TimestampProblemName(timestamp.problem));
        json.StringOrNull(L"reason", TimestampReason(timestamp.problem, ReasonLanguage::English));
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
    WriteSignerJson(json, report, report.Selected());
    WriteEntriesJson(json, report);
    WriteTimestampJson(json, report.Selected().timestamp);
    // Each signature on its own; the fields above describe the selected one (for earlier
    // readers).
    json.BeginArray(L"signatures");
    for (const SignatureFacts& signature : report.signatures) {
        json.BeginObject();
        json.String(L"verdict", VerdictOf(signature));
        json.String(L"decoding", DecodingName(signature.decoding));
        if (signature.countersigns == kNotCountersigning) {
            json.Null(L"countersigns");
        } else {
            json.Number(L"countersigns", static_cast<std::int64_t>(signature.countersigns));
        }
        WriteSignerJson(json, report, signature);
        WriteTimestampJson(json, signature.timestamp);
        json.EndObject();
    }
    json.EndArray();
    json.String(L"checkedAt", report.checkedAt);
    json.EndObject();
}

namespace {

// One signature's lines below its heading: the checks that did not pass and the timestamp.
std::wstring SignatureLines(const ValidationReport& report, const SignatureFacts& signature,
                            const std::wstring& indent) {
    if (report.decoding == DecodingOutcome::Unreadable ||
        report.decoding == DecodingOutcome::NotForThisUser ||
        signature.decoding != DecodingOutcome::NotTampered || !signature.signer.present) {
        return indent + CheckReason(report, signature, 0, ReasonLanguage::Preference) + L"\r\n";
    }
    std::wstring text;
    for (int i = 0; i < kReportCheckCount; ++i) {
        const CheckReport& check = signature.checks[i];
        if (check.status != CheckStatus::Passed) {
            text += indent + CheckName(i) + L": " + CheckStatusName(check.status) + L": " +
                    CheckReason(report, signature, i, ReasonLanguage::Preference) + L"\r\n";
        }
    }
    // The report line without its leading dash.
    const std::wstring timestamp = TimestampLineText(signature.timestamp);
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
    const SignatureFacts& selected = report.Selected();
    if (selected.signer.present) {
        text += L"  [" + MHFX::ReadableText(selected.signer.subject) + L"]";
    }
    text += L"\r\n";
    const std::wstring details = DetailsPlainText(DetailsOf(report, selected), L"    ");
    if (report.signatures.size() <= 1) {
        return text + SignatureLines(report, selected, L"    ") + details;
    }
    // A block per signature; the details are the selected signature's.
    const std::wstring count = std::to_wstring(report.signatures.size());
    for (size_t i = 0; i < report.signatures.size(); ++i) {
        const SignatureFacts& signature = report.signatures[i];
        const std::wstring subject = MHFX::ReadableText(signature.signer.subject);
        const std::wstring heading =
            signature.countersigns == kNotCountersigning
                ? ConsoleText(IDS_CONSOLE_SIGNATURE_BLOCK,
                              {std::to_wstring(i + 1), count, VerdictOf(signature), subject})
                : ConsoleText(IDS_CONSOLE_COUNTERSIGNATURE_BLOCK,
                              {std::to_wstring(i + 1), count,
                               std::to_wstring(signature.countersigns + 1), VerdictOf(signature),
                               subject});
        text += L"    " + heading + L"\r\n" + SignatureLines(report, signature, L"        ");
    }
    return text + details;
}

} // namespace Dossiq::Console
