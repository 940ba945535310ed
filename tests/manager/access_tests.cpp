// The manager window at 96, 144 and 192 DPI (each scale in a child process started with
// Wine's LogPixels set, as the setting is read once per process), moved to another scale,
// driven by keys alone, and read through Active Accessibility in two languages.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>
#include <richedit.h>

#include <atomic>
#include <vector>
#include <string>

#include "common/language_scope.h"
#include "common/scale_child.h"
#include "common/test_support.h"
#include "config/localization.h"
#include "foundation/com_ptr.h"
#include "foundation/handle.h"
#include "manager/manager_test_support.h"
#include "resources/manager/resource.h"

using namespace Dossiq::Config;

namespace {

using namespace ManagerTest;

int Scaled(int pixels, UINT dpi) {
    return ::MulDiv(pixels, static_cast<int>(dpi), 96);
}

int ImageSize(HIMAGELIST images) {
    int cx = 0, cy = 0;
    ::ImageList_GetIconSize(images, &cx, &cy);
    return cx;
}

// Picture `index` of `images` as drawn on black.
std::vector<DWORD> Drawn(HIMAGELIST images, int index) {
    const int size = ImageSize(images);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(info.bmiHeader), size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HDC dc = ::CreateCompatibleDC(nullptr);
    MHFX::BitmapHandle bitmap(::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const HGDIOBJ old = ::SelectObject(dc, bitmap.get());
    ::ImageList_Draw(images, index, dc, 0, 0, ILD_NORMAL);
    ::GdiFlush();
    std::vector<DWORD> pixels(static_cast<const DWORD*>(bits),
                              static_cast<const DWORD*>(bits) + size * size);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    return pixels;
}

// The toolbar shows the images drawn for its size, not another size scaled.
void ExpectToolbarImagesMadeFor(HWND toolbar, int size) {
    const struct {
        int size;
        UINT bitmap;
    } made[] = {
        {32, IDR_MAINFRAME}, {40, IDB_TOOLBAR_40}, {48, IDB_TOOLBAR_48}, {64, IDB_TOOLBAR_64}};
    for (const auto& m : made) {
        if (m.size != size) {
            continue;
        }
        MHFX::BitmapHandle strip(static_cast<HBITMAP>(
            ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m.bitmap), IMAGE_BITMAP, 0,
                         0, LR_CREATEDIBSECTION)));
        const HIMAGELIST expected = ::ImageList_Create(size, size, ILC_COLOR32, 9, 0);
        ::ImageList_Add(expected, strip.get(), nullptr);
        const auto shown =
            reinterpret_cast<HIMAGELIST>(::SendMessageW(toolbar, TB_GETIMAGELIST, 0, 0));
        for (int i = 0; i < 9; ++i) {
            EXPECT_TRUE(Drawn(expected, i) == Drawn(shown, i)) << "image " << i;
        }
        ::ImageList_Destroy(expected);
        return;
    }
    ADD_FAILURE() << "no images made for " << size;
}

// Each column's heading fits its column.
void ExpectHeadingsFit(HWND list) {
    const HWND header = ListView_GetHeader(list);
    const HDC dc = ::GetDC(header);
    const HGDIOBJ old =
        ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(header, WM_GETFONT, 0, 0)));
    for (int i = 0; i < 3; ++i) {
        wchar_t text[64] = {};
        HDITEMW item = {};
        item.mask = HDI_TEXT | HDI_WIDTH;
        item.pszText = text;
        item.cchTextMax = 64;
        ::SendMessageW(header, HDM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        SIZE size = {};
        ::GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
        EXPECT_LT(size.cx, item.cxy) << TestSupport::Narrow(text);
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(header, dc);
}

// What the window shows at its scale: every pixel size scaled from 96 DPI, the pictures in the
// size made for the scale, nothing cut off.
void ExpectLaidOutFor(Dossiq::Manager::ManagerWindow& window, UINT dpi) {
    const int made[] = {96, 32, 48, 120, 40, 60, 144, 48, 72, 192, 64, 96};
    int toolbarSize = 0, pictureSize = 0;
    for (size_t i = 0; i < std::size(made); i += 3) {
        if (static_cast<UINT>(made[i]) == dpi) {
            toolbarSize = made[i + 1];
            pictureSize = made[i + 2];
        }
    }
    EXPECT_EQ(toolbarSize, ImageSize(reinterpret_cast<HIMAGELIST>(
                               ::SendMessageW(window.ToolbarWindow(), TB_GETIMAGELIST, 0, 0))));
    ExpectToolbarImagesMadeFor(window.ToolbarWindow(), toolbarSize);
    PictureButton& picture = window.Pane().Report().Picture();
    RECT button;
    ::GetClientRect(picture.Handle(), &button);
    EXPECT_EQ(pictureSize, window.Pane().Report().PictureSize());
    EXPECT_EQ(pictureSize, button.right);
    const int widths[] = {200, 235, 100};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Scaled(widths[i], dpi),
                  ::SendMessageW(window.ListView(), LVM_GETCOLUMNWIDTH, i, 0));
    }
    EXPECT_EQ(Scaled(555, dpi), window.MinTrackSize().cx);
    EXPECT_EQ(Scaled(600, dpi), window.MinTrackSize().cy);
    EXPECT_TRUE(TestSupport::ShowsEveryLine(window.Pane().Report().TextBox()));
    // The report wraps inside the window.
    RECT report, client;
    ::GetWindowRect(window.Pane().Report().TextBox(), &report);
    ::GetClientRect(window.Handle(), &client);
    ::MapWindowPoints(window.Handle(), nullptr, reinterpret_cast<POINT*>(&client), 2);
    EXPECT_LE(report.right, client.right);
    ExpectHeadingsFit(window.ListView());
}

TEST(ManagerScale, LaysOutForEachScale) {
    for (UINT dpi : {96u, 144u, 192u}) {
        EXPECT_EQ(0u, TestSupport::RunAtDpi(dpi, "ManagerScale.ChildLaysOutForItsScale")) << dpi;
    }
}

TEST(ManagerScale, ChildLaysOutForItsScale) {
    const UINT dpi = TestSupport::ChildDpi();
    if (dpi == 0) {
        GTEST_SKIP() << "run by LaysOutForEachScale";
    }
    Opened box({"contract.txt=the contract", "annexes/annex one.txt=first"});
    ASSERT_TRUE(WaitForFinalReport(*box.shown));
    Dossiq::Manager::ManagerWindow& window = box.shown->window;
    ASSERT_EQ(dpi, window.Dpi());
    RECT frame;
    ::GetWindowRect(window.Handle(), &frame);
    EXPECT_EQ(Scaled(555, dpi), frame.right - frame.left);
    EXPECT_EQ(Scaled(600, dpi), frame.bottom - frame.top);
    ExpectLaidOutFor(window, dpi);
    SaveScreenshot(window.Handle(), L"manager_" + std::to_wstring(dpi) + L"dpi");
}

TEST(ManagerScale, MovedToAnotherScaleLaysOutAgain) {
    Opened box({"contract.txt=the contract"});
    ASSERT_TRUE(WaitForFinalReport(*box.shown));
    Dossiq::Manager::ManagerWindow& window = box.shown->window;
    RECT suggested = {20, 20, 20 + Scaled(555, 192), 20 + Scaled(600, 192)};
    ::SendMessageW(window.Handle(), WM_DPICHANGED, MAKEWPARAM(192, 192),
                   reinterpret_cast<LPARAM>(&suggested));
    Pump(200);
    EXPECT_EQ(192u, window.Dpi());
    RECT frame;
    ::GetWindowRect(window.Handle(), &frame);
    EXPECT_EQ(suggested.right - suggested.left, frame.right - frame.left);
    ExpectLaidOutFor(window, 192);
    // The commands keep their states on the new toolbar.
    EXPECT_FALSE(::SendMessageW(window.ToolbarWindow(), TB_ISBUTTONENABLED, ID_ACTION_EXTRACT, 0));
    EXPECT_TRUE(
        ::SendMessageW(window.ToolbarWindow(), TB_ISBUTTONENABLED, ID_ACTION_EXTRACT_ALL, 0));
    SaveScreenshot(window.Handle(), L"manager_moved_to_192dpi");
}

// A key pressed in `target` as the manager's message loop sees it.
void Press(ShownWindow& shown, HWND target, UINT key, bool control = false, bool shift = false) {
    BYTE keys[256] = {};
    keys[VK_CONTROL] = control ? 0x80 : 0;
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    ::SetKeyboardState(keys);
    MSG message = {};
    message.hwnd = target;
    message.message = WM_KEYDOWN;
    message.wParam = key;
    message.lParam = 1;
    if (!static_cast<Dossiq::Manager::MessageFilter&>(shown.window).PreTranslateMessage(message)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    BYTE none[256] = {};
    ::SetKeyboardState(none);
    Pump(50);
}

// Whether `action` shows a pop-up menu (closed again at once).
bool ShowsMenu(const std::function<void()>& action) {
    static std::atomic<bool> seen;
    seen = false;
    HANDLE watcher = ::CreateThread(
        nullptr, 0,
        [](void*) -> DWORD {
            for (int tries = 0; tries < 200; ++tries) {
                const HWND popup = ::FindWindowW(L"#32768", nullptr);
                if (popup && ::IsWindowVisible(popup)) {
                    seen = true;
                    ::PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 0);
                    return 0;
                }
                ::Sleep(25);
            }
            return 0;
        },
        nullptr, 0, nullptr);
    action();
    ::WaitForSingleObject(watcher, 10000);
    ::CloseHandle(watcher);
    return seen;
}

TEST(ManagerKeyboard, EveryListCommandAndTheTabOrderByKeys) {
    Opened box({"one.dqkey=first", "two.dqkey=second"});
    ASSERT_TRUE(WaitForFinalReport(*box.shown));
    ShownWindow& shown = *box.shown;
    const HWND list = shown.window.ListView();
    ::SetFocus(shown.Handle()); // the window hands its focus to the list
    EXPECT_EQ(list, ::GetFocus());

    // Ctrl+A selects every entry: View, for one entry, steps aside.
    Press(shown, list, 'A', true);
    EXPECT_EQ(2, ::SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0));
    EXPECT_FALSE(shown.window.Commands().IsEnabled(ID_ACTION_VIEW));
    EXPECT_TRUE(shown.window.Commands().IsEnabled(ID_ACTION_EXTRACT));
    EXPECT_TRUE(shown.window.Commands().IsEnabled(ID_ACTION_EXTRACT_ALL));

    // Shift+F10 and the context-menu key open the list's menu.
    EXPECT_TRUE(ShowsMenu([&] { Press(shown, list, VK_F10, false, true); }));
    EXPECT_TRUE(ShowsMenu([&] { Press(shown, list, VK_APPS); }));

    // Enter views the selected entry (the copy is made before its program is asked for).
    box.Select(1);
    DialogWatcher boxes({L"*"},
                        [](HWND dialog) { ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
    Press(shown, list, VK_RETURN);
    EXPECT_EQ("second",
              TestSupport::ReadFileBytes(shown.window.Copies().Root() + L"\\1\\two.dqkey"));

    // Ctrl+O asks for a container.
    const size_t before = boxes.Seen().size();
    Press(shown, list, 'O', true);
    ASSERT_EQ(before + 1, boxes.Seen().size());

    // Tab: list, picture, report, (details when shown), back to the list; Shift+Tab backwards.
    std::vector<HWND> order = {list, shown.window.Pane().Report().Picture().Handle(),
                               shown.window.Pane().Report().TextBox()};
    if (::IsWindowVisible(shown.window.Pane().DetailsBox())) {
        order.push_back(shown.window.Pane().DetailsBox());
    }
    ::SetFocus(list);
    for (size_t i = 1; i <= order.size(); ++i) {
        Press(shown, ::GetFocus(), VK_TAB);
        EXPECT_EQ(order[i % order.size()], ::GetFocus()) << i;
        if (::GetFocus() == shown.window.Pane().Report().TextBox()) {
            SaveScreenshot(shown.Handle(), L"manager_report_focused");
        }
    }
    Press(shown, ::GetFocus(), VK_TAB, false, true);
    EXPECT_EQ(order.back(), ::GetFocus());
}

std::wstring Name(IAccessible& object, LONG child = CHILDID_SELF) {
    VARIANT id = {};
    id.vt = VT_I4;
    id.lVal = child;
    BSTR name = nullptr;
    if (FAILED(object.get_accName(id, &name)) || !name) {
        return {};
    }
    std::wstring text(name);
    ::SysFreeString(name);
    return text;
}

LONG Role(IAccessible& object, LONG child = CHILDID_SELF) {
    VARIANT id = {}, role = {};
    id.vt = VT_I4;
    id.lVal = child;
    return SUCCEEDED(object.get_accRole(id, &role)) && role.vt == VT_I4 ? role.lVal : 0;
}

MHFX::ComPtr<IAccessible> Accessible(HWND window) {
    MHFX::ComPtr<IAccessible> object;
    ::AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                 object.put_void());
    return object;
}

TEST(ManagerAccessibility, ControlsAnswerTheirNamesInTheUsersLanguage) {
    const struct {
        WORD language;
        const wchar_t* verdict;
        const wchar_t* list;
        const wchar_t* report;
        const wchar_t* openButton;
        const wchar_t* firstLine;
    } cases[] = {
        {LanguageEnglish, L"Signature valid, certificate qualified", L"Files in the document",
         L"Signature report", L"Open", L"- Document has not been tampered"},
        {LanguageSerbianCyrillic, L"Потпис је исправан, сертификат је квалификован",
         L"Датотеке у документу", L"Извештај о потпису", L"Отвори",
         L"- Документ није неовлашћено мењан"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        TestSupport::LanguageScope language(c.language);
        Opened box({"contract.txt=the contract"});
        ASSERT_TRUE(WaitForFinalReport(*box.shown));
        Dossiq::Manager::ManagerWindow& window = box.shown->window;

        auto picture = Accessible(window.Pane().Report().Picture().Handle());
        ASSERT_TRUE(picture);
        EXPECT_EQ(c.verdict, Name(*picture.get()));
        EXPECT_EQ(ROLE_SYSTEM_PUSHBUTTON, Role(*picture.get()));

        auto list = Accessible(window.ListView());
        ASSERT_TRUE(list);
        EXPECT_EQ(c.list, Name(*list.get()));

        auto report = Accessible(window.Pane().Report().TextBox());
        ASSERT_TRUE(report);
        EXPECT_EQ(c.report, Name(*report.get()));
        EXPECT_EQ(ROLE_SYSTEM_TEXT, Role(*report.get()));
        VARIANT self = {};
        self.vt = VT_I4;
        BSTR value = nullptr;
        ASSERT_EQ(S_OK, report->get_accValue(self, &value));
        EXPECT_EQ(0u, std::wstring(value).find(c.firstLine)) << TestSupport::Narrow(value);
        ::SysFreeString(value);

        auto details = Accessible(window.Pane().DetailsBox());
        ASSERT_TRUE(details);
        EXPECT_FALSE(Name(*details.get()).empty());
        EXPECT_EQ(ROLE_SYSTEM_TEXT, Role(*details.get()));

        // Toolbar child 1 is the leading separator, 2 the Open button.
        auto toolbar = Accessible(window.ToolbarWindow());
        ASSERT_TRUE(toolbar);
        long count = 0;
        toolbar->get_accChildCount(&count);
        EXPECT_EQ(13, count);
        EXPECT_EQ(c.openButton, Name(*toolbar.get(), 2));
        EXPECT_EQ(ROLE_SYSTEM_PUSHBUTTON, Role(*toolbar.get(), 2));
    }
}

} // namespace
