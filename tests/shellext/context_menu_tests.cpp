// The context-menu handler with real data objects and real menus.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "common/dialog_driver.h"
#include "common/scale_child.h"
#include "common/test_support.h"
#include "foundation/handle.h"
#include "pki/store_scenario.h"
#include "pki/test_pki.h"
#include "resources/shellext/resource.h"
#include "shell/menu_bitmaps.h"
#include "shell_test_support.h"

using namespace Dossiq::Shell;

using namespace ShellTest;

namespace {

constexpr UINT kFirst = 100;

struct Item {
    UINT id;
    std::wstring text;
    HBITMAP bitmap;
};

std::vector<Item> Items(HMENU menu) {
    std::vector<Item> items;
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        wchar_t text[600] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_STRING | MIIM_BITMAP;
        info.dwTypeData = text;
        info.cch = 600;
        ::GetMenuItemInfoW(menu, i, TRUE, &info);
        items.push_back({info.wID, text, info.hbmpItem});
    }
    return items;
}

MHFX::ComPtr<IContextMenu3> Handler(const std::vector<std::wstring>& paths,
                                    HRESULT expected = S_OK) {
    MHFX::ComPtr<IContextMenu3> menu;
    EXPECT_EQ(S_OK, Create(kContextMenuClass, menu));
    MHFX::ComPtr<IShellExtInit> init;
    EXPECT_EQ(S_OK, menu.As(init));
    EXPECT_EQ(expected, init->Initialize(nullptr, DropObject(paths).get(), nullptr));
    return menu;
}

class ContextMenu : public testing::Test {
protected:
    void SetUp() override {
        WritePreferences(1033);
        // The Explorer has the theme library loaded; the item bitmaps are drawn with it.
        ::LoadLibraryW(L"uxtheme.dll");
        dir_ = TestSupport::MakeTempDir(L"menu");
    }
    std::wstring dir_;
};

TEST_F(ContextMenu, SubmenuNamesTheOutputOfTheQuickCommands) {
    const std::wstring projects = dir_ + L"\\Projects";
    ::CreateDirectoryW(projects.c_str(), nullptr);
    const std::wstring deep = dir_ + L"\\" + std::wstring(248 - dir_.size() - 1, L'd');
    const std::wstring deeper = dir_ + L"\\" + std::wstring(256 - dir_.size() - 1, L'e');
    const struct {
        std::vector<std::wstring> paths;
        std::wstring baseName;
    } cases[] = {
        {{dir_ + L"\\budget.xlsx"}, L"budget"},
        {{projects + L"\\a.txt", projects + L"\\b.doc", projects + L"\\Sub"}, L"Projects"},
        {{L"C:\\a.txt", L"C:\\windows"}, L""},
        {{dir_ + L"\\report.final.docx"}, L"report.final"},
        {{dir_ + L"\\contract.enx"}, L"contract"},
        {{projects}, L"Projects"},
        // Folders the path rules hold too long (248 to 259) still get the menu.
        {{deep + L"\\n.txt"}, L"n"},
        {{deeper + L"\\a", deeper + L"\\b"}, deeper.substr(deeper.rfind(L'\\') + 1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(TestSupport::Narrow(c.paths.front()));
        auto handler = Handler(c.paths);
        MHFX::MenuHandle menu(::CreatePopupMenu());
        ::AppendMenuW(menu.get(), MF_STRING, 1, L"Open");
        ASSERT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 5),
                  handler->QueryContextMenu(menu.get(), 0, kFirst, kFirst + 50, CMF_NORMAL));
        const std::vector<Item> top = Items(menu.get());
        ASSERT_EQ(2u, top.size());
        EXPECT_EQ(kFirst + 4, top[0].id);
        EXPECT_EQ(L"Dossiq", top[0].text);
        EXPECT_NE(nullptr, top[0].bitmap);
        const HMENU popup = ::GetSubMenu(menu.get(), 0);
        ASSERT_NE(nullptr, popup);
        const std::vector<Item> items = Items(popup);
        ASSERT_EQ(4u, items.size());
        const std::wstring texts[] = {
            L"Create \"" + c.baseName + L".snx\"", L"Create si&gned document...",
            L"Create \"" + c.baseName + L".pnx\"", L"Create &protected document..."};
        for (UINT i = 0; i < 4; ++i) {
            EXPECT_EQ(kFirst + i, items[i].id);
            EXPECT_EQ(texts[i], items[i].text);
        }
        // One bitmap per icon, shared by the items that show it, 32 bits with alpha.
        EXPECT_NE(nullptr, items[0].bitmap);
        EXPECT_EQ(items[0].bitmap, items[1].bitmap);
        EXPECT_EQ(items[2].bitmap, items[3].bitmap);
        EXPECT_NE(items[0].bitmap, items[2].bitmap);
        DIBSECTION dib = {};
        ASSERT_EQ(static_cast<int>(sizeof(dib)), ::GetObjectW(items[0].bitmap, sizeof(dib), &dib));
        EXPECT_EQ(32, dib.dsBm.bmBitsPixel);
        EXPECT_EQ(::GetSystemMetrics(SM_CXSMICON), dib.dsBm.bmWidth);
        const auto* pixels = static_cast<const RGBQUAD*>(dib.dsBm.bmBits);
        int opaque = 0;
        int clear = 0;
        for (int i = 0; i < dib.dsBm.bmWidth * dib.dsBm.bmHeight; ++i) {
            opaque += pixels[i].rgbReserved == 0xFF;
            clear += pixels[i].rgbReserved == 0;
        }
        EXPECT_GT(opaque, 0);
        EXPECT_GT(clear, 0);
    }
}

// The Explorer asks from the threads of all its windows at once. This program's own copy
// of the cache, emptied each round, is asked by eight threads together: each icon gets
// one bitmap, the same for every thread.
TEST_F(ContextMenu, MenuBitmapsAskedFromManyThreadsAtOnce) {
    constexpr int kThreads = 8;
    const UINT icons[] = {IDI_MENU_PRODUCT, IDI_MENU_SIGNED, IDI_MENU_PROTECTED};
    struct Asker {
        HANDLE go;
        const UINT* icons;
        int first;
        HBITMAP got[3];
    };
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        ReleaseMenuBitmaps();
        MHFX::KernelHandle go(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        Asker askers[kThreads];
        HANDLE threads[kThreads];
        for (int i = 0; i < kThreads; ++i) {
            askers[i] = {go.get(), icons, i % 3, {}};
            threads[i] = ::CreateThread(
                nullptr, 0,
                [](void* parameter) -> DWORD {
                    auto* asker = static_cast<Asker*>(parameter);
                    ::WaitForSingleObject(asker->go, INFINITE);
                    for (int k = 0; k < 3; ++k) {
                        const int icon = (asker->first + k) % 3;
                        asker->got[icon] = MenuBitmap(asker->icons[icon]);
                    }
                    return 0;
                },
                &askers[i], 0, nullptr);
            ASSERT_NE(nullptr, threads[i]);
        }
        ::SetEvent(go.get());
        EXPECT_EQ(WAIT_OBJECT_0, ::WaitForMultipleObjects(kThreads, threads, TRUE, 60000));
        for (HANDLE thread : threads) {
            ::CloseHandle(thread);
        }
        for (int icon = 0; icon < 3; ++icon) {
            EXPECT_NE(nullptr, askers[0].got[icon]) << icon;
            for (const Asker& asker : askers) {
                EXPECT_EQ(askers[0].got[icon], asker.got[icon]) << icon;
            }
            EXPECT_EQ(askers[0].got[icon], MenuBitmap(icons[icon])) << icon;
        }
        EXPECT_NE(askers[0].got[0], askers[0].got[1]);
    }
    ReleaseMenuBitmaps();
}

TEST_F(ContextMenu, TheSerbianMenuComesFromItsOwnTable) {
    WritePreferences(3098);
    auto handler = Handler({dir_ + L"\\budget.xlsx"});
    MHFX::MenuHandle menu(::CreatePopupMenu());
    ASSERT_EQ(5, HRESULT_CODE(handler->QueryContextMenu(menu.get(), 0, kFirst, kFirst + 9, 0)));
    const std::vector<Item> items = Items(::GetSubMenu(menu.get(), 0));
    ASSERT_EQ(4u, items.size());
    EXPECT_NE(L"Create si&gned document...", items[1].text);
    EXPECT_NE(std::wstring::npos, items[0].text.find(L"budget.snx"));
    EXPECT_EQ(L"Dossiq", Items(menu.get())[0].text);
}

TEST_F(ContextMenu, DefaultOnlyMenusGetNothing) {
    auto handler = Handler({dir_ + L"\\budget.xlsx"});
    MHFX::MenuHandle menu(::CreatePopupMenu());
    EXPECT_EQ(S_OK, handler->QueryContextMenu(menu.get(), 0, kFirst, kFirst + 50,
                                              CMF_DEFAULTONLY | CMF_EXPLORE));
    EXPECT_EQ(0, ::GetMenuItemCount(menu.get()));
}

TEST_F(ContextMenu, HelpTextsForTheSignCommandsOnly) {
    auto handler = Handler({dir_ + L"\\budget.xlsx"});
    wchar_t wide[64] = {};
    ASSERT_EQ(S_OK, handler->GetCommandString(0, GCS_HELPTEXTW, nullptr,
                                              reinterpret_cast<char*>(wide), 64));
    EXPECT_STREQ(L"Create signed document", wide);
    ASSERT_EQ(S_OK, handler->GetCommandString(1, GCS_HELPTEXTW, nullptr,
                                              reinterpret_cast<char*>(wide), 64));
    EXPECT_STREQ(L"Create signed document selecting options", wide);
    ASSERT_EQ(S_OK, handler->GetCommandString(1, GCS_HELPTEXTW, nullptr,
                                              reinterpret_cast<char*>(wide), 7));
    EXPECT_STREQ(L"Create", wide);
    char ansi[64] = {};
    ASSERT_EQ(S_OK, handler->GetCommandString(0, GCS_HELPTEXTA, nullptr, ansi, 64));
    EXPECT_STREQ("Create signed document", ansi);
    ASSERT_EQ(S_OK, handler->GetCommandString(0, GCS_HELPTEXTA, nullptr, ansi, 10));
    EXPECT_STREQ("Create si", ansi);
    // Verbs are not offered: nothing is written.
    char untouched[8] = "xxxxxxx";
    EXPECT_EQ(S_OK, handler->GetCommandString(0, GCS_VERBA, nullptr, untouched, 8));
    EXPECT_STREQ("xxxxxxx", untouched);
    for (UINT_PTR position : {2, 3, 4, 17}) {
        EXPECT_EQ(E_INVALIDARG, handler->GetCommandString(position, GCS_HELPTEXTW, nullptr,
                                                          reinterpret_cast<char*>(wide), 64));
    }
}

// One selected Signed Document takes the user's signature; a Protected one shows the command
// disabled, its help saying why.
TEST_F(ContextMenu, AddMySignatureForOneSignedDocument) {
    const struct {
        std::vector<std::wstring> paths;
        int items; // in the submenu
        bool enabled;
        const wchar_t* help;
    } cases[] = {
        {{dir_ + L"\\contract.snx"}, 5, true, L"Adds your signature"},
        {{dir_ + L"\\CONTRACT.SNX"}, 5, true, L"Adds your signature"},
        {{dir_ + L"\\contract.pnx"}, 5, false, L"A Protected Document cannot"},
        {{dir_ + L"\\a.snx", dir_ + L"\\b.snx"}, 4, false, nullptr},
        {{dir_ + L"\\contract.snx.txt"}, 4, false, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(TestSupport::Narrow(c.paths.front()));
        auto handler = Handler(c.paths);
        MHFX::MenuHandle menu(::CreatePopupMenu());
        ASSERT_EQ(c.items + 1, HRESULT_CODE(handler->QueryContextMenu(menu.get(), 0, kFirst,
                                                                      kFirst + 50, CMF_NORMAL)));
        const HMENU popup = ::GetSubMenu(menu.get(), 0);
        ASSERT_EQ(c.items, ::GetMenuItemCount(popup));
        EXPECT_EQ(kFirst + c.items, Items(menu.get())[0].id);
        wchar_t wide[200] = {};
        const HRESULT help = handler->GetCommandString(4, GCS_HELPTEXTW, nullptr,
                                                       reinterpret_cast<char*>(wide), 200);
        if (c.help == nullptr) {
            EXPECT_EQ(E_INVALIDARG, help);
            continue;
        }
        EXPECT_EQ(L"Add my signature", Items(popup)[4].text);
        EXPECT_EQ(c.enabled, (::GetMenuState(popup, 4, MF_BYPOSITION) & MF_GRAYED) == 0);
        EXPECT_EQ(S_OK, help);
        EXPECT_EQ(0, std::wcsncmp(wide, c.help, std::wcslen(c.help))) << TestSupport::Narrow(wide);
    }
}

TEST_F(ContextMenu, InitializeRefusesWhatItCannotUse) {
    MHFX::ComPtr<IShellExtInit> init;
    ASSERT_EQ(S_OK, Create(kContextMenuClass, init));
    EXPECT_EQ(E_INVALIDARG, init->Initialize(nullptr, nullptr, nullptr));
    EXPECT_EQ(E_INVALIDARG, init->Initialize(nullptr, EmptyObject().get(), nullptr));
    EXPECT_EQ(E_INVALIDARG, init->Initialize(nullptr, DropObject({}).get(), nullptr));

    // Preferences that cannot be loaded: a file where their folder belongs.
    const std::wstring korvane = AppData() + L"\\Korvane";
    TestSupport::RemoveTree(korvane);
    TestSupport::WriteFileBytes(korvane, "not a folder");
    EXPECT_EQ(E_INVALIDARG,
              init->Initialize(nullptr, DropObject({dir_ + L"\\a.txt"}).get(), nullptr));
    ::DeleteFileW(korvane.c_str());
    EXPECT_EQ(S_OK, init->Initialize(nullptr, DropObject({dir_ + L"\\a.txt"}).get(), nullptr));
}

TEST_F(ContextMenu, LongPathsAreCutToTheDropBuffer) {
    const std::wstring longPath = L"C:\\" + std::wstring(300, L'x') + L".txt";
    auto handler = Handler({longPath});
    MHFX::MenuHandle menu(::CreatePopupMenu());
    ASSERT_EQ(5, HRESULT_CODE(handler->QueryContextMenu(menu.get(), 0, kFirst, kFirst + 9, 0)));
    const std::vector<Item> items = Items(::GetSubMenu(menu.get(), 0));
    EXPECT_EQ(L"Create \"" + std::wstring(256, L'x') + L".snx\"", items[0].text);
}

TEST_F(ContextMenu, OwnerDrawnIconsForOldSystems) {
    auto handler = Handler({dir_ + L"\\budget.xlsx"});
    MHFX::MenuHandle menu(::CreatePopupMenu());
    ASSERT_EQ(5, HRESULT_CODE(handler->QueryContextMenu(menu.get(), 0, kFirst, kFirst + 9, 0)));

    MEASUREITEMSTRUCT measure = {ODT_MENU, 0, kFirst, 40, 9, 0};
    EXPECT_EQ(S_OK, handler->HandleMenuMsg2(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure),
                                            nullptr));
    EXPECT_EQ(42u, measure.itemWidth);
    EXPECT_EQ(16u, measure.itemHeight);
    MEASUREITEMSTRUCT button = {ODT_BUTTON, 0, kFirst, 40, 9, 0};
    EXPECT_EQ(S_OK, handler->HandleMenuMsg(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&button)));
    EXPECT_EQ(40u, button.itemWidth);

    // Drawing puts the item's icon 16 pixels left of the item, centred in its height.
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    MHFX::BitmapHandle bitmap(::CreateCompatibleBitmap(screen, 64, 40));
    ::ReleaseDC(nullptr, screen);
    const HGDIOBJ old = ::SelectObject(dc, bitmap.get());
    const RECT all = {0, 0, 64, 40};
    ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    for (UINT id : {kFirst + 2, kFirst + 77}) {
        DRAWITEMSTRUCT draw = {};
        draw.CtlType = ODT_MENU;
        draw.itemID = id;
        draw.hDC = dc;
        draw.rcItem = {30, 4, 60, 36};
        LRESULT result = 12345;
        EXPECT_EQ(S_OK, handler->HandleMenuMsg2(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw),
                                                &result));
        EXPECT_EQ(12345, result);
    }
    int inside = 0;
    int outside = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 64; ++x) {
            const bool drawn = ::GetPixel(dc, x, y) != RGB(255, 255, 255);
            const bool expected = x >= 14 && x < 30 && y >= 12 && y < 28;
            (expected ? inside : outside) += drawn;
        }
    }
    EXPECT_GT(inside, 60);
    EXPECT_EQ(0, outside);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
}

} // namespace

namespace {

CMINVOKECOMMANDINFO Invocation(LPCSTR verb) {
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof(info);
    info.lpVerb = verb;
    info.nShow = SW_SHOWNORMAL;
    return info;
}

TEST_F(ContextMenu, TheQuickSignCommandWritesAContainerOpenSslVerifies) {
    TestPki::StoreScenario stores({"qualified"}, {}, {});
    const std::string content = "budget figures\n";
    const std::wstring file = dir_ + L"\\budget.xlsx";
    TestSupport::WriteFileBytes(file, content);
    {
        auto handler = Handler({file});
        MHFX::MenuHandle menu(::CreatePopupMenu());
        ASSERT_EQ(5, HRESULT_CODE(handler->QueryContextMenu(menu.get(), 0, kFirst, kFirst + 9, 0)));
        // A verb given as text and a position without a command start nothing.
        CMINVOKECOMMANDINFO byName = Invocation("open");
        EXPECT_EQ(S_OK, handler->InvokeCommand(&byName));
        CMINVOKECOMMANDINFO unknown = Invocation(MAKEINTRESOURCEA(4));
        EXPECT_EQ(S_OK, handler->InvokeCommand(&unknown));
        CMINVOKECOMMANDINFO quick = Invocation(MAKEINTRESOURCEA(0));
        EXPECT_EQ(S_OK, handler->InvokeCommand(&quick));
    }
    // The running command holds the module; once it lets go the container is written.
    ASSERT_TRUE(PumpUntil([] { return CanUnloadNow() == S_OK; }, 120000));
    const std::wstring container = dir_ + L"\\budget.snx";
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(container.c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW((dir_ + L"\\budget.pnx").c_str()));

    const std::string unixDir = TestSupport::UnixPath(dir_);
    const auto verified =
        TestSupport::RunHost("cd " + TestSupport::ShellQuote(unixDir) +
                             " && openssl cms -verify -inform DER -in budget.snx -CAfile " +
                             TestSupport::ShellQuote(TestPki::Pki::Get().UnixTrustedChainPath()) +
                             " -out archive.zip && unzip -p archive.zip budget.xlsx");
    ASSERT_EQ(0, verified.exitCode) << verified.output;
    EXPECT_NE(std::string::npos, verified.output.find(content)) << verified.output;

    // The other party adds its signature to it; OpenSSL verifies both signers.
    {
        TestPki::StoreScenario others({"qualified_others"}, {}, {});
        TestSupport::DialogWatcher told({L"dossiqshell"});
        {
            auto handler = Handler({container});
            MHFX::MenuHandle menu(::CreatePopupMenu());
            ASSERT_EQ(
                6, HRESULT_CODE(handler->QueryContextMenu(menu.get(), 0, kFirst, kFirst + 9, 0)));
            CMINVOKECOMMANDINFO add = Invocation(MAKEINTRESOURCEA(4));
            EXPECT_EQ(S_OK, handler->InvokeCommand(&add));
        }
        ASSERT_TRUE(PumpUntil([] { return CanUnloadNow() == S_OK; }, 120000));
        const auto seen = told.Seen();
        ASSERT_EQ(1u, seen.size());
        EXPECT_NE(std::wstring::npos, seen[0].text.find(L"has been added")) << seen[0].text;
    }
    const auto both =
        TestSupport::RunHost("cd " + TestSupport::ShellQuote(unixDir) +
                             " && openssl cms -verify -inform DER -in budget.snx -CAfile " +
                             TestSupport::ShellQuote(TestPki::Pki::Get().UnixTrustedChainPath()) +
                             " -out /dev/null && openssl cms -cmsout -print -inform DER -in "
                             "budget.snx | grep -c 'signatureAlgorithm:'");
    ASSERT_EQ(0, both.exitCode) << both.output;
    EXPECT_NE(std::string::npos, both.output.find("2\n")) << both.output;
}

} // namespace

namespace {

// The alpha channel of the first `size` x `size` pixels of a DIB section.
std::vector<BYTE> Alpha(HBITMAP bitmap, int size) {
    DIBSECTION dib = {};
    ::GetObjectW(bitmap, sizeof(dib), &dib);
    std::vector<BYTE> alpha;
    const auto* pixels = static_cast<const RGBQUAD*>(dib.dsBm.bmBits);
    for (int i = 0; pixels && i < size * size; ++i) {
        alpha.push_back(pixels[i].rgbReserved);
    }
    return alpha;
}

// At 144 and 192 DPI the menu pictures are the icons made for 24 and 32 pixels, not the
// 16-pixel ones scaled.
TEST_F(ContextMenu, BitmapsComeInTheSizeMadeForTheScale) {
    for (UINT dpi : {144u, 192u}) {
        EXPECT_EQ(0u, TestSupport::RunAtDpi(dpi, "ContextMenu.ChildBitmapsAtItsScale")) << dpi;
    }
}

TEST_F(ContextMenu, ChildBitmapsAtItsScale) {
    const UINT dpi = TestSupport::ChildDpi();
    if (dpi == 0) {
        GTEST_SKIP() << "run by BitmapsComeInTheSizeMadeForTheScale";
    }
    ::LoadLibraryW(L"uxtheme.dll");
    const int size = dpi == 144 ? 24 : 32;
    ASSERT_EQ(size, MenuIconSize());
    const HBITMAP made = MenuBitmap(IDI_MENU_SIGNED);
    ASSERT_NE(nullptr, made);
    DIBSECTION dib = {};
    ::GetObjectW(made, sizeof(dib), &dib);
    EXPECT_EQ(size, dib.dsBm.bmWidth);

    // The icon of that size drawn on its own.
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(info.bmiHeader), size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HDC dc = ::CreateCompatibleDC(nullptr);
    MHFX::BitmapHandle expected(::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const HGDIOBJ old = ::SelectObject(dc, expected.get());
    MHFX::IconHandle icon(static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                          MAKEINTRESOURCEW(IDI_MENU_SIGNED),
                                                          IMAGE_ICON, size, size, 0)));
    ::DrawIconEx(dc, 0, 0, icon.get(), size, size, 0, nullptr, DI_NORMAL);
    ::GdiFlush();
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    EXPECT_TRUE(Alpha(expected.get(), size) == Alpha(made, size));
    ReleaseMenuBitmaps();
}

} // namespace
