// The signature report as data: the coloured lines of each phase (verifying the signature,
// the document parsed, the certificate validated) and the state picture, as pure tables
// that every window showing such a report writes the same way.
#pragma once

#include <windows.h>

#include <vector>

#include "certificates/validation_result.h"

namespace Dossiq::Documents {

constexpr COLORREF ReportBlue = 0x00FF0000;  // passed, untouched
constexpr COLORREF ReportRed = 0x000000FF;   // failed
constexpr COLORREF ReportBlack = 0x00000000; // skipped, in progress

struct ReportLine {
    UINT textId; // 0 for an empty line
    COLORREF colour;
    bool bold;
};

// The ids of the lines whose texts differ between the deliverables.
struct ReportTexts {
    UINT notTampered = 230;
    UINT tampered = 231;
    UINT verifying = 240;
    UINT validating = 241;
    // A tampered report also says that the qualified check was skipped.
    bool tamperedListsQualified = false;
};

enum class ReportPicture { None, InProgress, Tampered, Qualified, Warning };

// The lines of each phase. The first line of each list is set with SetFirstLine (always
// bold), the others appended.
std::vector<ReportLine> VerifyingReportLines(const ReportTexts& texts);
// A signature that cannot be verified here (`unsupported`) says so in place of the tampered
// line.
std::vector<ReportLine> ParsedReportLines(bool verified, const ReportTexts& texts,
                                          bool unsupported = false);
// Result 0 (a chain the policy refused for another reason) reads like a failed chain. A
// signature made with an outdated hash adds one note after the six lines; the verdict stays.
std::vector<ReportLine>
ValidatedReportLines(MHFX::Security::Cryptography::X509::ValidationResult result,
                     const ReportTexts& texts, bool outdatedAlgorithm = false);
ReportPicture ValidatedReportPicture(MHFX::Security::Cryptography::X509::ValidationResult result);

struct ValidationReport;
// The six lines the manager shows for the finished report, of its selected signature.
std::vector<ReportLine> ReportLinesOf(const ValidationReport& report, const ReportTexts& texts);
// The picture of a finished report: the shown signature's, unless another signature of the
// document keeps it from passing. Without a report, or when the checks did not run, as
// `checked` says: the shown signature's or the warning.
ReportPicture FinishedReportPicture(MHFX::Security::Cryptography::X509::ValidationResult result,
                                    const ValidationReport* report);

} // namespace Dossiq::Documents
