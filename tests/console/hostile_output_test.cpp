// A container made by a hostile sender (entry names and signer name with an escape sequence,
// CR/LF, a right-to-left override and markup) through every output of the program: the text
// of list and verify, the JSON, the saved page, and where --report may write.
#include <gtest/gtest.h>

#include "console/console_test_util.h"

using namespace ConsoleTest;
using TestSupport::Narrow;
using TestSupport::ShellQuote;
using TestSupport::UnixPath;

namespace {

constexpr size_t npos = std::string::npos;

class HostileOutputTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new std::wstring(TestSupport::MakeTempDir(L"hostile"));
        auto& pki = Kit();
        const auto made = TestSupport::RunHost("python3 " + Script(L"hostile_container.py") + " " +
                                               ShellQuote(pki.UnixCertPath("issuing")) + " " +
                                               ShellQuote(pki.UnixKeyPath("issuing")) + " " +
                                               ShellQuote(UnixPath(*dir_ + L"\\hostile.snx")));
        ASSERT_EQ(0, made.exitCode) << made.output;
    }
    static void TearDownTestSuite() { delete dir_; }

    static std::string Script(const wchar_t* name) {
        return ShellQuote(
            UnixPath(TestSupport::SourceDir() + L"\\tests\\console\\" + std::wstring(name)));
    }

    static std::wstring* dir_;
};

std::wstring* HostileOutputTest::dir_ = nullptr;

// Nothing a terminal or a viewer would act on: no ESC, no right-to-left override, no line
// separator, no CR that does not end a line.
void ExpectNothingRaw(const std::string& text) {
    EXPECT_EQ(npos, text.find('\x1B')) << text;
    EXPECT_EQ(npos, text.find("\xE2\x80\xAE")) << text;
    EXPECT_EQ(npos, text.find("\xE2\x80\xA8")) << text;
    for (size_t at = text.find('\r'); at != npos; at = text.find('\r', at + 1)) {
        EXPECT_EQ('\n', text[at + 1]) << text;
    }
}

TEST_F(HostileOutputTest, TextOfListAndVerifySpellsOutWhatTheSenderWrote) {
    const struct {
        const wchar_t* command;
        size_t lines; // of standard output, 0 for any number
        std::vector<std::string> shown;
    } cases[] = {
        {L"list hostile.snx",
         6,
         {"red\\x1B[31m.txt", "line\\x0D\\x0APASSED forged.txt", "invoice[U+202E]fdp.exe"}},
        {L"verify hostile.snx", 0, {"Eve\\x1B[2K\\x0D\\x0APASSED [U+202E]evE"}},
    };
    for (const auto& c : cases) {
        const Outcome run = RunDossiq(c.command, *dir_);
        SCOPED_TRACE(Narrow(c.command));
        ExpectNothingRaw(run.out + run.err);
        for (const std::string& shown : c.shown) {
            EXPECT_NE(npos, run.out.find(shown)) << run.out;
        }
        // No line passes for one of the program's own.
        EXPECT_EQ(npos, ("\n" + run.out).find("\nPASSED")) << run.out;
        size_t lines = 0;
        for (char ch : run.out) {
            lines += ch == '\n';
        }
        EXPECT_TRUE(c.lines == 0 || c.lines == lines) << run.out;
    }
}

TEST_F(HostileOutputTest, JsonKeepsValuesExactAndTheFileSafeToLookAt) {
    const Outcome run = RunDossiq(L"verify --json hostile.snx", *dir_);
    EXPECT_EQ(1u, run.exitCode) << run.err;
    ExpectNothingRaw(run.out);
    // Python's strict parser; values printed back as JSON with the characters themselves.
    const auto json = Flatten(run.outPath);
    const struct {
        std::string key, value;
    } cases[] = {
        {"containers[0].entries[0].name", "\"red\\u001b[31m.txt\""},
        {"containers[0].entries[1].name", "\"line\\r\\nPASSED forged.txt\""},
        {"containers[0].entries[2].name", "\"invoice\xE2\x80\xAE"
                                          "fdp.exe\""},
        {"containers[0].entries[5].name", "\"A.txt\""},
        {"containers[0].entries[5].index", "5"},
    };
    for (const auto& c : cases) {
        const auto found = json.find(c.key);
        ASSERT_NE(json.end(), found) << c.key;
        EXPECT_EQ(c.value, found->second) << c.key;
    }
    EXPECT_NE(npos, json.at("containers[0].signer.subject")
                        .find("Eve\\u001b[2K\\r\\nPASSED \xE2\x80\xAE"
                              "evE"));
}

TEST_F(HostileOutputTest, SavedPageHoldsNoMarkupOfTheSenderAndSpellsOutTheNames) {
    const Outcome run = RunDossiq(L"verify hostile.snx --report page.html", *dir_);
    EXPECT_EQ(1u, run.exitCode) << run.err;
    const auto outline = TestSupport::RunHost("python3 " + Script(L"html_outline.py") + " " +
                                              ShellQuote(UnixPath(*dir_ + L"\\page.html")));
    ASSERT_EQ(0, outline.exitCode) << outline.output;
    const std::string page = outline.output;
    for (const char* foreign : {"tag:img", "attr:src", "attr:onerror"}) {
        EXPECT_EQ(npos, page.find(foreign)) << page;
    }
    const size_t text = page.find("text:");
    ASSERT_NE(npos, text);
    ExpectNothingRaw(page.substr(text));
    for (const char* shown :
         {"<img src=x onerror=alert(1)>.txt", "red\\x1B[31m.txt", "invoice[U+202E]fdp.exe",
          "Eve\\x1B[2K\\x0D\\x0APASSED [U+202E]evE"}) {
        EXPECT_NE(npos, page.find(shown, text)) << shown;
    }
}

TEST_F(HostileOutputTest, ReportNeitherReplacesAFileUnaskedNorTheContainer) {
    const std::wstring old = *dir_ + L"\\old.html";
    const std::wstring container = *dir_ + L"\\hostile.snx";
    const std::string signedBytes = TestSupport::ReadFileBytes(container);
    TestSupport::WriteFileBytes(old, "previous");
    Outcome run = RunDossiq(L"verify hostile.snx --report old.html", *dir_);
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_NE(npos, run.err.find("--overwrite")) << run.err;
    EXPECT_EQ(npos, run.out.find("hostile")) << "refused before checking";
    EXPECT_EQ("previous", TestSupport::ReadFileBytes(old));
    run = RunDossiq(L"verify hostile.snx --report old.html --overwrite", *dir_);
    EXPECT_EQ(0u, TestSupport::ReadFileBytes(old).rfind("<!DOCTYPE html>", 0)) << run.err;
    // The container by another spelling: refused, even with --overwrite.
    for (const wchar_t* spelling : {L".\\HOSTILE.snx", L"hostile.snx"}) {
        run =
            RunDossiq(L"verify hostile.snx --overwrite --report " + std::wstring(spelling), *dir_);
        EXPECT_EQ(2u, run.exitCode) << run.err;
        EXPECT_EQ(signedBytes, TestSupport::ReadFileBytes(container));
    }
}

} // namespace
