// The main window's frame, panes and commands: size and minimum size, splitter, toolbar,
// list columns, the command states in menus, toolbar and the right-click menu, the command
// line, dropping files, replacing a container whose workers still run, About and Language.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <richedit.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <thread>

#include "common/drop_list.h"
#include "common/test_support.h"
#include "config/localization.h"
#include "config/preferences.h"
#include "document/container/document.h"
#include "document/report/report_messages.h"
#include "manager/manager_test_support.h"
#include "manager/toolbar.h"
#include "resources/manager/resource.h"

using namespace Dossiq::Config;
using namespace Dossiq::Documents;

namespace {

using namespace ManagerTest;

constexpr UINT kActions[] = {ID_ACTION_VIEW, ID_ACTION_EXTRACT, ID_ACTION_EXTRACT_TO,
                             ID_ACTION_EXTRACT_ALL, ID_ACTION_EXTRACT_ALL_TO};

class WindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new std::wstring(TestSupport::MakeTempDir(L"window"));
        first_ = new std::wstring(*folder_ + L"\\first one.snx");
        second_ = new std::wstring(*folder_ + L"\\second.snx");
        WriteSignedContainer(*first_, MakeArchive({"one.txt=1", "sub/two.txt=22"}), "qualified");
        WriteSignedContainer(*second_, MakeArchive({"other.bin=333"}), "expired");
    }
    static void TearDownTestSuite() {
        delete folder_;
        delete first_;
        delete second_;
    }

    // The enabled state of the actions as the menu shows them when its popup opens.
    static std::map<UINT, bool> MenuStates(HWND window, HMENU popup) {
        ::SendMessageW(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 1);
        std::map<UINT, bool> states;
        for (UINT id : kActions) {
            states[id] = !(::GetMenuState(popup, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
        }
        return states;
    }
    static std::map<UINT, bool> ToolbarStates(HWND toolbar) {
        std::map<UINT, bool> states;
        for (UINT id : kActions) {
            states[id] = ::SendMessageW(toolbar, TB_ISBUTTONENABLED, id, 0) != 0;
        }
        return states;
    }
    static std::map<UINT, bool> Expect(bool view, bool extract, bool all) {
        return {{ID_ACTION_VIEW, view},
                {ID_ACTION_EXTRACT, extract},
                {ID_ACTION_EXTRACT_TO, extract},
                {ID_ACTION_EXTRACT_ALL, all},
                {ID_ACTION_EXTRACT_ALL_TO, all}};
    }
    static std::wstring Title(HWND window) {
        wchar_t title[256] = {};
        ::GetWindowTextW(window, title, 256);
        return title;
    }
    static bool ListFilled(ShownWindow& shown) {
        return ::SendMessageW(shown.window.ListView(), LVM_GETITEMCOUNT, 0, 0) > 0;
    }

    static std::wstring* folder_;
    static std::wstring* first_;
    static std::wstring* second_;
};

std::wstring* WindowTest::folder_ = nullptr;
std::wstring* WindowTest::first_ = nullptr;
std::wstring* WindowTest::second_ = nullptr;

TEST_F(WindowTest, EmptyWindowLayout) {
    ShownWindow shown;
    const HWND window = shown.Handle();
    EXPECT_EQ(L"Vantor Manager", Title(window));
    RECT rect;
    ::GetWindowRect(window, &rect);
    EXPECT_EQ(555, rect.right - rect.left);
    EXPECT_EQ(600, rect.bottom - rect.top);
    EXPECT_TRUE(::GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    EXPECT_EQ(555, shown.window.MinTrackSize().cx);
    EXPECT_EQ(600, shown.window.MinTrackSize().cy);
    MINMAXINFO info = {};
    ::SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(555, info.ptMinTrackSize.x);
    EXPECT_EQ(600, info.ptMinTrackSize.y);

    // Toolbar 128: a leading separator, then the buttons of the resource.
    const HWND toolbar = shown.window.ToolbarWindow();
    const int expected[] = {0,
                            ID_FILE_OPEN,
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
    ASSERT_EQ(13, ::SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < 13; ++i) {
        TBBUTTON button = {};
        ::SendMessageW(toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
        EXPECT_EQ(expected[i] == 0, (button.fsStyle & BTNS_SEP) != 0) << i;
        if (expected[i]) {
            EXPECT_EQ(expected[i], button.idCommand) << i;
        }
    }
    EXPECT_TRUE(::GetWindowLongW(toolbar, GWL_STYLE) & TBSTYLE_FLAT);
    EXPECT_TRUE(::GetWindowLongW(toolbar, GWL_STYLE) & TBSTYLE_TOOLTIPS);
    // Tooltips: the text after the line feed of the command's string.
    NMTTDISPINFOW tip = {};
    tip.hdr.hwndFrom = reinterpret_cast<HWND>(::SendMessageW(toolbar, TB_GETTOOLTIPS, 0, 0));
    tip.hdr.idFrom = ID_ACTION_EXTRACT_TO;
    tip.hdr.code = TTN_GETDISPINFOW;
    ::SendMessageW(window, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&tip));
    EXPECT_STREQ(L"Extract To...", tip.lpszText);
    EXPECT_EQ(L"", Dossiq::Manager::Toolbar::TooltipText(L"no line feed"));
    EXPECT_EQ(std::wstring(79, L'x'),
              Dossiq::Manager::Toolbar::TooltipText(L"status\n" + std::wstring(100, L'x')));
    EXPECT_EQ(static_cast<UINT>(IDR_TOOLBAR_CLASSIC),
              Dossiq::Manager::ToolbarResourceFor(5, 0, IDR_MAINFRAME, IDR_TOOLBAR_CLASSIC));
    EXPECT_EQ(static_cast<UINT>(IDR_MAINFRAME),
              Dossiq::Manager::ToolbarResourceFor(5, 1, IDR_MAINFRAME, IDR_TOOLBAR_CLASSIC));
    EXPECT_EQ(static_cast<UINT>(IDR_TOOLBAR_CLASSIC),
              Dossiq::Manager::ToolbarResourceFor(4, 90, IDR_MAINFRAME, IDR_TOOLBAR_CLASSIC));

    // The list: three left-aligned columns, full-row select, the system's small icons.
    const HWND list = shown.window.ListView();
    const struct {
        UINT text;
        int width;
    } columns[] = {{236, 200}, {237, 235}, {238, 100}};
    for (int i = 0; i < 3; ++i) {
        wchar_t text[64] = {};
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.pszText = text;
        column.cchTextMax = 64;
        ASSERT_TRUE(::SendMessageW(list, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column)));
        EXPECT_EQ(LoadLocalizedString(columns[i].text), text);
        EXPECT_EQ(columns[i].width, column.cx);
        EXPECT_EQ(LVCFMT_LEFT, column.fmt & LVCFMT_JUSTIFYMASK);
    }
    const LONG style = ::GetWindowLongW(list, GWL_STYLE);
    EXPECT_FALSE(style & LVS_SINGLESEL); // Ctrl+A selects all entries
    EXPECT_TRUE(style & LVS_NOSORTHEADER);
    EXPECT_FALSE(style & LVS_SHAREIMAGELISTS);
    EXPECT_TRUE(::GetWindowLongW(list, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    const LRESULT extended = ::SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    EXPECT_TRUE(extended & LVS_EX_FULLROWSELECT);
    EXPECT_TRUE(extended & LVS_EX_SUBITEMIMAGES);
    SHFILEINFOW info2 = {};
    const auto system = reinterpret_cast<HIMAGELIST>(
        ::SHGetFileInfoW(L"C:\\", 0, &info2, sizeof(info2), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    EXPECT_EQ(system,
              reinterpret_cast<HIMAGELIST>(::SendMessageW(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0)));

    // Nothing open: the five actions are off, and so are the two that need a report (the
    // right-click menu is the same popup); the report shows nothing yet.
    HMENU action = ::GetSubMenu(::GetMenu(window), 1);
    EXPECT_EQ(Expect(false, false, false), MenuStates(window, action));
    for (UINT id : {ID_ACTION_CERTIFICATE_PATH, ID_ACTION_SAVE_REPORT}) {
        EXPECT_TRUE(::GetMenuState(action, id, MF_BYCOMMAND) & MF_GRAYED) << id;
    }
    Pump(50);
    EXPECT_EQ(Expect(false, false, false), ToolbarStates(toolbar));
    EXPECT_EQ(ReportPicture::None, shown.window.Pane().Report().PictureState());
    // The current language is checked, the others are not.
    HMENU languages = ::GetSubMenu(::GetMenu(window), 2);
    ::SendMessageW(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(languages), 2);
    const WORD language = Preferences::Instance().Language();
    EXPECT_EQ(language == LanguageEnglish,
              (::GetMenuState(languages, ID_LANGUAGE_ENGLISH, MF_BYCOMMAND) & MF_CHECKED) != 0);
    EXPECT_FALSE(::GetMenuState(languages, ID_LANGUAGE_SERBIAN_CYRILLIC, MF_BYCOMMAND) &
                 MF_CHECKED);
    SaveScreenshot(window, L"window_empty");
}

TEST_F(WindowTest, SplitterIsFixedAndKeepsItsProportion) {
    ShownWindow shown;
    Dossiq::Manager::Splitter& splitter = shown.window.SplitterWindow();
    RECT frame, client;
    ::GetClientRect(shown.Handle(), &frame);
    ::GetClientRect(splitter.Handle(), &client);
    const int before = splitter.GetSplitterPos();
    EXPECT_EQ(frame.bottom - 153, before);
    const double proportion = static_cast<double>(before) / (client.bottom - splitter.BarHeight());

    // The bar does not move under the mouse.
    ::SendMessageW(splitter.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, before + 1));
    ::SendMessageW(splitter.Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, before - 100));
    ::SendMessageW(splitter.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(10, before - 100));
    EXPECT_EQ(before, splitter.GetSplitterPos());

    ::SetWindowPos(shown.Handle(), nullptr, 0, 0, 800, 900, SWP_NOMOVE | SWP_NOZORDER);
    ::GetClientRect(splitter.Handle(), &client);
    const double after =
        static_cast<double>(splitter.GetSplitterPos()) / (client.bottom - splitter.BarHeight());
    EXPECT_NEAR(proportion, after, 0.01);
    RECT report;
    ::GetWindowRect(shown.window.Pane().Handle(), &report);
    EXPECT_GE(report.bottom - report.top, 108);
    // Smaller than the start size is refused.
    MINMAXINFO info = {};
    ::SendMessageW(shown.Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(555, info.ptMinTrackSize.x);
}

TEST_F(WindowTest, ReportBoxIgnoresTheMouse) {
    ShownWindow shown(*first_);
    ASSERT_TRUE(WaitForFinalReport(shown));
    const HWND text = shown.window.Pane().Report().TextBox();
    ::SendMessageW(text, EM_SETSEL, 0, 0);
    for (UINT message :
         {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_MBUTTONDOWN}) {
        ::SendMessageW(text, message, MK_LBUTTON, MAKELPARAM(30, 5));
    }
    CHARRANGE range = {-1, -1};
    ::SendMessageW(text, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.cpMin, range.cpMax);
    EXPECT_EQ(TRUE, ::SendMessageW(text, WM_SETCURSOR, reinterpret_cast<WPARAM>(text),
                                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(::LoadCursorW(nullptr, IDC_ARROW), ::GetCursor());
    EXPECT_TRUE(::GetWindowLongW(text, GWL_STYLE) & ES_READONLY);
}

TEST_F(WindowTest, CommandStatesFollowTheListAndTheSelection) {
    ShownWindow shown(*first_);
    const HWND window = shown.Handle();
    HMENU action = ::GetSubMenu(::GetMenu(window), 1);
    EXPECT_EQ(L"Vantor Manager - first one.snx", Title(window));
    EXPECT_EQ(*folder_, shown.window.DocumentFolder());
    EXPECT_EQ(Expect(false, false, false), MenuStates(window, action));
    ASSERT_TRUE(PumpUntil([&] { return ListFilled(shown); }));
    Pump(50);
    EXPECT_EQ(Expect(true, false, true), MenuStates(window, action));
    EXPECT_EQ(Expect(true, false, true), ToolbarStates(shown.window.ToolbarWindow()));
    const auto rows = ReadList(shown.window.ListView());
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ(L"one.txt", rows[0].name);
    EXPECT_EQ(L"", rows[0].location);
    EXPECT_EQ(L"1", rows[0].size);
    EXPECT_EQ(L"two.txt", rows[1].name);
    EXPECT_EQ(L"sub", rows[1].location);
    EXPECT_EQ(L"2", rows[1].size);

    SelectRow(shown.window.ListView(), 1);
    Pump(50);
    EXPECT_EQ(Expect(true, true, true), MenuStates(window, action));
    EXPECT_EQ(Expect(true, true, true), ToolbarStates(shown.window.ToolbarWindow()));
    SaveScreenshot(window, L"window_selected");

    // The right-click menu shows the same states, read while it is up.
    std::map<UINT, bool> popupStates;
    std::atomic<bool> popupSeen{false};
    HANDLE reader = ::CreateThread(
        nullptr, 0,
        [](void* parameter) -> DWORD {
            auto* context =
                static_cast<std::pair<std::map<UINT, bool>*, std::atomic<bool>*>*>(parameter);
            for (int tries = 0; tries < 200; ++tries) {
                HWND popup = ::FindWindowW(L"#32768", nullptr);
                if (popup && ::IsWindowVisible(popup)) {
                    ::Sleep(200);
                    auto menu = reinterpret_cast<HMENU>(::SendMessageW(popup, MN_GETHMENU, 0, 0));
                    for (UINT id : kActions) {
                        (*context->first)[id] =
                            !(::GetMenuState(menu, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
                    }
                    *context->second = true;
                    ::PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 0);
                    return 0;
                }
                ::Sleep(25);
            }
            return 0;
        },
        new std::pair<std::map<UINT, bool>*, std::atomic<bool>*>(&popupStates, &popupSeen), 0,
        nullptr);
    NMHDR click = {shown.window.ListView(), 0, static_cast<UINT>(NM_RCLICK)};
    ::SendMessageW(shown.window.SplitterWindow().Handle(), WM_NOTIFY, 0,
                   reinterpret_cast<LPARAM>(&click));
    ::WaitForSingleObject(reader, 10000);
    ::CloseHandle(reader);
    EXPECT_TRUE(popupSeen);
    EXPECT_EQ(Expect(true, true, true), popupStates);

    SelectRow(shown.window.ListView(), -1);
    Pump(50);
    EXPECT_EQ(Expect(false, false, true), MenuStates(window, action));
    EXPECT_EQ(Expect(false, false, true), ToolbarStates(shown.window.ToolbarWindow()));
    ASSERT_TRUE(WaitForFinalReport(shown));
}

TEST(CommandLine, TakesTheRestAsOnePathWithoutQuotes) {
    const struct {
        const wchar_t* line;
        const wchar_t* path;
    } cases[] = {
        {L"\"C:\\Program Files\\VantorManager.exe\" \"C:\\My Files\\a b.snx\"",
         L"C:\\My Files\\a b.snx"},
        {L"VantorManager.exe C:\\x.snx", L"C:\\x.snx"},
        {L"VantorManager.exe   C:\\with spaces\\x.snx  ", L"C:\\with spaces\\x.snx"},
        {L"\"VantorManager.exe\"", L""},
        {L"VantorManager.exe \"\"", L""},
        {L"VantorManager.exe \"\"\"x.snx\"\"", L"x.snx"},
        {L"\"VantorManager.exe\" \"a.snx\" \"b.snx\"", L"a.snx\" \"b.snx"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.path, Dossiq::Manager::DocumentPathFromCommandLine(c.line)) << c.line;
    }
}

TEST_F(WindowTest, CommandLinePathWithSpacesOpens) {
    const std::wstring line = L"\"C:\\VantorManager.exe\" \"" + *first_ + L"\"";
    ShownWindow shown(Dossiq::Manager::DocumentPathFromCommandLine(line.c_str()));
    ASSERT_TRUE(WaitForFinalReport(shown));
    EXPECT_EQ(ReportPicture::Qualified, shown.window.Pane().Report().PictureState());
    EXPECT_EQ(2u, ReadList(shown.window.ListView()).size());
}

TEST_F(WindowTest, DroppingOneContainerOpensIt) {
    ShownWindow shown;
    const HWND window = shown.Handle();
    const std::wstring upper = *folder_ + L"\\UPPER.SNX";
    ::CopyFileW(first_->c_str(), upper.c_str(), FALSE);

    ::SendMessageW(window, WM_DROPFILES,
                   reinterpret_cast<WPARAM>(TestSupport::DropFilesGlobal({*first_, *second_})), 0);
    ::SendMessageW(window, WM_DROPFILES,
                   reinterpret_cast<WPARAM>(TestSupport::DropFilesGlobal({upper})), 0);
    const std::wstring text = *folder_ + L"\\notes.txt";
    TestSupport::WriteFileBytes(text, "text");
    ::SendMessageW(window, WM_DROPFILES,
                   reinterpret_cast<WPARAM>(TestSupport::DropFilesGlobal({text})), 0);
    Pump(200);
    EXPECT_EQ(nullptr, shown.window.CurrentDocument());
    EXPECT_EQ(L"Vantor Manager", Title(window));

    ::SendMessageW(window, WM_DROPFILES,
                   reinterpret_cast<WPARAM>(TestSupport::DropFilesGlobal({*second_})), 0);
    ASSERT_NE(nullptr, shown.window.CurrentDocument());
    EXPECT_EQ(*second_, shown.window.CurrentDocument()->Path());
    EXPECT_EQ(*folder_, shown.window.DocumentFolder());
    EXPECT_EQ(L"Vantor Manager - second.snx", Title(window));
    ASSERT_TRUE(WaitForFinalReport(shown));
    const auto rows = ReadList(shown.window.ListView());
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(L"other.bin", rows[0].name);
}

TEST_F(WindowTest, SecondContainerWhileTheFirstIsStillBeingChecked) {
    ShownWindow shown(*first_);
    const HWND window = shown.Handle();
    // The first is listed and its certificate is being checked when the second comes.
    ASSERT_TRUE(PumpUntil([&] { return ListFilled(shown); }));
    std::vector<LPARAM> validatedTags;
    auto observe = [&](const MSG& message) {
        if (message.message == ReportMessages::CertificateValidated()) {
            validatedTags.push_back(message.lParam);
        }
    };
    shown.window.OpenPath(*second_);
    EXPECT_EQ(L"Vantor Manager - second.snx", Title(window));
    EXPECT_EQ(0, ::SendMessageW(shown.window.ListView(), LVM_GETITEMCOUNT, 0, 0));
    // Both checks report; only the second's result may be shown.
    ASSERT_TRUE(PumpUntil([&] { return validatedTags.size() >= 2; }, 90000, observe));
    Pump(100);
    EXPECT_NE(validatedTags[0], validatedTags[1]);
    const auto lines = ReadReport(shown.window.Pane().Report().TextBox());
    ASSERT_EQ(6u, lines.size());
    EXPECT_EQ(LineText(513), lines[1].text); // the second signer's certificate has expired
    EXPECT_EQ(ReportPicture::Warning, shown.window.Pane().Report().PictureState());
    ASSERT_EQ(1u, ReadList(shown.window.ListView()).size());

    // Replaced again before the first worker has even posted: its message is ignored and
    // its document outlives the window's reference.
    shown.window.OpenPath(*first_);
    std::weak_ptr<Document> replaced = shown.window.CurrentDocument();
    shown.window.OpenPath(*second_);
    ASSERT_TRUE(WaitForFinalReport(shown));
    Pump(500);
    EXPECT_TRUE(replaced.expired());
    EXPECT_EQ(LineText(513), ReadReport(shown.window.Pane().Report().TextBox())[1].text);
    const auto rows = ReadList(shown.window.ListView());
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(L"other.bin", rows[0].name);
    SaveScreenshot(window, L"window_second_container");
}

// A large envelope for thousands of strangers: decoding and describing it reads the file
// and searches the stores, none of which may keep the window from answering.
TEST_F(WindowTest, AnswersWhileALargeLockedEnvelopeIsDescribed) {
    const std::wstring dir = TestSupport::MakeTempDir(L"locked");
    const auto made = TestSupport::RunHostIn(
        dir, "openssl req -x509 -newkey rsa:2048 -nodes -keyout s.key -out s.pem"
             " -subj '/CN=Stranger' -days 30 2>/dev/null && head -c 64000000 /dev/zero >big.bin"
             " && openssl cms -encrypt -binary -aes256 -outform DER -in big.bin -out big.enx"
             " $(yes s.pem | head -n 3000)");
    ASSERT_EQ(0, made.exitCode) << made.output;

    ShownWindow shown;
    std::atomic<bool> stop{false};
    std::atomic<DWORD> slowest{0};
    std::thread prober([&] {
        while (!stop) {
            const DWORD start = ::GetTickCount();
            DWORD_PTR result = 0;
            if (!::SendMessageTimeoutW(shown.Handle(), WM_NULL, 0, 0, SMTO_NORMAL, 3000, &result)) {
                slowest = 3000;
            }
            slowest = std::max<DWORD>(slowest, ::GetTickCount() - start);
            ::Sleep(20);
        }
    });
    bool parsed = false;
    shown.window.OpenPath(dir + L"\\big.enx");
    const bool done =
        PumpUntil([&] { return parsed; }, 120000,
                  [&](const MSG& message) {
                      parsed = parsed || message.message == ReportMessages::DocumentParsed();
                  });
    Pump(300);
    stop = true;
    prober.join();
    ASSERT_TRUE(done);
    EXPECT_LT(slowest.load(), 1000u);
}

TEST_F(WindowTest, OpenDialogOffersTheTwoKindsAndOpensTheChoice) {
    ShownWindow shown;
    std::vector<std::wstring> filters;
    DialogWatcher open({L"*"}, [&](HWND dialog) {
        ::Sleep(300);
        const HWND types = ::GetDlgItem(dialog, 0x470); // cmb1, the file types
        const int count = static_cast<int>(::SendMessageW(types, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t text[128] = {};
            ::SendMessageW(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            filters.push_back(text);
        }
        filters.push_back(std::to_wstring(::SendMessageW(types, CB_GETCURSEL, 0, 0)));
        // The file name: cmb13 in the explorer-style dialog, edt1 in the older one.
        ::SetDlgItemTextW(dialog, 0x47C, second_->c_str());
        ::SetDlgItemTextW(dialog, 0x480, second_->c_str());
        ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    ::SendMessageW(shown.Handle(), WM_COMMAND, ID_FILE_OPEN, 0);
    ASSERT_EQ(1u, open.Seen().size());
    const std::vector<std::wstring> expected = {L"Signed Document (*.snx)",
                                                L"Protected Document (*.pnx)", L"0"};
    EXPECT_EQ(expected, filters);
    ASSERT_NE(nullptr, shown.window.CurrentDocument());
    EXPECT_EQ(*second_, shown.window.CurrentDocument()->Path());
    EXPECT_EQ(L"Vantor Manager - second.snx", Title(shown.Handle()));
    ASSERT_TRUE(WaitForFinalReport(shown));
}

TEST_F(WindowTest, AboutBoxAndTheCurrentLanguage) {
    ShownWindow shown;
    {
        DialogWatcher about({L"About Vantor Manager"});
        ::SendMessageW(shown.Handle(), WM_COMMAND, ID_APP_ABOUT, 0);
        ASSERT_EQ(1u, about.Seen().size());
    }
    // Choosing the language already set shows nothing and keeps the window.
    DialogWatcher anything({L"Vantor Manager"});
    const WORD language = Preferences::Instance().Language();
    const UINT command = language == LanguageSerbianLatin      ? ID_LANGUAGE_SERBIAN_LATIN
                         : language == LanguageSerbianCyrillic ? ID_LANGUAGE_SERBIAN_CYRILLIC
                                                               : ID_LANGUAGE_ENGLISH;
    ::SendMessageW(shown.Handle(), WM_COMMAND, command, 0);
    Pump(500);
    EXPECT_TRUE(anything.Seen().empty());
    EXPECT_TRUE(::IsWindow(shown.Handle()));
    EXPECT_EQ(language, Preferences::Instance().Language());
}

TEST_F(WindowTest, ExitClosesTheWindowWithQuitCodeOne) {
    auto shown = std::make_unique<ShownWindow>(*first_);
    const HWND window = shown->Handle();
    ASSERT_TRUE(PumpUntil([&] { return ListFilled(*shown); }));
    ::SendMessageW(window, WM_COMMAND, ID_APP_EXIT, 0);
    PumpUntil([&] { return !::IsWindow(window); }, 5000);
    Pump(50);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(1, LastQuitCode());
    shown.reset();
}

} // namespace

namespace {

TEST_F(WindowTest, ContainerInAFolderTooLongOpensAndExtractsOnlyWhereTheUserChooses) {
    ShownWindow shown(*first_);
    const HWND window = shown.Handle();
    ASSERT_TRUE(PumpUntil([&] { return ListFilled(shown); }));
    ASSERT_TRUE(WaitForFinalReport(shown));
    // Readable by the platform, too long for the path rules: read as given, as the page does.
    const std::wstring deep = CopyIntoLongFolder(*first_, 250, L"deep.snx");

    ::SendMessageW(window, WM_DROPFILES,
                   reinterpret_cast<WPARAM>(TestSupport::DropFilesGlobal({deep})), 0);
    EXPECT_EQ(L"Vantor Manager - deep.snx", Title(window));
    ASSERT_NE(nullptr, shown.window.CurrentDocument());
    EXPECT_EQ(deep, shown.window.CurrentDocument()->Path());
    EXPECT_EQ(L"", shown.window.DocumentFolder());
    ASSERT_TRUE(PumpUntil([&] { return ListFilled(shown); }));
    ASSERT_TRUE(WaitForFinalReport(shown));
    EXPECT_EQ(ReportPicture::Qualified, shown.window.Pane().Report().PictureState());
    EXPECT_EQ(LineText(230), ReadReport(shown.window.Pane().Report().TextBox())[0].text);

    // Extract and Extract All have no folder to write to, and say so; the others do.
    SelectRow(shown.window.ListView(), 0);
    Pump(50);
    const std::map<UINT, bool> states = {{ID_ACTION_VIEW, true},
                                         {ID_ACTION_EXTRACT, false},
                                         {ID_ACTION_EXTRACT_TO, true},
                                         {ID_ACTION_EXTRACT_ALL, false},
                                         {ID_ACTION_EXTRACT_ALL_TO, true}};
    EXPECT_EQ(states, MenuStates(window, ::GetSubMenu(::GetMenu(window), 1)));
    NMTTDISPINFOW tip = {};
    tip.hdr = {shown.window.ToolbarWindow(), ID_ACTION_EXTRACT_ALL, TTN_GETDISPINFOW};
    ::SendMessageW(window, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&tip));
    ASSERT_NE(nullptr, tip.lpszText);
    EXPECT_EQ(LineText(IDS_FOLDER_TOO_LONG), tip.lpszText);

    ::SendMessageW(window, WM_COMMAND, ID_ACTION_EXTRACT_ALL, 0);
    Pump(100);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW((*folder_ + L"\\one.txt").c_str()));
    const std::wstring chosen = TestSupport::MakeTempDir(L"chosen");
    shown.window.chooseFolder = [&](HWND) { return chosen; };
    ::SendMessageW(window, WM_COMMAND, ID_ACTION_EXTRACT_ALL_TO, 0);
    EXPECT_EQ(2, CountFiles(chosen));
}

} // namespace
