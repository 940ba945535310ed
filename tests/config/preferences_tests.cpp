// The preferences file through the real MSXML DOM, with the application-data folder pointed
// at a scratch folder for each test.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <string>

#include "common/test_support.h"
#include "common/user_state.h"
#include "config/preferences.h"

using namespace Dossiq::Config;

namespace {

using TestSupport::ReadFileBytes;
using TestSupport::WriteFileBytes;

// Points CSIDL_APPDATA at a fresh scratch folder and puts the old value back afterwards.
class PreferencesTest : public testing::Test {
protected:
    void SetUp() override {
        appData_ = TestSupport::MakeTempDir(L"appdata");
        redirect_ = std::make_unique<TestSupport::AppDataRedirect>(appData_);
        wchar_t resolved[MAX_PATH] = {};
        ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, resolved, CSIDL_APPDATA, FALSE));
        ASSERT_EQ(appData_, resolved);
        folder_ = appData_ + L"\\Korvane\\Dossiq_VS";
        file_ = folder_ + L"\\Config.xml";
    }

    void TearDown() override { redirect_.reset(); }

    void SetAppData(const std::wstring& folder) {
        redirect_->Set(folder);
        ASSERT_EQ(folder, TestSupport::AppDataRedirect::Current());
    }

    void WriteConfig(const std::string& text) {
        const int created = ::SHCreateDirectoryExW(nullptr, folder_.c_str(), nullptr);
        ASSERT_TRUE(created == ERROR_SUCCESS || created == ERROR_ALREADY_EXISTS);
        WriteFileBytes(file_, text);
    }

    // The text the DOM writes for these values. MSXML puts its own line break after the
    // declaration and at the end (CR LF on Windows, LF under Wine); the file decides which.
    std::string Expected(const std::string& language, const std::string& qualified,
                         const std::string& chains, const std::string& timestamp = "") const {
        const std::string file = ReadFileBytes(file_);
        const std::string eol = file.find("?>\r\n") != std::string::npos ? "\r\n" : "\n";
        auto element = [](const std::string& name, const std::string& value) {
            return value.empty() ? "<" + name + "/>" : "<" + name + ">" + value + "</" + name + ">";
        };
        // Without a service the file is the one earlier versions wrote.
        return "<?xml version='1.0'?>" + eol + "<Preferences>" + element("Language", language) +
               element("QualifiedCAsURL", qualified) + element("CertChainsURL", chains) +
               (timestamp.empty() ? "" : element("TimestampURL", timestamp)) + "</Preferences>" +
               eol;
    }

    static std::string DefaultURL() { return TestSupport::Narrow(Preferences::DefaultURL); }

    std::unique_ptr<TestSupport::AppDataRedirect> redirect_;
    std::wstring appData_;
    std::wstring folder_;
    std::wstring file_;
};

TEST_F(PreferencesTest, NoFileAndNoFolderCreatesBothWithDefaults) {
    Preferences preferences;
    ASSERT_TRUE(preferences.Load());

    EXPECT_EQ(file_, preferences.Path());
    EXPECT_EQ(Expected("1033", DefaultURL(), DefaultURL()), ReadFileBytes(file_));
    EXPECT_EQ(1033, preferences.Language());
    EXPECT_EQ(Preferences::DefaultURL, preferences.QualifiedCAsURL());
    EXPECT_EQ(Preferences::DefaultURL, preferences.CertChainsURL());
    EXPECT_FALSE(preferences.IsModified());
}

TEST_F(PreferencesTest, CompleteFileIsReadAndLeftAlone) {
    const std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Preferences>\r\n"
        "  <Language>2074</Language>\r\n"
        "  <QualifiedCAsURL>http://q.example/list?a=1&amp;b=2</QualifiedCAsURL>\r\n"
        "  <CertChainsURL>http://c.example/</CertChainsURL>\r\n"
        "</Preferences>\r\n";
    WriteConfig(text);
    Preferences preferences;
    ASSERT_TRUE(preferences.Load());

    EXPECT_EQ(2074, preferences.Language());
    EXPECT_EQ(L"http://q.example/list?a=1&b=2", preferences.QualifiedCAsURL());
    EXPECT_EQ(L"http://c.example/", preferences.CertChainsURL());
    EXPECT_FALSE(preferences.IsModified());
    EXPECT_EQ(text, ReadFileBytes(file_));
}

TEST_F(PreferencesTest, MissingValueRewritesFileWithWhatWasRead) {
    WriteConfig("<Preferences><Language>3098</Language>"
                "<QualifiedCAsURL>http://q.example/?x=1&amp;y=2</QualifiedCAsURL></Preferences>");
    Preferences preferences;
    ASSERT_TRUE(preferences.Load());

    EXPECT_EQ(3098, preferences.Language());
    EXPECT_EQ(Expected("3098", "http://q.example/?x=1&amp;y=2", DefaultURL()),
              ReadFileBytes(file_));
    EXPECT_FALSE(preferences.IsModified());
}

TEST_F(PreferencesTest, LanguageTextConvertsLikeWtoi) {
    const struct {
        const char* text;
        WORD language;
    } cases[] = {
        {"abc", 0}, {"", 0}, {" 2074", 2074}, {"+3098x", 3098}, {"-1", 65535}, {"70000", 4464},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        WriteConfig(std::string("<Preferences><Language>") + c.text +
                    "</Language><QualifiedCAsURL>q</QualifiedCAsURL>"
                    "<CertChainsURL>c</CertChainsURL></Preferences>");
        Preferences preferences;
        ASSERT_TRUE(preferences.Load());
        EXPECT_EQ(c.language, preferences.Language());
    }
}

TEST_F(PreferencesTest, EmptyAddressIsWrittenBackAsEmptyElement) {
    WriteConfig("<Preferences><Language>1033</Language><QualifiedCAsURL></QualifiedCAsURL>"
                "<CertChainsURL>c</CertChainsURL></Preferences>");
    Preferences preferences;
    ASSERT_TRUE(preferences.Load());
    EXPECT_EQ(L"", preferences.QualifiedCAsURL());

    preferences.SetLanguage(2074);
    EXPECT_TRUE(preferences.IsModified());
    ASSERT_TRUE(preferences.Write());
    EXPECT_FALSE(preferences.IsModified());
    EXPECT_EQ(Expected("2074", "", "c"), ReadFileBytes(file_));
}

TEST_F(PreferencesTest, FileThatIsNotXmlIsRewritten) {
    WriteConfig("<Preferences><Language>2074</Language>");
    Preferences preferences;
    ASSERT_TRUE(preferences.Load());
    EXPECT_EQ(1033, preferences.Language());
    EXPECT_EQ(Expected("1033", DefaultURL(), DefaultURL()), ReadFileBytes(file_));
}

TEST_F(PreferencesTest, AnyRootNameOrderAndExtraElementsAreAccepted) {
    const std::string text = "<Settings><Extra>x</Extra><CertChainsURL>c</CertChainsURL>"
                             "<Nested><Language>9</Language></Nested><Language>2074</Language>"
                             "<QualifiedCAsURL>q<b>r</b></QualifiedCAsURL>"
                             "<Language>3098</Language></Settings>";
    WriteConfig(text);
    Preferences preferences;
    ASSERT_TRUE(preferences.Load());

    EXPECT_EQ(2074, preferences.Language()); // the first direct child of that name
    EXPECT_EQ(L"qr", preferences.QualifiedCAsURL());
    EXPECT_EQ(L"c", preferences.CertChainsURL());
    EXPECT_EQ(text, ReadFileBytes(file_));
}

// Files of earlier versions lack the element; once there, a rewrite keeps it.
TEST_F(PreferencesTest, TimestampAddressIsOptionalAndSurvivesRewrites) {
    const std::string older = "<Preferences><Language>2074</Language><QualifiedCAsURL>q"
                              "</QualifiedCAsURL><CertChainsURL>c</CertChainsURL></Preferences>";
    WriteConfig(older);
    {
        Preferences preferences;
        ASSERT_TRUE(preferences.Load());
        EXPECT_EQ(L"", preferences.TimestampURL());
        EXPECT_EQ(older, ReadFileBytes(file_));
    }
    WriteConfig("<Preferences><Language>2074</Language><QualifiedCAsURL>q</QualifiedCAsURL>"
                "<CertChainsURL>c</CertChainsURL>"
                "<TimestampURL>http://tsa.example/tsr?a=1&amp;b=2</TimestampURL></Preferences>");
    Preferences preferences;
    ASSERT_TRUE(preferences.Load());
    EXPECT_EQ(L"http://tsa.example/tsr?a=1&b=2", preferences.TimestampURL());
    preferences.SetLanguage(3098);
    ASSERT_TRUE(preferences.Write());
    EXPECT_EQ(Expected("3098", "q", "c", "http://tsa.example/tsr?a=1&amp;b=2"),
              ReadFileBytes(file_));
}

// Neither a rewrite for a missing value nor a language change made over an edit of the
// file since it was loaded loses the service.
TEST_F(PreferencesTest, TimestampAddressSurvivesARepairAndALanguageChange) {
    const std::string tsa = "<TimestampURL>http://tsa.example/</TimestampURL>";
    WriteConfig("<Preferences><Language>2074</Language>" + tsa + "</Preferences>");
    Preferences preferences;
    ASSERT_TRUE(preferences.Load());
    EXPECT_EQ(Expected("2074", DefaultURL(), DefaultURL(), "http://tsa.example/"),
              ReadFileBytes(file_));

    WriteConfig("<Preferences><Language>2074</Language><QualifiedCAsURL>q</QualifiedCAsURL>"
                "<CertChainsURL>c</CertChainsURL>" +
                tsa + "</Preferences>");
    ASSERT_TRUE(preferences.WriteLanguage(3098));
    EXPECT_EQ(Expected("3098", "q", "c", "http://tsa.example/"), ReadFileBytes(file_));
    EXPECT_EQ(L"http://tsa.example/", preferences.TimestampURL());
    EXPECT_FALSE(preferences.IsModified());
}

// The long-term and "for me" choices: read when known, written back only when not the default.
TEST_F(PreferencesTest, LongTermAndEncryptForMeAreKeptAndWrittenOnlyAwayFromTheDefault) {
    const struct {
        const char* element;
        const wchar_t* read;
        const char* written;
        bool forMe = false;
    } cases[] = {
        {"", L"optional", ""},
        {"<LongTerm>off</LongTerm>", L"off", "<LongTerm>off</LongTerm>"},
        {"<LongTerm>required</LongTerm>", L"required", "<LongTerm>required</LongTerm>"},
        {"<LongTerm>sometimes</LongTerm>", L"optional", ""},
        {"<EncryptForMe>true</EncryptForMe>", L"optional", "<EncryptForMe>true</EncryptForMe>",
         true},
        {"<EncryptForMe>false</EncryptForMe>", L"optional", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.element);
        WriteConfig(std::string("<Preferences><Language>2074</Language><QualifiedCAsURL>q"
                                "</QualifiedCAsURL><CertChainsURL>c</CertChainsURL>") +
                    c.element + "</Preferences>");
        Preferences preferences;
        ASSERT_TRUE(preferences.Load());
        EXPECT_EQ(c.read, preferences.LongTerm());
        EXPECT_EQ(c.forMe, preferences.EncryptForMe());
        preferences.SetLanguage(3098);
        ASSERT_TRUE(preferences.Write());
        std::string expected = Expected("3098", "q", "c");
        expected.insert(expected.find("</Preferences>"), c.written);
        EXPECT_EQ(expected, ReadFileBytes(file_));
    }
}

TEST_F(PreferencesTest, WriteSavesOnlyChangedValues) {
    Preferences preferences;
    ASSERT_TRUE(preferences.Load());
    const std::string marker = "<!-- untouched -->";
    WriteFileBytes(file_, marker);

    preferences.SetLanguage(1033);
    EXPECT_FALSE(preferences.IsModified());
    ASSERT_TRUE(preferences.Write());
    EXPECT_EQ(marker, ReadFileBytes(file_));

    preferences.SetLanguage(3098);
    ASSERT_TRUE(preferences.Write());
    EXPECT_EQ(Expected("3098", DefaultURL(), DefaultURL()), ReadFileBytes(file_));
}

TEST_F(PreferencesTest, LoadReportsFailureInsteadOfThrowing) {
    // A file where the folder should be: the folder cannot be created.
    WriteFileBytes(appData_ + L"\\Korvane", "not a folder");
    Preferences blocked;
    EXPECT_FALSE(blocked.Load());
    EXPECT_EQ(1033, blocked.Language());

    // A folder where the file should be: neither read nor written.
    ::DeleteFileW((appData_ + L"\\Korvane").c_str());
    ASSERT_EQ(0, ::SHCreateDirectoryExW(nullptr, file_.c_str(), nullptr));
    Preferences shadowed;
    EXPECT_FALSE(shadowed.Load());

    // No application-data folder at all.
    SetAppData(appData_ + L"\\missing\\<bad>");
    Preferences lost;
    EXPECT_FALSE(lost.Load());
}

TEST(Preferences, OneObjectPerProcess) {
    EXPECT_EQ(&Preferences::Instance(), &Preferences::Instance());
}

} // namespace
