// Localized lookups with their neutral fallback, and the compiled resources of both
// deliverables: the same ids in every language, the right script, the shared pictures.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/language_scope.h"
#include "common/test_support.h"
#include "config/localization.h"
#include "config/preferences.h"
#include "foundation/handle.h"
#include "foundation/resource_string.h"
#include "resources/manager/resource.h"
#include "resources/shellext/resource.h"

using namespace Dossiq::Config;

namespace {

const WORD kLanguages[] = {LanguageEnglish, LanguageSerbianLatin, LanguageSerbianCyrillic};

// The resource modules under test: this program (linked with the test resources) and the
// two deliverables' resources, compiled on their own next to the test.
struct DataModule {
    std::wstring name;
    MHFX::ModuleHandle module;
};

std::wstring ResourceModulePath(const wchar_t* deliverable) {
    return TestSupport::BuildDir() + L"\\tests\\config\\" + deliverable + L"_resources.dll";
}

MHFX::ModuleHandle LoadDataModule(const std::wstring& path) {
    return MHFX::ModuleHandle(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
}

std::set<UINT> Range(UINT first, UINT last) {
    std::set<UINT> ids;
    for (UINT id = first; id <= last; ++id) {
        ids.insert(id);
    }
    return ids;
}

std::set<UINT> Union(std::initializer_list<std::set<UINT>> parts) {
    std::set<UINT> all;
    for (const auto& part : parts) {
        all.insert(part.begin(), part.end());
    }
    return all;
}

const std::set<UINT> kSharedIds = Union({{502, 504, 505, 507, 508, 509, 510},
                                         Range(512, 528),
                                         Range(540, 543),
                                         Range(560, 565),
                                         {550, 551},
                                         Range(570, 578),
                                         Range(580, 591),
                                         Range(596, 598),
                                         Range(601, 606),
                                         Range(611, 613),
                                         Range(1200, 1225),
                                         Range(1230, 1326),
                                         Range(1400, 1405),
                                         Range(1410, 1416),
                                         {208, 211, 212, 330, 331},
                                         Range(340, 349),
                                         Range(1340, 1350),
                                         Range(1430, 1450)});
const std::set<UINT> kManagerIds =
    Union({kSharedIds,
           {230, 231},
           Range(235, 251),
           Range(270, 274),
           Range(32776, 32780),
           {32785, 32786, 32787, 32795, 32796, 57601, 57664, 57665}});
const std::set<UINT> kShellIds = Union(
    {kSharedIds, {209, 210, 213}, Range(302, 307), Range(312, 317), {321, 322, 323, 328, 329}});
// dossiq.exe carries the shell extension's tables and its own texts.
const std::set<UINT> kConsoleIds =
    Union({kShellIds, Range(901, 949), Range(961, 964), Range(970, 976), Range(985, 994),
           Range(996, 998), Range(1100, 1107), Range(1120, 1126)});
const std::set<UINT> kNeutralIds = {100, 101, 128, 129, 130, 131, 701, 702, 703, 711, 712};

// Ids of the non-empty entries of every string table of `module`, by language.
using StringIdMap = std::map<WORD, std::set<UINT>>;

BOOL CALLBACK CollectBlock(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language,
                           LONG_PTR param) {
    auto* ids = reinterpret_cast<StringIdMap*>(param);
    HRSRC info = ::FindResourceExW(module, type, name, language);
    const auto* entry = static_cast<const WCHAR*>(::LockResource(::LoadResource(module, info)));
    const WCHAR* end = entry + ::SizeofResource(module, info) / sizeof(WCHAR);
    const UINT first = (static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name)) - 1) * 16;
    for (UINT i = 0; i < 16 && entry < end; ++i) {
        if (*entry != 0) {
            (*ids)[language].insert(first + i);
        }
        entry += 1 + *entry;
    }
    return TRUE;
}

BOOL CALLBACK CollectBlockLanguages(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param) {
    ::EnumResourceLanguagesW(module, type, name, CollectBlock, param);
    return TRUE;
}

StringIdMap StringIds(HMODULE module) {
    StringIdMap ids;
    ::EnumResourceNamesW(module, RT_STRING, CollectBlockLanguages,
                         reinterpret_cast<LONG_PTR>(&ids));
    return ids;
}

std::wstring Exact(HMODULE module, WORD language, UINT id) {
    std::wstring text;
    MHFX::FindStringEntry(module, id, language, text);
    return text;
}

bool IsCyrillic(wchar_t c) {
    return c >= 0x0400 && c <= 0x04FF;
}
bool IsAsciiLetter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

// Names and codes that stay in Latin letters in every language.
std::wstring WithoutLatinTerms(std::wstring text) {
    static const wchar_t* const terms[] = {L"VantorManager",
                                           L"Vantor Manager",
                                           L"Dossiq",
                                           L"Korvane",
                                           L"AddressBook",
                                           L"TrustedPeople",
                                           L"CRL",
                                           L"OCSP",
                                           L"ECDSA P-256",
                                           L"RSA",
                                           L"AES",
                                           L"MB",
                                           L"GB",
                                           L"snx",
                                           L"pnx",
                                           L"enx",
                                           L"%s",
                                           L"SHA",
                                           L"MD5",
                                           L"--accept-recipient-warnings",
                                           L"--encrypt-for-me",
                                           L"%d",
                                           L"%u",
                                           L"UTC",
                                           L"CRC-32",
                                           L"html",
                                           L"Explorer",
                                           L"txt"};
    // What the console program's users type or parse: commands, options, verdicts, names
    // of certificate stores and extensions (longer before shorter, "--to" before "-o").
    static const wchar_t* const console[] = {
        L"dossiq",      L"verify",       L"extract",      L"create",
        L"certs",       L"list",         L"--help",       L"--json",
        L"--jobs",      L"--recursive",  L"--report",     L"--entry",
        L"--overwrite", L"--sign",       L"--encrypt-to", L"--to",
        L"-o",          L"My",           L"qcStatements", L"nameForm",
        L"keyUsage",    L"privateKey",   L"passed",       L"failed",
        L"tampered",    L"unreadable",   L"locked",       L"unsigned",
        L"JSON",        L"UTF-8",        L"0x",           L"--timestamp-url",
        L"--timestamp", L"TimestampURL", L"URL",          L"required",
        L"optional",    L"off",          L"--force",      L"--long-term",
        L"LongTerm",    L"extend",       L"sign"};
    for (const auto& list : {std::vector<const wchar_t*>(std::begin(terms), std::end(terms)),
                             std::vector<const wchar_t*>(std::begin(console), std::end(console))}) {
        for (const wchar_t* term : list) {
            for (size_t at; (at = text.find(term)) != std::wstring::npos;) {
                text.erase(at, wcslen(term));
            }
        }
    }
    return text;
}

// The Cyrillic text of an id against its Latin one: Cyrillic letters only (besides the
// fixed Latin terms), no replacement characters and no mojibake from a wrong code page.
void ExpectSameTextInCyrillic(const std::wstring& latin, const std::wstring& cyrillic) {
    SCOPED_TRACE(TestSupport::Narrow(latin) + " | " + TestSupport::Narrow(cyrillic));
    int latinLetters = 0;
    for (wchar_t c : latin) {
        EXPECT_FALSE(IsCyrillic(c));
        EXPECT_FALSE(c >= 0x80 && c <= 0xFF);
        latinLetters += IsAsciiLetter(c) || (c >= 0x100 && c <= 0x17F);
    }
    int cyrillicLetters = 0;
    for (wchar_t c : WithoutLatinTerms(cyrillic)) {
        EXPECT_FALSE(IsAsciiLetter(c));
        EXPECT_FALSE(c >= 0x80 && c <= 0x3FF) << "U+" << std::hex << int(c);
        EXPECT_NE(0xFFFD, c);
        cyrillicLetters += IsCyrillic(c);
    }
    EXPECT_EQ(latinLetters > 0, cyrillicLetters > 0);
    EXPECT_EQ(std::count(latin.begin(), latin.end(), L'?'),
              std::count(cyrillic.begin(), cyrillic.end(), L'?'));
    EXPECT_EQ(std::count(latin.begin(), latin.end(), L'%'),
              std::count(cyrillic.begin(), cyrillic.end(), L'%'));
    EXPECT_EQ(std::count(latin.begin(), latin.end(), L'&'),
              std::count(cyrillic.begin(), cyrillic.end(), L'&'));
    EXPECT_EQ(std::count(latin.begin(), latin.end(), L'\n'),
              std::count(cyrillic.begin(), cyrillic.end(), L'\n'));
}

TEST(Localization, StringsComeInThePreferenceLanguageOrNeutral) {
    const HMODULE self = MHFX::CurrentModule();
    const struct {
        WORD language;
        UINT id;
        const wchar_t* text;
    } cases[] = {
        {1033, IDS_KIND_SIGNED, L"Signed Document"},
        {2074, IDS_KIND_SIGNED, L"Potpisani dokument"},
        {3098, IDS_KIND_SIGNED,
         L"\u041f\u043e\u0442\u043f\u0438\u0441\u0430\u043d\u0438 "
         L"\u0434\u043e\u043a\u0443\u043c\u0435\u043d\u0442"},
        {1033, IDS_RESTART_FOR_LANGUAGE,
         L"Application need to be restarted before language change takes effect."},
        {1033, IDS_SIGNING_FAILED,
         L"An error occured during signing of the document(s).\r\n\r\nError info:\r\n%s"},
        {1033, IDS_NO_RECIPIENT_CERTIFICATE,
         L"There is no recipient certificate available.\r\nRecipient certificates should be "
         L"installed in either \"AddressBook\" or \"TrustedPeople\" local user certificate "
         L"store."},
        {1033, ID_APP_ABOUT, L"Display program information, version number and copyright\nAbout"},
        {1033, IDS_ENCRYPTING_DESCRIPTION,
         L"Please wait until your document(s) is are encrypted..."},
        // Neutral ids reached from every language.
        {2074, IDS_EXT_SIGNED, L"snx"},
        {3098, IDS_MANAGER_TITLE_FORMAT, L"Vantor Manager - %s"},
        {0, IDS_EXT_ENCRYPTED, L"enx"},
        {1031, IDS_FILTER_PATTERN_FORMAT, L"*.%s"},
        {3098, IDS_UNRECOGNIZED_WIN32_EXCEPTION, L"An unrecognized Win32Exception was thrown."},
        // Missing everywhere.
        {2074, 9999, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.language << "/" << c.id);
        EXPECT_EQ(c.text, LoadLocalizedString(self, c.language, c.id));
    }

    // A language without tables takes the platform's neutral choice: one of the three.
    for (WORD language : {WORD(0), WORD(1031)}) {
        const std::wstring name = LoadLocalizedString(self, language, IDS_KIND_PROTECTED);
        EXPECT_TRUE(name == L"Protected Document" || name == L"Za\u0161ti\u0107eni dokument" ||
                    name == Exact(self, 3098, IDS_KIND_PROTECTED))
            << TestSupport::Narrow(name);
    }

    // The one-argument form follows the process-wide preference.
    TestSupport::LanguageScope language(LanguageSerbianLatin);
    EXPECT_EQ(L"Zaštićeni dokument", LoadLocalizedString(IDS_KIND_PROTECTED));
    EXPECT_EQ(L"pnx", LoadLocalizedString(IDS_EXT_PROTECTED));
    language.Set(LanguageEnglish);
    EXPECT_EQ(L"Protected Document", LoadLocalizedString(IDS_KIND_PROTECTED));
}

std::vector<std::wstring> MenuLabels(HMENU menu) {
    std::vector<std::wstring> labels;
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        wchar_t text[128] = {};
        ::GetMenuStringW(menu, i, text, 128, MF_BYPOSITION);
        labels.push_back(text);
    }
    return labels;
}

std::vector<int> MenuIds(HMENU menu) {
    std::vector<int> ids;
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        HMENU sub = ::GetSubMenu(menu, i);
        for (int j = 0; sub && j < ::GetMenuItemCount(sub); ++j) {
            ids.push_back(static_cast<int>(::GetMenuItemID(sub, j)));
        }
        ids.push_back(-2);
    }
    return ids;
}

TEST(Localization, MainMenuPerLanguageWithFallback) {
    const HMODULE self = MHFX::CurrentModule();
    const std::vector<int> ids = {57601, 0,     57665, -2,    32780, 0,     32776, 32777, 0,
                                  32778, 32779, 0,     32786, 32787, 32795, 32796, -2,    32782,
                                  32783, 32784, -2,    32785, 0,     57664, -2};
    const struct {
        WORD language;
        std::vector<std::wstring> popups;
    } cases[] = {
        {1033, {L"&File", L"&Action", L"&Language", L"&Help"}},
        {2074, {L"&Datoteka", L"&Radnje", L"&Jezik", L"&Pomo\u0107"}},
        {3098,
         {L"&\u0414\u0430\u0442\u043e\u0442\u0435\u043a\u0430", L"&\u0420\u0430\u0434\u045a\u0435",
          L"&\u0408\u0435\u0437\u0438\u043a", L"&\u041f\u043e\u043c\u043e\u045b"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        const LocalizedResource found = FindLocalizedResource(self, c.language, RT_MENU, 128);
        ASSERT_TRUE(found);
        MHFX::MenuHandle menu(::LoadMenuIndirectW(found.data));
        ASSERT_TRUE(menu);
        EXPECT_EQ(c.popups, MenuLabels(menu.get()));
        EXPECT_EQ(ids, MenuIds(menu.get()));
    }
    MHFX::MenuHandle english(
        ::LoadMenuIndirectW(FindLocalizedResource(self, 1033, RT_MENU, 128).data));
    EXPECT_EQ(L"&About VantorManager...", MenuLabels(::GetSubMenu(english.get(), 3))[2]);

    // No menu of its own for 0 or German: the platform's neutral choice, same structure.
    for (WORD language : {WORD(0), WORD(1031)}) {
        const LocalizedResource found = FindLocalizedResource(self, language, RT_MENU, 128);
        ASSERT_TRUE(found);
        MHFX::MenuHandle menu(::LoadMenuIndirectW(found.data));
        EXPECT_EQ(ids, MenuIds(menu.get()));
    }
    EXPECT_FALSE(FindLocalizedResource(self, 1033, RT_MENU, 999));
}

INT_PTR CALLBACK QuietDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

std::wstring WindowText(HWND window) {
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

struct Window {
    HWND handle = nullptr;
    ~Window() {
        if (handle)
            ::DestroyWindow(handle);
    }
};

TEST(Localization, AboutBoxPerLanguage) {
    const HMODULE self = MHFX::CurrentModule();
    const struct {
        WORD language;
        const wchar_t* caption;
        const wchar_t* ok;
    } cases[] = {
        {1033, L"About Vantor Manager", L"OK"},
        {2074, L"O programu Vantor Manager", L"U redu"},
        {3098, L"\u041e \u043f\u0440\u043e\u0433\u0440\u0430\u043c\u0443 Vantor Manager",
         L"\u0423 \u0440\u0435\u0434\u0443"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        const LocalizedResource found =
            FindLocalizedResource(self, c.language, RT_DIALOG, IDD_ABOUTBOX);
        ASSERT_TRUE(found);
        Window dialog{::CreateDialogIndirectParamW(self, static_cast<LPCDLGTEMPLATEW>(found.data),
                                                   nullptr, QuietDialogProc, 0)};
        ASSERT_NE(nullptr, dialog.handle);
        EXPECT_EQ(c.caption, WindowText(dialog.handle));
        EXPECT_EQ(c.ok, WindowText(::GetDlgItem(dialog.handle, IDOK)));

        RECT units = {0, 0, 243, 65};
        ::MapDialogRect(dialog.handle, &units);
        RECT client;
        ::GetClientRect(dialog.handle, &client);
        EXPECT_EQ(units.right, client.right);
        EXPECT_EQ(units.bottom, client.bottom);

        bool version = false;
        bool icon = false;
        for (HWND child = ::GetWindow(dialog.handle, GW_CHILD); child;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            version |= WindowText(child) == L"Vantor Manager v1.1.0.0";
            icon |= ::SendMessageW(child, STM_GETICON, 0, 0) != 0;
        }
        EXPECT_TRUE(version);
        EXPECT_TRUE(icon);
    }
}

TEST(Localization, PropertyPagePerLanguage) {
    ASSERT_NE(nullptr, ::LoadLibraryW(L"riched20.dll"));
    const HMODULE self = MHFX::CurrentModule();
    Window parent{::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                    nullptr, nullptr)};
    const struct {
        WORD language;
        const wchar_t* caption;
        const wchar_t* button;
    } cases[] = {
        {1033, L"Document", L"View Certificate"},
        {2074, L"Dokument", L"Prika\u017ei sertifikat"},
        {3098, L"\u0414\u043e\u043a\u0443\u043c\u0435\u043d\u0442",
         L"\u041f\u0440\u0438\u043a\u0430\u0436\u0438 "
         L"\u0441\u0435\u0440\u0442\u0438\u0444\u0438\u043a\u0430\u0442"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        const LocalizedResource found =
            FindLocalizedResource(self, c.language, RT_DIALOG, IDD_DOCUMENT_PAGE);
        ASSERT_TRUE(found);
        Window page{::CreateDialogIndirectParamW(self, static_cast<LPCDLGTEMPLATEW>(found.data),
                                                 parent.handle, QuietDialogProc, 0)};
        ASSERT_NE(nullptr, page.handle);
        EXPECT_EQ(c.caption, WindowText(page.handle));
        EXPECT_EQ(c.button, WindowText(::GetDlgItem(page.handle, IDC_PAGE_VIEW_CERTIFICATE)));
        for (int id :
             {IDC_PAGE_HEADING, IDC_PAGE_REPORT, IDC_PAGE_SIGNER_NAME, IDC_PAGE_SIGNER_EMAIL}) {
            EXPECT_EQ(L"RichEdit20W", ClassOf(::GetDlgItem(page.handle, id))) << id;
        }
        EXPECT_EQ(L"Static", ClassOf(::GetDlgItem(page.handle, IDC_PAGE_PICTURE)));
        for (int id : {IDC_PAGE_SIGNER_NAME, IDC_PAGE_SIGNER_EMAIL, IDC_PAGE_VIEW_CERTIFICATE}) {
            EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(page.handle, id))) << id;
        }
        RECT units = {0, 0, 233, 315};
        ::MapDialogRect(page.handle, &units);
        RECT client;
        ::GetClientRect(page.handle, &client);
        EXPECT_EQ(units.right, client.right);
        EXPECT_EQ(units.bottom, client.bottom);
    }
    // Language 0 and languages without a page of their own still find one.
    EXPECT_TRUE(FindLocalizedResource(self, 0, RT_DIALOG, IDD_DOCUMENT_PAGE));
    EXPECT_EQ(FindLocalizedResource(self, 0, RT_DIALOG, IDD_DOCUMENT_PAGE).data,
              FindLocalizedResource(self, 1031, RT_DIALOG, IDD_DOCUMENT_PAGE).data);
}

TEST(Localization, NeutralTemplatesServeEveryLanguage) {
    ASSERT_NE(nullptr, ::LoadLibraryW(L"riched20.dll"));
    const HMODULE self = MHFX::CurrentModule();
    for (UINT id : {IDD_SIGNATURE_REPORT, IDD_ARCHIVE_PROGRESS, IDD_BUSY, IDD_OVERWRITE_QUESTION}) {
        const HRSRC neutral = ::FindResourceExW(self, RT_DIALOG, MAKEINTRESOURCEW(id), 0);
        ASSERT_NE(nullptr, neutral) << id;
        for (WORD language : kLanguages) {
            EXPECT_EQ(::LockResource(::LoadResource(self, neutral)),
                      FindLocalizedResource(self, language, RT_DIALOG, id).data)
                << id << "/" << language;
        }
    }
    Window parent{::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                    nullptr, nullptr)};
    Window pane{::CreateDialogIndirectParamW(
        self,
        static_cast<LPCDLGTEMPLATEW>(
            FindLocalizedResource(self, 2074, RT_DIALOG, IDD_SIGNATURE_REPORT).data),
        parent.handle, QuietDialogProc, 0)};
    ASSERT_NE(nullptr, pane.handle);
    EXPECT_EQ(L"Button", ClassOf(::GetDlgItem(pane.handle, IDC_REPORT_PICTURE)));
    EXPECT_EQ(L"RichEdit20W", ClassOf(::GetDlgItem(pane.handle, IDC_REPORT_TEXT)));

    Window busy{::CreateDialogIndirectParamW(
        self,
        static_cast<LPCDLGTEMPLATEW>(FindLocalizedResource(self, 3098, RT_DIALOG, IDD_BUSY).data),
        nullptr, QuietDialogProc, 0)};
    ASSERT_NE(nullptr, busy.handle);
    const HWND bar = ::GetDlgItem(busy.handle, IDC_BUSY_BAR);
    EXPECT_EQ(std::wstring(PROGRESS_CLASSW), ClassOf(bar));
    EXPECT_TRUE(::GetWindowLongW(bar, GWL_STYLE) & PBS_MARQUEE);
    EXPECT_NE(nullptr, ::GetDlgItem(busy.handle, IDC_BUSY_TEXT));
}

// The string tables of one module: per-language tables with exactly `perLanguage`, in the
// right script, and the neutral table.
void CheckStringTables(HMODULE module, const std::set<UINT>& perLanguage) {
    const std::map<WORD, std::set<UINT>> ids = StringIds(module);
    std::set<WORD> languages;
    for (const auto& entry : ids) {
        languages.insert(entry.first);
    }
    EXPECT_EQ((std::set<WORD>{0, 1033, 2074, 3098}), languages);
    for (WORD language : kLanguages) {
        EXPECT_EQ(perLanguage, ids.at(language)) << language;
    }
    const std::set<UINT>& neutral = ids.at(0);
    for (UINT id : kNeutralIds) {
        EXPECT_EQ(1u, neutral.count(id)) << id;
    }
    for (UINT id : neutral) {
        EXPECT_TRUE(kNeutralIds.count(id) || (id >= 20481 && id <= 22017)) << id;
    }
    for (UINT id : perLanguage) {
        ExpectSameTextInCyrillic(Exact(module, 2074, id), Exact(module, 3098, id));
        EXPECT_NE(Exact(module, 1033, id), Exact(module, 3098, id)) << id;
    }
}

TEST(Resources, EveryLanguageHoldsTheSameStringIds) {
    const MHFX::ModuleHandle manager = LoadDataModule(ResourceModulePath(L"manager"));
    const MHFX::ModuleHandle shell = LoadDataModule(ResourceModulePath(L"shellext"));
    ASSERT_TRUE(manager);
    ASSERT_TRUE(shell);
    {
        SCOPED_TRACE("manager");
        CheckStringTables(manager.get(), kManagerIds);
    }
    {
        SCOPED_TRACE("shell extension");
        CheckStringTables(shell.get(), kShellIds);
    }
    {
        SCOPED_TRACE("console program");
        const MHFX::ModuleHandle console = LoadDataModule(ResourceModulePath(L"console"));
        ASSERT_TRUE(console);
        CheckStringTables(console.get(), kConsoleIds);
    }
    {
        SCOPED_TRACE("test resources");
        CheckStringTables(MHFX::CurrentModule(), Union({kManagerIds, kShellIds}));
    }
    // The deliverables themselves, when they have been built.
    const struct {
        const wchar_t* path;
        const std::set<UINT>& ids;
    } deliverables[] = {{L"\\manager\\VantorManager.exe", kManagerIds},
                        {L"\\shellext\\dossiqshell.dll", kShellIds},
                        {L"\\console\\dossiq.exe", kConsoleIds}};
    for (const auto& built : deliverables) {
        const MHFX::ModuleHandle module = LoadDataModule(TestSupport::BuildDir() + built.path);
        if (module) {
            SCOPED_TRACE(TestSupport::Narrow(built.path));
            CheckStringTables(module.get(), built.ids);
        }
    }
}

std::vector<WORD> Languages(HMODULE module, LPCWSTR type, UINT id) {
    std::vector<WORD> languages;
    ::EnumResourceLanguagesW(
        module, type, MAKEINTRESOURCEW(id),
        [](HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) -> BOOL {
            reinterpret_cast<std::vector<WORD>*>(param)->push_back(language);
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

std::string ResourceBytes(HMODULE module, LPCWSTR type, UINT id) {
    HRSRC info = ::FindResourceExW(module, type, MAKEINTRESOURCEW(id), 0);
    if (!info)
        return {};
    return std::string(static_cast<const char*>(::LockResource(::LoadResource(module, info))),
                       ::SizeofResource(module, info));
}

// Button ids of a toolbar resource (0 for a separator) and the bitmap's size and depth.
std::vector<WORD> ToolbarButtons(HMODULE module, UINT id) {
    const std::string bytes = ResourceBytes(module, MAKEINTRESOURCEW(241), id);
    const auto* words = reinterpret_cast<const WORD*>(bytes.data());
    if (bytes.size() < 8 || words[0] != 1 || words[1] != 32 || words[2] != 32)
        return {};
    return std::vector<WORD>(words + 4, words + 4 + words[3]);
}

BITMAPINFOHEADER BitmapHeader(HMODULE module, UINT id) {
    BITMAPINFOHEADER header = {};
    const std::string bytes = ResourceBytes(module, RT_BITMAP, id);
    if (bytes.size() >= sizeof(header))
        memcpy(&header, bytes.data(), sizeof(header));
    return header;
}

int IconSize(HMODULE module, UINT id, int size) {
    MHFX::IconHandle icon(
        static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0)));
    ICONINFO info = {};
    if (!icon || !::GetIconInfo(icon.get(), &info))
        return 0;
    MHFX::BitmapHandle color(info.hbmColor);
    MHFX::BitmapHandle mask(info.hbmMask);
    BITMAP bitmap = {};
    ::GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
    return bitmap.bmWidth;
}

TEST(Resources, DeliverablesCarryTheirTemplatesPicturesAndManifests) {
    const MHFX::ModuleHandle manager = LoadDataModule(ResourceModulePath(L"manager"));
    const MHFX::ModuleHandle shell = LoadDataModule(ResourceModulePath(L"shellext"));
    ASSERT_TRUE(manager);
    ASSERT_TRUE(shell);
    const HMODULE m = manager.get();
    const HMODULE s = shell.get();
    const std::vector<WORD> perLanguage = {1033, 2074, 3098};
    const std::vector<WORD> neutral = {0};

    EXPECT_EQ(perLanguage, Languages(m, RT_MENU, 128));
    EXPECT_EQ(perLanguage, Languages(m, RT_DIALOG, IDD_ABOUTBOX));
    EXPECT_EQ(neutral, Languages(m, RT_DIALOG, IDD_SIGNATURE_REPORT));
    EXPECT_EQ(perLanguage, Languages(s, RT_DIALOG, IDD_DOCUMENT_PAGE));
    for (HMODULE module : {m, s}) {
        EXPECT_EQ(neutral, Languages(module, RT_DIALOG, IDD_ARCHIVE_PROGRESS));
        EXPECT_EQ(neutral, Languages(module, RT_DIALOG, IDD_BUSY));
    }
    EXPECT_TRUE(Languages(s, RT_MENU, 128).empty());
    EXPECT_TRUE(Languages(s, RT_DIALOG, IDD_ABOUTBOX).empty());
    EXPECT_TRUE(Languages(m, RT_DIALOG, IDD_DOCUMENT_PAGE).empty());

    for (UINT id : {128u, 201u, 202u, 203u, 204u, 205u, 206u}) {
        EXPECT_EQ(neutral, Languages(m, RT_GROUP_ICON, id)) << id;
        EXPECT_EQ(48, IconSize(m, id, 48)) << id;
        EXPECT_EQ(16, IconSize(m, id, 16)) << id;
    }
    for (UINT id = 106; id <= 112; ++id) {
        EXPECT_EQ(neutral, Languages(s, RT_GROUP_ICON, id)) << id;
        EXPECT_EQ(16, IconSize(s, id, 16)) << id;
        EXPECT_EQ(32, IconSize(s, id, 32)) << id;
    }
    for (UINT id = 106; id <= 109; ++id) {
        EXPECT_EQ(48, IconSize(s, id, 48)) << id;
    }

    const std::vector<WORD> modern = {ID_FILE_OPEN,
                                      0,
                                      ID_ACTION_VIEW,
                                      ID_ACTION_EXTRACT,
                                      ID_ACTION_EXTRACT_TO,
                                      ID_ACTION_EXTRACT_ALL,
                                      ID_ACTION_EXTRACT_ALL_TO,
                                      0,
                                      ID_HELP_MANUAL,
                                      ID_APP_ABOUT,
                                      0,
                                      ID_APP_EXIT};
    const std::vector<WORD> classic = {ID_FILE_OPEN,
                                       0,
                                       ID_ACTION_EXTRACT,
                                       ID_ACTION_EXTRACT_TO,
                                       ID_ACTION_EXTRACT_ALL,
                                       ID_ACTION_EXTRACT_ALL_TO,
                                       0,
                                       ID_APP_EXIT,
                                       0,
                                       ID_APP_ABOUT};
    EXPECT_EQ(modern, ToolbarButtons(m, IDR_MAINFRAME));
    EXPECT_EQ(classic, ToolbarButtons(m, IDR_TOOLBAR_CLASSIC));
    const BITMAPINFOHEADER modernBitmap = BitmapHeader(m, IDR_MAINFRAME);
    EXPECT_EQ(32, modernBitmap.biBitCount);
    EXPECT_EQ(9 * 32, modernBitmap.biWidth);
    EXPECT_EQ(32, modernBitmap.biHeight);
    const BITMAPINFOHEADER classicBitmap = BitmapHeader(m, IDR_TOOLBAR_CLASSIC);
    EXPECT_EQ(24, classicBitmap.biBitCount);
    EXPECT_EQ(7 * 32, classicBitmap.biWidth);

    const std::string programManifest = ResourceBytes(m, RT_MANIFEST, 1);
    const std::string moduleManifest = ResourceBytes(s, RT_MANIFEST, 2);
    for (const std::string& manifest : {programManifest, moduleManifest}) {
        EXPECT_NE(std::string::npos, manifest.find("name=\"Microsoft.Windows.Common-Controls\" "
                                                   "version=\"6.0.0.0\""));
    }
    // The registry scripts: the module's own with the application identifier, and one per
    // class naming its class identifier.
    const char* scriptNames[] = {"%APPID%", "{ACE88176-2E46-4D4C-849F-D4D8651B6B29}",
                                 "{1798D8B8-6825-4610-A1EF-02363EA2C34C}"};
    for (UINT id : {101u, 102u, 103u}) {
        const std::string script = ResourceBytes(s, L"REGISTRY", id);
        EXPECT_EQ(0u, script.find("HKCR\r\n{\r\n")) << id;
        EXPECT_NE(std::string::npos, script.find(scriptNames[id - 101])) << id;
    }
}

} // namespace
