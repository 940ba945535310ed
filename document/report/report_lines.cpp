#include "document/report/report_lines.h"

#include "document/report/validation_report.h"
#include "resources/common/localized_ids.h"

namespace Dossiq::Documents {

using MHFX::Security::Cryptography::X509::ValidationResult;

std::vector<ReportLine> VerifyingReportLines(const ReportTexts& texts) {
    return {{texts.verifying, ReportBlack, true}};
}

std::vector<ReportLine> ParsedReportLines(bool verified, const ReportTexts& texts,
                                          bool unsupported) {
    if (verified) {
        return {{texts.notTampered, ReportBlue, true},
                {0, ReportBlack, false},
                {texts.validating, ReportBlack, true}};
    }
    std::vector<ReportLine> lines = {{unsupported ? IDS_UNSUPPORTED_ALGORITHM : texts.tampered,
                                      unsupported ? ReportBlack : ReportRed, true},
                                     {IDS_VALIDITY_SKIPPED, ReportBlack, false},
                                     {IDS_CHAIN_SKIPPED, ReportBlack, false},
                                     {IDS_CRL_SKIPPED, ReportBlack, false},
                                     {IDS_REVOCATION_SKIPPED, ReportBlack, false}};
    if (texts.tamperedListsQualified) {
        lines.push_back({IDS_QUALIFIED_SKIPPED, ReportBlack, false});
    }
    return lines;
}

std::vector<ReportLine> ValidatedReportLines(ValidationResult result, const ReportTexts& texts,
                                             bool outdatedAlgorithm) {
    const ReportLine passed[] = {{IDS_VALIDITY_PASSED, ReportBlue, true},
                                 {IDS_CHAIN_PASSED, ReportBlue, true},
                                 {IDS_CRL_PASSED, ReportBlue, true},
                                 {IDS_REVOCATION_PASSED, ReportBlue, true},
                                 {IDS_QUALIFIED_PASSED, ReportBlue, true}};
    const ReportLine failed[] = {{IDS_VALIDITY_FAILED, ReportRed, true},
                                 {IDS_CHAIN_FAILED, ReportRed, true},
                                 {IDS_CRL_FAILED, ReportRed, true},
                                 {IDS_REVOCATION_FAILED, ReportRed, true},
                                 {IDS_QUALIFIED_FAILED, ReportRed, true}};
    const ReportLine skipped[] = {{IDS_VALIDITY_SKIPPED, ReportBlack, false},
                                  {IDS_CHAIN_SKIPPED, ReportBlack, false},
                                  {IDS_CRL_SKIPPED, ReportBlack, false},
                                  {IDS_REVOCATION_SKIPPED, ReportBlack, false},
                                  {IDS_QUALIFIED_SKIPPED, ReportBlack, false}};
    // The lines follow the statuses every other reader of a report sees.
    const auto statuses = CheckStatusesOf(result);
    std::vector<ReportLine> lines = {{texts.notTampered, ReportBlue, true}};
    for (int check = 0; check < kReportCheckCount; ++check) {
        lines.push_back(statuses[check] == CheckStatus::Passed   ? passed[check]
                        : statuses[check] == CheckStatus::Failed ? failed[check]
                                                                 : skipped[check]);
    }
    if (outdatedAlgorithm) {
        lines.push_back({IDS_OUTDATED_SIGNATURE, ReportBlack, false});
    }
    return lines;
}

ReportPicture ValidatedReportPicture(ValidationResult result) {
    return result == ValidationResult::ValidQualified ? ReportPicture::Qualified
                                                      : ReportPicture::Warning;
}

std::vector<ReportLine> ReportLinesOf(const ValidationReport& report, const ReportTexts& texts) {
    const SignatureFacts& signature = report.Selected();
    if (report.decoding == DecodingOutcome::Tampered) {
        return ParsedReportLines(false, texts);
    }
    if (report.decoding == DecodingOutcome::Unsupported && signature.signer.present) {
        return ParsedReportLines(false, texts, true);
    }
    if (report.decoding != DecodingOutcome::NotTampered || !signature.signer.present) {
        return {};
    }
    if (!signature.validated) {
        return ParsedReportLines(true, texts);
    }
    return ValidatedReportLines(signature.result, texts, signature.outdatedAlgorithm);
}

ReportPicture FinishedReportPicture(ValidationResult result, const ValidationReport* report) {
    if (report && !report->Selected().validated) {
        return ReportPicture::Warning;
    }
    const ReportPicture shown = ValidatedReportPicture(result);
    if (!report || shown != ReportPicture::Qualified) {
        return shown;
    }
    const std::wstring verdict = VerdictOf(*report);
    return verdict == L"passed"     ? shown
           : verdict == L"tampered" ? ReportPicture::Tampered
                                    : ReportPicture::Warning;
}

} // namespace Dossiq::Documents
