// The "Details" under a report's six lines: for each check that failed or was skipped, what
// went wrong in plain words, the facts behind it and what to do. DetailsOf picks the details
// and their facts from the report alone; DetailTextOf puts them into the user's language.
// The manager, the property page, the console program and the saved report all render the
// same list.
//
// A new kind of detail (for example one saying at which proven time the checks were made)
// is one enumerator, one row of the text table in report_details.cpp and its three strings.
#pragma once

#include <string>
#include <vector>

#include "document/report/validation_report.h"

namespace Dossiq::Documents {

enum class DetailKind {
    Tampered,
    NotForThisUser,        // facts: the recipient's subject, serial
    NotForThisUserUnknown, // facts: the recipient's issuer, serial
    Unreadable,            // facts: the platform's error code
    ChecksNotRun,          // facts: the platform's text
    Expired,               // facts: not before, not after, checked at; days since
    NotYetValid,           // facts: not before, not after, checked at; days until
    ValidityOther,         // facts: the problem names
    UntrustedRoot,         // facts: the root's name
    PartialChain,          // facts: the last certificate found, the issuer that is missing
    IssuerRevoked,         // facts: the issuer's name
    IssuerExpired,         // facts: the issuer's name, its end of validity
    WrongUsage,            // facts: the certificate's name
    ChainOther,            // facts: the problem names
    CrlNoAddress,
    CrlNoAnswer, // facts: the address
    CrlOutdated, // facts: the address, this update, next update
    CrlUnknown,  // facts: the address, this update, next update
    Revoked,     // facts: date, the reason's name (shown from `code`)
    RevokedNoDate,
    QcStatementsMissing,
    NameFormWrong,
    KeyUsageWrong,
    OutdatedAlgorithm,
    ChecksSkipped,        // facts: the checks not made
    CheckedAtProvenTime,  // facts: the signing time a timestamp proved, its authority
    TimestampNotUsed,     // facts: the problem (from `code`)
    CrlExpiredNotCovered, // facts: the certificate's end of validity, the list's address
    CrlFromContainer,     // facts: the kept list's issuer, this update, next update
    SignerMismatch,       // facts: the subject of the certificate the document presents
    UnsupportedAlgorithm, // facts: the algorithm's OID
    Recipients,           // facts: each recipient's name; `code`: the one whose key opened it
};

struct ReportDetail {
    DetailKind kind;
    std::vector<std::wstring> facts; // instants as ISO 8601 UTC, shown as local dates
    int days = -1;                   // a span in whole days, when the kind has one
    // Revoked: the revocation reason code; TimestampNotUsed: the TimestampProblem.
    int code = -1;
};

// The details of one signature of a finished report; empty when every check passed and the
// signature carries no timestamp.
std::vector<ReportDetail> DetailsOf(const ValidationReport& report,
                                    const SignatureFacts& signature);
// Those of its selected signature.
std::vector<ReportDetail> DetailsOf(const ValidationReport& report);

struct DetailText {
    std::wstring title;
    std::wstring text;
    std::wstring advice; // empty when there is nothing to do
};

// The texts of one detail in the preference language, facts in place.
DetailText DetailTextOf(const ReportDetail& detail);
// "7 December 2026, 17:08 UTC" in the preference language; other text unchanged.
std::wstring ReadableDate(const std::wstring& isoUtc);
// The heading "Details" and the label before the advice, in the preference language.
std::wstring DetailsHeading();
std::wstring AdviceLabel();
// The details as plain text lines for a console: heading, then per detail its title, text
// and advice, each indented by `indent`.
std::wstring DetailsPlainText(const std::vector<ReportDetail>& details, const std::wstring& indent);
// A chain element's problems in plain words, "no problems found" when it has none.
std::wstring ChainElementStatusText(const ChainElementReport& element);
// %1, %2, ... and %d of `pattern` replaced in one pass, left to right; a number beyond the
// facts stays as written.
std::wstring FillPlaceholders(const std::wstring& pattern, const std::vector<std::wstring>& facts,
                              const std::wstring& days = L"%d");
// Entry `index` of a "|"-separated localized list.
std::wstring LocalizedListItem(UINT id, size_t index);

} // namespace Dossiq::Documents
