// Pictures of the About box in each language, taken from the screen (Xvfb under test) and
// saved as PNG files in the build folder for review. The "Document" page is pictured by the
// shell extension's tests, filled by the real handler.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "common/language_scope.h"
#include "common/screenshot.h"
#include "common/test_support.h"
#include "common/window_pump.h"
#include "config/localization.h"
#include "config/preferences.h"
#include "document/container/document_kind.h"
#include "foundation/handle.h"
#include "foundation/resource_string.h"
#include "resources/manager/resource.h"
#include "resources/shellext/resource.h"

using namespace Dossiq::Config;
using namespace Dossiq::Documents;

namespace {

// The dialog as the screen shows it, saved for review; a dialog that drew none of its
// controls shows one or two colours only.
void ShowAndSave(HWND window, const wchar_t* what, WORD language) {
    ::SetWindowPos(window, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    ::RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    TestSupport::Pump(400);
    const TestSupport::Picture picture = TestSupport::Capture(window);
    EXPECT_GT(TestSupport::DistinctColours(picture), 8u) << "nothing drawn";
    TestSupport::SavePng(picture, TestSupport::ScreenshotFolder() + L"\\" + what + L"_" +
                                      std::to_wstring(language) + L".png");
}

INT_PTR CALLBACK AboutProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

TEST(Screenshots, AboutBoxInEachLanguage) {
    ASSERT_NE(nullptr, ::LoadLibraryW(L"riched20.dll"));
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
    for (WORD language : {LanguageEnglish, LanguageSerbianLatin, LanguageSerbianCyrillic}) {
        SCOPED_TRACE(language);
        TestSupport::LanguageScope scope(language);

        const LocalizedResource about = FindLocalizedResource(RT_DIALOG, IDD_ABOUTBOX);
        ASSERT_TRUE(about);
        HWND box = ::CreateDialogIndirectParamW(
            MHFX::CurrentModule(), static_cast<LPCDLGTEMPLATEW>(about.data), nullptr, AboutProc, 0);
        ASSERT_NE(nullptr, box);
        ShowAndSave(box, L"about", language);
        ::DestroyWindow(box);
    }
}

} // namespace
