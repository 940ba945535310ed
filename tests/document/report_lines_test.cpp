// The signature report's line and picture tables as pure functions: for each phase and each
// validation result, which texts in which colour and weight, and which picture.
#include <gtest/gtest.h>

#include <vector>

#include "document/report/report_lines.h"
#include "document/report/validation_report.h"
#include "resources/common/localized_ids.h"

using namespace Dossiq::Documents;

using MHFX::Security::Cryptography::X509::ValidationResult;

namespace {

// 'P'assed (blue, bold), 'F'ailed (red, bold), 'S'kipped (black, plain).
std::vector<ReportLine> Checks(const char* states) {
    const UINT ids[5][3] = {{IDS_VALIDITY_PASSED, IDS_VALIDITY_FAILED, IDS_VALIDITY_SKIPPED},
                            {IDS_CHAIN_PASSED, IDS_CHAIN_FAILED, IDS_CHAIN_SKIPPED},
                            {IDS_CRL_PASSED, IDS_CRL_FAILED, IDS_CRL_SKIPPED},
                            {IDS_REVOCATION_PASSED, IDS_REVOCATION_FAILED, IDS_REVOCATION_SKIPPED},
                            {IDS_QUALIFIED_PASSED, IDS_QUALIFIED_FAILED, IDS_QUALIFIED_SKIPPED}};
    std::vector<ReportLine> lines;
    for (int check = 0; states[check] != '\0'; ++check) {
        switch (states[check]) {
        case 'P':
            lines.push_back({ids[check][0], ReportBlue, true});
            break;
        case 'F':
            lines.push_back({ids[check][1], ReportRed, true});
            break;
        default:
            lines.push_back({ids[check][2], ReportBlack, false});
            break;
        }
    }
    return lines;
}

void ExpectLines(const std::vector<ReportLine>& expected, const std::vector<ReportLine>& actual) {
    ASSERT_EQ(expected.size(), actual.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(expected[i].textId, actual[i].textId) << "line " << i;
        EXPECT_EQ(expected[i].colour, actual[i].colour) << "line " << i;
        EXPECT_EQ(expected[i].bold, actual[i].bold) << "line " << i;
    }
}

const ReportTexts kTexts = {900, 901, 902, 903, false};

TEST(ReportLines, EachValidationResultFailsItsCheckAndSkipsTheRest) {
    const struct {
        ValidationResult result;
        const char* checks;
        ReportPicture picture;
    } cases[] = {
        {ValidationResult::ChainInvalidOther, "PFSSS", ReportPicture::Warning},
        {ValidationResult::ChainFailed, "PFSSS", ReportPicture::Warning},
        {ValidationResult::CertificateNotValid, "FSSSS", ReportPicture::Warning},
        {ValidationResult::RevocationUnavailable, "PPFSS", ReportPicture::Warning},
        {ValidationResult::Revoked, "PPPFS", ReportPicture::Warning},
        {ValidationResult::ValidNotQualified, "PPPPF", ReportPicture::Warning},
        {ValidationResult::ValidQualified, "PPPPP", ReportPicture::Qualified},
        // A value outside the table never reads as passed.
        {static_cast<ValidationResult>(77), "PFSSS", ReportPicture::Warning},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.result));
        std::vector<ReportLine> expected = {{kTexts.notTampered, ReportBlue, true}};
        const std::vector<ReportLine> checks = Checks(c.checks);
        expected.insert(expected.end(), checks.begin(), checks.end());
        ExpectLines(expected, ValidatedReportLines(c.result, kTexts));
        EXPECT_EQ(c.picture, ValidatedReportPicture(c.result));
    }
}

TEST(ReportLines, EarlierPhasesUseTheDeliverablesTexts) {
    ExpectLines({{902, ReportBlack, true}}, VerifyingReportLines(kTexts));
    ExpectLines({{900, ReportBlue, true}, {0, ReportBlack, false}, {903, ReportBlack, true}},
                ParsedReportLines(true, kTexts));

    std::vector<ReportLine> tampered = {{901, ReportRed, true}};
    const std::vector<ReportLine> skipped = Checks("SSSS");
    tampered.insert(tampered.end(), skipped.begin(), skipped.end());
    ExpectLines(tampered, ParsedReportLines(false, kTexts));

    // The page's variant also lists the qualified check as skipped.
    ReportTexts page = kTexts;
    page.tamperedListsQualified = true;
    tampered.push_back({IDS_QUALIFIED_SKIPPED, ReportBlack, false});
    ExpectLines(tampered, ParsedReportLines(false, page));
}

// The picture shows the document's verdict: another signature that did not pass keeps the
// shown, qualified one from showing as passed.
TEST(ReportLines, FinishedPictureShowsTheDocumentsVerdict) {
    SignatureFacts passed;
    passed.signer.present = true;
    passed.validated = true;
    for (CheckReport& check : passed.checks) {
        check.status = CheckStatus::Passed;
    }
    SignatureFacts failed = passed;
    failed.checks[RevocationCheck].status = CheckStatus::Failed;
    SignatureFacts tampered = passed;
    tampered.decoding = DecodingOutcome::Tampered;
    const struct {
        const SignatureFacts* second;
        ReportPicture picture;
        const wchar_t* verdict;
    } cases[] = {{nullptr, ReportPicture::Qualified, L"passed"},
                 {&passed, ReportPicture::Qualified, L"passed"},
                 {&failed, ReportPicture::Warning, L"failed"},
                 {&tampered, ReportPicture::Tampered, L"tampered"}};
    ValidationReport document;
    document.decoding = DecodingOutcome::NotTampered;
    for (const auto& c : cases) {
        document.signatures = {passed};
        if (c.second) {
            document.signatures.push_back(*c.second);
        }
        EXPECT_EQ(c.picture, FinishedReportPicture(ValidationResult::ValidQualified, &document));
        EXPECT_EQ(c.verdict, VerdictOf(document));
    }
    EXPECT_EQ(ReportPicture::Warning, FinishedReportPicture(ValidationResult::Revoked, &document));
}

} // namespace
