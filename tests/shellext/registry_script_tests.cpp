// The registrar on small scripts, linked directly: what each script does to a test key of
// the current user's registry and what unregistering leaves behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "shell/registry_script.h"

using namespace Dossiq::Shell;

namespace {

const wchar_t kTestKey[] = L"Software\\DossiqRegistrarTest";

bool KeyExists(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    ::RegCloseKey(key);
    return true;
}

std::wstring StringValue(HKEY root, const std::wstring& path, const wchar_t* name) {
    wchar_t data[256] = {};
    DWORD size = sizeof(data);
    if (::RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS) {
        return L"<none>";
    }
    return data;
}

HRESULT RunScript(const std::wstring& script, bool registering, bool perUser = false) {
    return RegistryScript::Run(script, {{L"NAME", RegistryScript::Quote(L"it's")}}, registering,
                               perUser);
}

class Registrar : public testing::Test {
protected:
    void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
};

TEST_F(Registrar, ScriptsThatDoNotParseChangeNothing) {
    const wchar_t* scripts[] = {
        L"HKCU { Software { DossiqRegistrarTest { A } }",             // unclosed block
        L"HKXX { Software { DossiqRegistrarTest } }",                 // unknown root
        L"HKCU { Software { DossiqRegistrarTest = x 'v' } }",         // unknown type
        L"HKCU { Software { DossiqRegistrarTest = s 'open } }",       // unclosed quote
        L"HKCU { Software { DossiqRegistrarTest = s '%UNKNOWN%' } }", // unknown replacement
        L"HKCU { Software { DossiqRegistrarTest { val = s 'v' } } }", // value without a name
        L"HKCU { Software { DossiqRegistrarTest = d 'twelve' } }",    // number that is none
    };
    for (const wchar_t* script : scripts) {
        EXPECT_EQ(RegistryScript::SyntaxError, RunScript(script, true)) << std::wstring(script);
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kTestKey));
    }
}

TEST_F(Registrar, ValuesReplacementsAndQuotesAreWrittenAsScripted) {
    const wchar_t script[] = L"HKCU { NoRemove Software { DossiqRegistrarTest = s '%NAME% 100%%' "
                             L"{ val 'Quoted ''name''' = s 'x' val Number = d '42' } } }";
    ASSERT_EQ(S_OK, RunScript(script, true));
    const std::wstring key = kTestKey;
    EXPECT_EQ(L"it's 100%", StringValue(HKEY_CURRENT_USER, key, nullptr));
    EXPECT_EQ(L"x", StringValue(HKEY_CURRENT_USER, key, L"Quoted 'name'"));
    DWORD number = 0;
    DWORD size = sizeof(number);
    EXPECT_EQ(ERROR_SUCCESS, ::RegGetValueW(HKEY_CURRENT_USER, kTestKey, L"Number",
                                            RRF_RT_REG_DWORD, nullptr, &number, &size));
    EXPECT_EQ(42u, number);
    ASSERT_EQ(S_OK, RunScript(script, false));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kTestKey));
}

TEST_F(Registrar, ForceRemoveReplacesAndRemovesTheWholeKey) {
    const std::wstring stale = std::wstring(kTestKey) + L"\\Forced\\Stale";
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, stale.c_str(), 0, nullptr, 0,
                                               KEY_WRITE, nullptr, &key, nullptr));
    ::RegCloseKey(key);
    const wchar_t script[] =
        L"HKCU { NoRemove Software { NoRemove DossiqRegistrarTest { ForceRemove Forced "
        L"{ Fresh } } } }";
    ASSERT_EQ(S_OK, RunScript(script, true));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, stale));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, std::wstring(kTestKey) + L"\\Forced\\Fresh"));

    // Whatever was added under it since goes with it.
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, stale.c_str(), 0, nullptr, 0,
                                               KEY_WRITE, nullptr, &key, nullptr));
    ::RegCloseKey(key);
    ASSERT_EQ(S_OK, RunScript(script, false));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(kTestKey) + L"\\Forced"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kTestKey)); // NoRemove
}

TEST_F(Registrar, NoRemoveAndKeysInUseSurviveUnregistering) {
    const struct {
        const wchar_t* script;
        const wchar_t* survivor; // below the test key; empty when the test key itself goes
    } cases[] = {
        {L"HKCU { NoRemove Software { NoRemove DossiqRegistrarTest { Plain } } }", L""},
        {L"HKCU { NoRemove Software { DossiqRegistrarTest { Plain } } }", nullptr},
        {L"HKCU { NoRemove Software { DossiqRegistrarTest { NoRemove Kept } } }", L"\\Kept"},
    };
    for (const auto& c : cases) {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
        ASSERT_EQ(S_OK, RunScript(c.script, true));
        ASSERT_EQ(S_OK, RunScript(c.script, false));
        if (c.survivor == nullptr) {
            EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kTestKey));
        } else {
            EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, std::wstring(kTestKey) + c.survivor));
            EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(kTestKey) + L"\\Plain"));
        }
    }

    // A plain key that holds something the script did not write stays, with that content.
    ASSERT_EQ(S_OK,
              RunScript(L"HKCU { NoRemove Software { DossiqRegistrarTest { Plain } } }", true));
    const std::wstring other = std::wstring(kTestKey) + L"\\Plain\\Other";
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, other.c_str(), 0, nullptr, 0,
                                               KEY_WRITE, nullptr, &key, nullptr));
    ::RegCloseKey(key);
    ASSERT_EQ(S_OK,
              RunScript(L"HKCU { NoRemove Software { DossiqRegistrarTest { Plain } } }", false));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, other));
}

TEST_F(Registrar, PerUserMapsClassesAndMachineToTheCurrentUser) {
    const struct {
        const wchar_t* script;
        const wchar_t* userPath;
    } cases[] = {
        {L"HKCR { DossiqRegistrarTest.Class = s 'c' }",
         L"Software\\Classes\\DossiqRegistrarTest.Class"},
        {L"HKEY_LOCAL_MACHINE { NoRemove Software { DossiqRegistrarTest = s 'c' } }", kTestKey},
        {L"HKCU { NoRemove Software { DossiqRegistrarTest = s 'c' } }", kTestKey},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(S_OK, RunScript(c.script, true, true));
        EXPECT_EQ(L"c", StringValue(HKEY_CURRENT_USER, c.userPath, nullptr));
        ASSERT_EQ(S_OK, RunScript(c.script, false, true));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, c.userPath));
    }
}

TEST(RegistrarText, DecodesBothEncodingsAndQuotes) {
    const char utf8[] = "HKCR \xC5\xA1";
    EXPECT_EQ(L"HKCR \u0161", RegistryScript::Decode(utf8, sizeof(utf8) - 1));
    const wchar_t utf16[] = L"\xFEFFHKCR";
    EXPECT_EQ(L"HKCR", RegistryScript::Decode(utf16, sizeof(utf16) - sizeof(wchar_t)));
    EXPECT_EQ(L"", RegistryScript::Decode("", 0));
    EXPECT_EQ(L"it''s ''", RegistryScript::Quote(L"it's '"));
}

} // namespace
