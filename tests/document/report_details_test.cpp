// The details' words as pure functions of a detail: dates and day counts in each language's
// own form, every text of every kind present in all three languages with its facts filled.
#include <gtest/gtest.h>

#include "common/language_scope.h"
#include "config/localization.h"
#include "document/report/report_details.h"

using namespace Dossiq::Config;
using namespace Dossiq::Documents;

namespace {

TEST(ReportDetails, DatesAndDayCountsInEachLanguagesOwnForm) {
    TestSupport::LanguageScope scope(LanguageEnglish);
    const ReportDetail expired = {
        DetailKind::Expired,
        {L"2020-01-01T00:00:00Z", L"2021-01-01T00:00:00Z", L"2026-12-07T17:08:34Z"}};
    const struct {
        WORD language;
        const wchar_t* date;
        int days;
        const wchar_t* count;
    } cases[] = {
        {LanguageEnglish, L"7 December 2026, 17:08 UTC", 1, L"1 day "},
        {LanguageEnglish, L"7 December 2026, 17:08 UTC", 21, L"21 days"},
        {LanguageSerbianLatin, L"7. decembra 2026. u 17:08 UTC", 21, L"21 dan "},
        {LanguageSerbianLatin, L"7. decembra 2026. u 17:08 UTC", 11, L"11 dana"},
        {LanguageSerbianCyrillic,
         L"7. \u0434\u0435\u0446\u0435\u043C\u0431\u0440\u0430 2026. "
         L"\u0443 17:08 UTC",
         2, L"2 \u0434\u0430\u043D\u0430"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.days);
        scope.Set(c.language);
        EXPECT_EQ(c.date, ReadableDate(L"2026-12-07T17:08:34Z"));
        ReportDetail detail = expired;
        detail.days = c.days;
        const std::wstring text = DetailTextOf(detail).text;
        EXPECT_NE(std::wstring::npos, text.find(c.date)) << text.c_str();
        EXPECT_NE(std::wstring::npos, text.find(c.count)) << text.c_str();
    }
    // Anything that is not an instant stays as it is.
    EXPECT_EQ(L"http://127.0.0.1:8080/x.crl", ReadableDate(L"http://127.0.0.1:8080/x.crl"));
    EXPECT_EQ(L"2026-13-07T17:08:34Z", ReadableDate(L"2026-13-07T17:08:34Z"));
}

TEST(ReportDetails, EveryKindHasItsTextsInEveryLanguage) {
    TestSupport::LanguageScope scope(LanguageEnglish);
    std::vector<std::wstring> english;
    for (WORD language : {LanguageEnglish, LanguageSerbianLatin, LanguageSerbianCyrillic}) {
        scope.Set(language);
        for (int kind = 0; kind <= static_cast<int>(DetailKind::Recipients); ++kind) {
            SCOPED_TRACE(kind);
            const ReportDetail detail = {
                static_cast<DetailKind>(kind), {L"one", L"two", L"three"}, 5};
            const DetailText text = DetailTextOf(detail);
            EXPECT_FALSE(text.title.empty());
            EXPECT_FALSE(text.advice.empty());
            // Every placeholder was filled.
            EXPECT_EQ(std::wstring::npos, text.text.find(L'%')) << text.text.c_str();
            if (language == LanguageEnglish) {
                english.push_back(text.title);
            } else {
                EXPECT_NE(english[static_cast<size_t>(kind)], text.title);
            }
        }
    }
}

// A used timestamp says first at which time the checks were made; one that was not used says
// why, in the reader's language; without one there is nothing to say about time.
// Facts come from certificates a stranger made: placeholders in them stay text, and their
// controls are spelled out.
TEST(ReportDetails, FactsAreFilledInOnePassAndSpelledOut) {
    TestSupport::LanguageScope scope(LanguageEnglish);
    const struct {
        ReportDetail detail;
        const wchar_t* shown;
    } cases[] = {
        {{DetailKind::PartialChain, {L"CA", L"Issuer %1"}}, L"Issuer %1."},
        {{DetailKind::Expired, {L"%d", L"2021-01-01T00:00:00Z", L"2026-12-07T17:08:34Z"}, 5},
         L"%d"},
        {{DetailKind::PartialChain, {L"CA\x1B[2K\r\n\u202E", L"x"}},
         L"\u201CCA\\x1B[2K\\x0D\\x0A[U+202E]\u201D"},
    };
    for (const auto& c : cases) {
        const std::wstring text = DetailTextOf(c.detail).text;
        EXPECT_NE(std::wstring::npos, text.find(c.shown)) << text.c_str();
        EXPECT_EQ(std::wstring::npos, text.find(L'\x1B')) << text.c_str();
    }
}

// An opened envelope lists whom it was made for, by name or by issuer and serial, marking
// the recipient whose key opened it; one made for someone else says so instead.
TEST(ReportDetails, RecipientsAreListedWithTheOneWhoseKeyOpenedIt) {
    TestSupport::LanguageScope scope(LanguageEnglish);
    ValidationReport report;
    report.decoding = DecodingOutcome::NotTampered;
    const auto recipient = [](const wchar_t* subject, const wchar_t* issuer, bool yours) {
        RecipientReport named;
        named.certificate.subject = subject;
        named.certificate.issuer = issuer;
        named.certificate.serial = L"0A1B";
        named.yours = yours;
        return named;
    };
    report.recipients = {
        recipient(L"E=a@dossiq.test, CN=Petar Petrovi\u0107, O=Dossiq", L"CN=CA", false),
        recipient(L"CN=\"Jovanovi\u0107, Jelena\", O=Dossiq", L"CN=CA", true),
        recipient(L"", L"CN=Other\x1B[2K CA", false), // a stranger's, spelled out
    };
    const std::vector<ReportDetail> details = DetailsOf(report);
    ASSERT_FALSE(details.empty());
    ASSERT_EQ(DetailKind::Recipients, details.back().kind);
    EXPECT_EQ(L"The document was encrypted for: Petar Petrovi\u0107, Jovanovi\u0107, Jelena "
              L"(opened with your key), CN=Other\\x1B[2K CA, 0A1B.",
              DetailTextOf(details.back()).text);
    report.decoding = DecodingOutcome::NotForThisUser;
    EXPECT_EQ(DetailKind::NotForThisUser, DetailsOf(report).back().kind);
}

TEST(ReportDetails, TimestampTellsWhichTimeTheChecksWereMadeAt) {
    TestSupport::LanguageScope scope(LanguageEnglish);
    ValidationReport report;
    report.decoding = DecodingOutcome::NotTampered;
    report.signatures.resize(1);
    SignatureFacts& signature = report.signatures[0];
    signature.signer.present = true;
    signature.validated = true;
    for (CheckReport& check : signature.checks) {
        check.status = CheckStatus::Passed;
    }
    EXPECT_TRUE(DetailsOf(report).empty());

    signature.timestamp.present = true;
    signature.timestamp.used = true;
    signature.timestamp.time = L"2026-12-07T17:08:34Z";
    signature.timestamp.authority = L"Dossiq Test TSA";
    signature.checks[QualifiedCheck].status = CheckStatus::Failed;
    signature.unmetCriteria = {QualifiedCriterion::NameForm};
    std::vector<ReportDetail> details = DetailsOf(report);
    ASSERT_EQ(2u, details.size());
    EXPECT_EQ(DetailKind::CheckedAtProvenTime, details[0].kind);
    EXPECT_EQ(DetailKind::NameFormWrong, details[1].kind);
    const std::wstring used = DetailTextOf(details[0]).text;
    EXPECT_NE(std::wstring::npos, used.find(L"7 December 2026, 17:08 UTC")) << used.c_str();
    EXPECT_NE(std::wstring::npos, used.find(L"Dossiq Test TSA")) << used.c_str();

    signature.timestamp.used = false;
    signature.timestamp.problem = TimestampProblem::ImprintMismatch;
    details = DetailsOf(report);
    ASSERT_EQ(DetailKind::TimestampNotUsed, details.at(0).kind);
    EXPECT_NE(std::wstring::npos,
              DetailTextOf(details[0]).text.find(L"the timestamp was made for another signature"));
    scope.Set(LanguageSerbianLatin);
    EXPECT_NE(std::wstring::npos,
              DetailTextOf(details[0]).text.find(L"vremenski \u017eig je izdat za drugi potpis"));
}

} // namespace
