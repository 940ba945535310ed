// The texts of dossiq.exe follow the language of the preferences file, in the script of
// that language, while verdict words, option names and JSON stay as they are.
#include <gtest/gtest.h>

#include "common/language_scope.h"
#include "config/localization.h"
#include "config/preferences.h"
#include "console/console_test_util.h"

using namespace Dossiq::Config;
using namespace ConsoleTest;

namespace {

struct Expected {
    WORD language;
    const char* help;    // a phrase of the main help (UTF-8)
    const char* verify;  // one of `verify --help`
    const char* unknown; // the message for an unknown command
    const char* missing; // the one for a container that is not there
    const char* garbage; // the reason verify gives for a container that does not decode
};

const Expected kExpected[] = {
    {LanguageEnglish, "Usage: dossiq COMMAND [OPTIONS]", "runs the five checks", "unknown command",
     "cannot find", "the container could not be decoded"},
    {LanguageSerbianLatin, "Upotreba: dossiq KOMANDA [OPCIJE]", "sprovodi pet provera",
     "nepoznata komanda", "\x6E\x69\x6A\x65\x20\x70\x72\x6F\x6E\x61\xC4\x91\x65\x6E\x6F",
     "\x6B\x6F\x6E\x74\x65\x6A\x6E\x65\x72\x20\x6E\x65\x20\x6D\x6F\xC5\xBE\x65\x20\x64\x61\x20\x73"
     "\x65\x20\x64\x65\x6B\x6F\x64\x69\x72\x61"},
    {LanguageSerbianCyrillic,
     "\xD0\xA3\xD0\xBF\xD0\xBE\xD1\x82\xD1\x80\xD0\xB5\xD0\xB1\xD0\xB0\x3A\x20\x64\x6F\x73\x73\x69"
     "\x71\x20\xD0\x9A\xD0\x9E\xD0\x9C\xD0\x90\xD0\x9D\xD0\x94\xD0\x90",
     "\xD1\x81\xD0\xBF\xD1\x80\xD0\xBE\xD0\xB2\xD0\xBE\xD0\xB4\xD0\xB8\x20\xD0\xBF\xD0\xB5\xD1\x82",
     "\xD0\xBD\xD0\xB5\xD0\xBF\xD0\xBE\xD0\xB7\xD0\xBD\xD0\xB0\xD1\x82\xD0\xB0",
     "\xD0\xBD\xD0\xB8\xD1\x98\xD0\xB5\x20\xD0\xBF\xD1\x80\xD0\xBE\xD0\xBD\xD0\xB0\xD1\x92\xD0\xB5"
     "\xD0\xBD\xD0\xBE",
     "\xD0\xBA\xD0\xBE\xD0\xBD\xD1\x82\xD0\xB5\xD1\x98\xD0\xBD\xD0\xB5\xD1\x80\x20\xD0\xBD\xD0\xB5"
     "\x20\xD0\xBC\xD0\xBE\xD0\xB6\xD0\xB5\x20\xD0\xB4\xD0\xB0\x20\xD1\x81\xD0\xB5\x20\xD0\xB4\xD0"
     "\xB5\xD0\xBA\xD0\xBE\xD0\xB4\xD0\xB8\xD1\x80\xD0\xB0"},
};

bool Has(const std::string& text, const char* phrase) {
    return text.find(phrase) != std::string::npos;
}

TEST(LanguageTest, EachPreferenceLanguagePrintsItsOwnTexts) {
    ASSERT_TRUE(Preferences::Instance().Load());
    const std::wstring dir = TestSupport::MakeTempDir(L"language");
    TestSupport::WriteFileBytes(dir + L"\\garbage.snx", "not a container");
    TestSupport::LanguageScope scope(LanguageEnglish, true);
    for (const Expected& expected : kExpected) {
        SCOPED_TRACE(expected.language);
        scope.Set(expected.language);

        const Outcome help = RunDossiq(L"--help", dir);
        EXPECT_EQ(0u, help.exitCode);
        EXPECT_TRUE(Has(help.out, expected.help)) << help.out;
        const Outcome verify = RunDossiq(L"verify /?", dir);
        EXPECT_EQ(0u, verify.exitCode);
        EXPECT_TRUE(Has(verify.out, expected.verify)) << verify.out;
        // The verdict words stay English in every language's help.
        EXPECT_TRUE(Has(verify.out, "(passed, failed, tampered,")) << verify.out;
        // Only the chosen language: no other language's phrase leaks in.
        for (const Expected& other : kExpected) {
            if (other.language != expected.language) {
                EXPECT_FALSE(Has(help.out, other.help)) << help.out;
            }
        }

        const Outcome unknown = RunDossiq(L"frobnicate", dir);
        EXPECT_EQ(2u, unknown.exitCode);
        EXPECT_TRUE(Has(unknown.err, expected.unknown)) << unknown.err;
        EXPECT_TRUE(Has(unknown.err, "frobnicate")) << unknown.err;

        const Outcome missing = RunDossiq(L"list missing.snx", dir);
        EXPECT_EQ(2u, missing.exitCode);
        EXPECT_TRUE(Has(missing.err, expected.missing)) << missing.err;

        // The verdict word stays, its reason is translated; JSON keeps the English reason.
        const Outcome garbage = RunDossiq(L"verify garbage.snx", dir);
        EXPECT_EQ(1u, garbage.exitCode);
        EXPECT_EQ(0u, garbage.out.find("unreadable")) << garbage.out;
        EXPECT_TRUE(Has(garbage.out, expected.garbage)) << garbage.out;
        const Outcome json = RunDossiq(L"verify --json garbage.snx", dir);
        EXPECT_TRUE(Has(json.out, "\"the container could not be decoded\"")) << json.out;
    }
}

// A language the program has no texts in falls back like the manager: still a readable help.
TEST(LanguageTest, UnknownLanguageStillPrintsHelp) {
    ASSERT_TRUE(Preferences::Instance().Load());
    const std::wstring dir = TestSupport::MakeTempDir(L"language");
    TestSupport::LanguageScope scope(1031, true);
    const Outcome help = RunDossiq(L"--help", dir);
    EXPECT_EQ(0u, help.exitCode);
    EXPECT_TRUE(Has(help.out, "dossiq") && Has(help.out, "verify")) << help.out;
    EXPECT_GT(help.out.size(), 200u);
}

} // namespace
