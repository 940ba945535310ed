// The details under the report for each way a container can fail, against the test PKI: the
// report names the right facts, dossiq verify prints the very texts those details render to
// (in each language), and --report writes a page that headless Chromium opens.
#include <gtest/gtest.h>

#include <functional>

#include "common/language_scope.h"
#include "common/screenshot.h"
#include "config/localization.h"
#include "config/preferences.h"
#include "console/console_test_util.h"
#include "document/report/report_details.h"
#include "document/report/report_builder.h"

using namespace Dossiq::Config;
using namespace Dossiq::Documents;

using namespace ConsoleTest;

namespace {

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), length, nullptr, nullptr);
    out.resize(static_cast<size_t>(length) - 1);
    return out;
}

bool Contains(const std::string& text, const std::wstring& part) {
    return text.find(Utf8(part)) != std::string::npos;
}

const ReportDetail* Find(const std::vector<ReportDetail>& details, DetailKind kind) {
    for (const ReportDetail& detail : details) {
        if (detail.kind == kind) {
            return &detail;
        }
    }
    return nullptr;
}

class DetailsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new std::wstring(TestSupport::MakeTempDir(L"details"));
        // Signed by OpenSSL with every kind of signer, encrypted for a certificate nobody
        // here has, and signed with SHA-1.
        const std::string kit = Kit().UnixDir();
        std::string command = "cd " + TestSupport::ShellQuote(TestSupport::UnixPath(*dir_)) +
                              " && python3 -c \"import zipfile; zipfile.ZipFile('c.zip','w')"
                              ".writestr('a.txt','alpha alpha alpha')\"";
        const char* const signers[] = {"expired",          "self_signed",      "partial",
                                       "revoked",          "crl_dead",         "no_qc",
                                       "name_single_word", "no_nonrepudiation"};
        for (const char* signer : signers) {
            command += " && openssl cms -sign -nodetach -binary -md sha256 -outform DER -in c.zip"
                       " -out " +
                       std::string(signer) + ".snx -signer " +
                       TestSupport::ShellQuote(kit + "/" + signer + ".cert.pem") + " -inkey " +
                       TestSupport::ShellQuote(kit + "/" + signer + ".key.pem");
        }
        command += " && openssl cms -sign -nodetach -binary -md sha1 -outform DER -in c.zip -out "
                   "sha1.snx -signer " +
                   TestSupport::ShellQuote(kit + "/qualified.cert.pem") + " -inkey " +
                   TestSupport::ShellQuote(kit + "/qualified.key.pem") +
                   " && openssl req -x509 -newkey rsa:2048 -nodes -keyout stranger.key -out "
                   "stranger.pem -subj '/CN=Stranger Recipient' -days 30 -set_serial 4660"
                   " && openssl cms -encrypt -binary -aes256 -outform DER -in c.zip -out "
                   "stranger.enx stranger.pem";
        const auto host = TestSupport::RunHost(command);
        ASSERT_EQ(0, host.exitCode) << host.output;
        std::string bytes = TestSupport::ReadFileBytes(*dir_ + L"\\revoked.snx");
        const size_t at = bytes.find("a.txt");
        ASSERT_NE(std::string::npos, at);
        bytes[at] = 'c';
        TestSupport::WriteFileBytes(*dir_ + L"\\tampered.snx", bytes);
    }
    static void TearDownTestSuite() { delete dir_; }

    static std::wstring* dir_;
};

std::wstring* DetailsTest::dir_ = nullptr;

TEST_F(DetailsTest, EachFailureNamesItsFactsAndTheConsolePrintsTheSameDetails) {
    TestSupport::LanguageScope english(LanguageEnglish, true);
    struct Case {
        const char* file;
        DetailKind kind;
        std::function<void(const ValidationReport&, const ReportDetail&)> facts;
    };
    const Case cases[] = {
        {"expired.snx", DetailKind::Expired,
         [](const ValidationReport& r, const ReportDetail& d) {
             EXPECT_EQ(r.Selected().signer.notAfter, d.facts[1]);
             EXPECT_EQ(0u, d.facts[1].rfind(L"2021-01-01", 0));
             EXPECT_GT(d.days, 300);
             EXPECT_EQ(r.checkedAt, d.facts[2]);
         }},
        {"self_signed.snx", DetailKind::UntrustedRoot,
         [](const ValidationReport& r, const ReportDetail& d) {
             EXPECT_EQ(r.Selected().signerName, d.facts[0]); // its own root
         }},
        {"partial.snx", DetailKind::PartialChain,
         [](const ValidationReport&, const ReportDetail& d) {
             EXPECT_NE(std::wstring::npos, d.facts[1].find(L"Orphan CA")) << d.facts[1];
         }},
        {"revoked.snx", DetailKind::Revoked,
         [](const ValidationReport& r, const ReportDetail& d) {
             EXPECT_EQ(L"keyCompromise", d.facts[1]);
             EXPECT_EQ(r.checkedAt.substr(0, 4), d.facts[0].substr(0, 4));
             EXPECT_NE(std::wstring::npos, DetailTextOf(d).text.find(L"the key was compromised"));
         }},
        {"crl_dead.snx", DetailKind::CrlNoAnswer,
         [](const ValidationReport&, const ReportDetail& d) {
             EXPECT_EQ(0u, d.facts[0].rfind(L"http://127.0.0.1:", 0)) << d.facts[0];
         }},
        {"no_qc.snx", DetailKind::QcStatementsMissing, {}},
        {"name_single_word.snx", DetailKind::NameFormWrong, {}},
        {"no_nonrepudiation.snx", DetailKind::KeyUsageWrong, {}},
        {"tampered.snx", DetailKind::Tampered, {}},
        {"stranger.enx", DetailKind::NotForThisUserUnknown,
         [](const ValidationReport&, const ReportDetail& d) {
             EXPECT_EQ(L"CN=Stranger Recipient", d.facts[0]);
             EXPECT_EQ(L"1234", d.facts[1]);
         }},
        {"sha1.snx", DetailKind::OutdatedAlgorithm, {}},
    };
    std::wstring all;
    for (const Case& c : cases) {
        all += L" " + TestSupport::Widen(c.file);
    }
    const Outcome run = RunDossiq(L"verify" + all, *dir_);
    EXPECT_EQ(1u, run.exitCode) << run.err;

    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const ValidationReport report =
            BuildValidationReport(*dir_ + L"\\" + TestSupport::Widen(c.file));
        const std::vector<ReportDetail> details = DetailsOf(report);
        const ReportDetail* detail = Find(details, c.kind);
        ASSERT_NE(nullptr, detail)
            << "first kind " << (details.empty() ? -1 : int(details[0].kind));
        if (c.facts) {
            c.facts(report, *detail);
        }
        // The console renders the same details, facts in place.
        for (const ReportDetail& each : details) {
            const DetailText text = DetailTextOf(each);
            EXPECT_TRUE(Contains(run.out, text.title)) << Utf8(text.title);
            EXPECT_TRUE(Contains(run.out, text.text)) << Utf8(text.text) << "\n" << run.out;
            EXPECT_EQ(std::wstring::npos, text.text.find(L'%')) << Utf8(text.text);
        }
    }
    // Checks after the failing one are listed as not made.
    const ValidationReport expired = BuildValidationReport(*dir_ + L"\\expired.snx");
    const auto expiredDetails = DetailsOf(expired);
    const ReportDetail* skipped = Find(expiredDetails, DetailKind::ChecksSkipped);
    ASSERT_NE(nullptr, skipped);
    EXPECT_EQ(4u, skipped->facts.size());
}

TEST_F(DetailsTest, EachLanguageShowsItsOwnDetails) {
    ASSERT_TRUE(Preferences::Instance().Load());
    TestSupport::LanguageScope scope(LanguageEnglish, true);
    std::vector<std::wstring> titles;
    for (WORD language : {LanguageEnglish, LanguageSerbianLatin, LanguageSerbianCyrillic}) {
        SCOPED_TRACE(language);
        scope.Set(language);
        // The details name the minute of the check: made just before and just after the
        // program's, one of them is its minute.
        const auto before = DetailsOf(BuildValidationReport(*dir_ + L"\\expired.snx"));
        const Outcome run = RunDossiq(L"verify expired.snx", *dir_);
        const auto details = DetailsOf(BuildValidationReport(*dir_ + L"\\expired.snx"));
        ASSERT_FALSE(details.empty());
        ASSERT_FALSE(before.empty());
        const DetailText text = DetailTextOf(details[0]);
        EXPECT_TRUE(Contains(run.out, DetailsHeading())) << run.out;
        EXPECT_TRUE(Contains(run.out, text.text) || Contains(run.out, DetailTextOf(before[0]).text))
            << run.out;
        EXPECT_TRUE(Contains(run.out, AdviceLabel() + L" " + text.advice)) << run.out;
        titles.push_back(text.title);
    }
    EXPECT_NE(titles[0], titles[1]);
    EXPECT_NE(titles[1], titles[2]);
    // The Cyrillic text is written in Cyrillic letters.
    EXPECT_NE(std::wstring::npos, titles[2].find_first_of(L"\u0430\u0435\u0438\u043E"));
}

TEST_F(DetailsTest, SavedReportOpensInABrowserAndHoldsTheFacts) {
    TestSupport::LanguageScope english(LanguageEnglish, true);
    const std::wstring page = *dir_ + L"\\revoked.snx.html";
    const Outcome run = RunDossiq(L"verify --report revoked.snx.html revoked.snx", *dir_);
    EXPECT_EQ(1u, run.exitCode) << run.out << run.err;
    const std::string html = TestSupport::ReadFileBytes(page);
    const ValidationReport report = BuildValidationReport(*dir_ + L"\\revoked.snx");
    EXPECT_EQ(std::string::npos, html.find("<script"));
    EXPECT_EQ(std::string::npos, html.find("src="));
    char crc[16];
    std::snprintf(crc, sizeof(crc), "%08X", static_cast<unsigned>(report.entries.at(0).crc32));
    EXPECT_NE(std::string::npos, html.find(crc));

    // What the browser makes of it: the facts survive parsing, and a picture to look at.
    const std::string shot =
        TestSupport::UnixPath(TestSupport::ScreenshotFolder()) + "/saved_report_revoked.png";
    const std::string url = "file://" + TestSupport::UnixPath(page);
    const std::string chromium = "chromium --headless --no-sandbox --disable-gpu "
                                 "--hide-scrollbars --window-size=900,1500 ";
    const auto dom = TestSupport::RunHost(chromium + "--dump-dom " + TestSupport::ShellQuote(url) +
                                          " 2>/dev/null");
    ASSERT_EQ(0, dom.exitCode) << dom.output;
    const auto details = DetailsOf(report);
    const ReportDetail* revoked = Find(details, DetailKind::Revoked);
    ASSERT_NE(nullptr, revoked);
    EXPECT_TRUE(Contains(dom.output, DetailTextOf(*revoked).text)) << dom.output;
    EXPECT_TRUE(Contains(dom.output, ReadableDate(revoked->facts[0])));
    EXPECT_TRUE(Contains(dom.output, L"a.txt"));
    EXPECT_TRUE(Contains(dom.output, report.Selected().signer.thumbprint));
    for (const ChainElementReport& element : report.Selected().chain) {
        EXPECT_TRUE(Contains(dom.output, element.name)) << Utf8(element.name);
    }
    const auto picture =
        TestSupport::RunHost(chromium + "--screenshot=" + TestSupport::ShellQuote(shot) + " " +
                             TestSupport::ShellQuote(url) + " 2>/dev/null");
    EXPECT_EQ(0, picture.exitCode) << picture.output;

    // Only one container at a time, and a folder that is not there is said so.
    EXPECT_EQ(2u, RunDossiq(L"verify --report two.html revoked.snx expired.snx", *dir_).exitCode);
    const Outcome nowhere = RunDossiq(L"verify --report no\\such\\folder.html revoked.snx", *dir_);
    EXPECT_EQ(2u, nowhere.exitCode);
    EXPECT_NE(std::string::npos, nowhere.err.find("no\\such\\folder.html")) << nowhere.err;
}

} // namespace
