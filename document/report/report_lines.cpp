#include "document/report/report_lines.h"

#include "resources/common/localized_ids.h"

using MHFX::Security::Cryptography::X509::ValidationResult;

std::vector<ReportLine> VerifyingReportLines(const ReportTexts& texts) {
    return {{texts.verifying, ReportBlack, true}};
}

std::vector<ReportLine> ParsedReportLines(bool verified, const ReportTexts& texts) {
    if (verified) {
        return {{texts.notTampered, ReportBlue, true},
                {0, ReportBlack, false},
                {texts.validating, ReportBlack, true}};
    }
    std::vector<ReportLine> lines = {{texts.tampered, ReportRed, true},
                                     {IDS_VALIDITY_SKIPPED, ReportBlack, false},
                                     {IDS_CHAIN_SKIPPED, ReportBlack, false},
                                     {IDS_CRL_SKIPPED, ReportBlack, false},
                                     {IDS_REVOCATION_SKIPPED, ReportBlack, false}};
    if (texts.tamperedListsQualified) {
        lines.push_back({IDS_QUALIFIED_SKIPPED, ReportBlack, false});
    }
    return lines;
}

std::vector<ReportLine> ValidatedReportLines(ValidationResult result, const ReportTexts& texts) {
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
    // The check that failed, 5 when none did; a value outside the table never reads as passed.
    int failedCheck = 1;
    switch (result) {
    case ValidationResult::CertificateNotValid:
        failedCheck = 0;
        break;
    case ValidationResult::ChainInvalidOther:
    case ValidationResult::ChainFailed:
        failedCheck = 1;
        break;
    case ValidationResult::RevocationUnavailable:
        failedCheck = 2;
        break;
    case ValidationResult::Revoked:
        failedCheck = 3;
        break;
    case ValidationResult::ValidNotQualified:
        failedCheck = 4;
        break;
    case ValidationResult::ValidQualified:
        failedCheck = 5;
        break;
    }
    std::vector<ReportLine> lines = {{texts.notTampered, ReportBlue, true}};
    for (int check = 0; check < 5; ++check) {
        lines.push_back(check < failedCheck    ? passed[check]
                        : check == failedCheck ? failed[check]
                                               : skipped[check]);
    }
    return lines;
}

ReportPicture ValidatedReportPicture(ValidationResult result) {
    return result == ValidationResult::ValidQualified ? ReportPicture::Qualified
                                                      : ReportPicture::Warning;
}
