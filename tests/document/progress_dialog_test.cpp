// The two progress dialogs, each running modally on its own thread, read back from their
// controls.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "config/localization.h"
#include "views/archive_progress_dialog.h"
#include "views/busy_dialog.h"
#include "ui/end_modal_message.h"
#include "resources/common/localized_ids.h"

using namespace Dossiq::Config;
using namespace Dossiq::Views;

namespace {

std::wstring Text(HWND window) {
    wchar_t buffer[512] = {};
    ::GetWindowTextW(window, buffer, 512);
    return buffer;
}

std::wstring ItemText(HWND dialog, int id) {
    return Text(::GetDlgItem(dialog, id));
}

} // namespace

TEST(ProgressDialogs, EndMessageIsTheRegisteredOne) {
    EXPECT_NE(0u, EndModalDialogMessage());
    EXPECT_EQ(::RegisterWindowMessageW(L"UWM_END_MODAL_DLG-{58BB4B53-D2D2-49a7-BB81-79F47E304987}"),
              EndModalDialogMessage());
}

TEST(ProgressDialogs, BusyDialogRunsOnItsOwnThreadUntilClosed) {
    BusyDialog dialog(IDS_SIGNING_TITLE, IDS_SIGNING_DESCRIPTION);
    EXPECT_EQ(nullptr, dialog.Window());
    dialog.Start();
    const HWND window = dialog.Window();
    ASSERT_NE(nullptr, window);
    // Start returns once the dialog is created; its modal loop shows it right after.
    for (int i = 0; i < 500 && !::IsWindowVisible(window); ++i) {
        ::Sleep(10);
    }
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_NE(::GetCurrentThreadId(), ::GetWindowThreadProcessId(window, nullptr));
    EXPECT_EQ(nullptr, ::GetWindow(window, GW_OWNER));
    EXPECT_FALSE(LoadLocalizedString(IDS_SIGNING_TITLE).empty());
    EXPECT_EQ(LoadLocalizedString(IDS_SIGNING_TITLE), Text(window));
    EXPECT_EQ(LoadLocalizedString(IDS_SIGNING_DESCRIPTION), ItemText(window, IDC_BUSY_TEXT));
    EXPECT_TRUE(::GetWindowLongW(::GetDlgItem(window, IDC_BUSY_BAR), GWL_STYLE) & PBS_MARQUEE);

    dialog.Close();
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(nullptr, dialog.Window());
    dialog.Close(); // a second close does nothing

    // Started again, and ended by its destructor.
    HWND again = nullptr;
    {
        BusyDialog second(IDS_PROTECTING_TITLE, IDS_PROTECTING_DESCRIPTION);
        second.Start();
        again = second.Window();
        ASSERT_NE(nullptr, again);
        EXPECT_EQ(LoadLocalizedString(IDS_PROTECTING_TITLE), Text(again));
    }
    EXPECT_FALSE(::IsWindow(again));
}

TEST(ProgressDialogs, ArchiveProgressShowsFileAndAmount) {
    ArchiveProgressDialog dialog(true);
    dialog.Start();
    const HWND window = dialog.Window();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(LoadLocalizedString(IDS_COMPRESSING), Text(window));
    const HWND bar = ::GetDlgItem(window, IDC_ARCHIVE_PROGRESS_BAR);

    dialog.Init(L"sub\\report.txt", L"C:\\Work\\sub\\report.txt");
    dialog.SetTotal(1000);
    EXPECT_EQ(1000, ::SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
    EXPECT_EQ(0, ::SendMessageW(bar, PBM_GETPOS, 0, 0));
    EXPECT_TRUE(dialog.RequestStep(300));
    EXPECT_TRUE(dialog.RequestStep(200));
    EXPECT_EQ(500, ::SendMessageW(bar, PBM_GETPOS, 0, 0));
    EXPECT_EQ(L"report.txt", ItemText(window, IDC_ARCHIVE_PROGRESS_TEXT));

    // A long name is shortened to the line's 59 characters; a total beyond the bar's
    // 32-bit range is scaled.
    const std::wstring longName = std::wstring(120, L'n') + L".txt";
    dialog.Init(longName, L"C:\\Work\\" + longName);
    dialog.SetTotal(6ull << 30);
    const LRESULT range = ::SendMessageW(bar, PBM_GETRANGE, FALSE, 0);
    EXPECT_GT(range, 0);
    EXPECT_TRUE(dialog.RequestStep(3ull << 30));
    EXPECT_NEAR(static_cast<double>(range) / 2, ::SendMessageW(bar, PBM_GETPOS, 0, 0), 2.0);
    const std::wstring shown = ItemText(window, IDC_ARCHIVE_PROGRESS_TEXT);
    EXPECT_LE(shown.size(), 59u);
    EXPECT_NE(std::wstring::npos, shown.find(L"..."));
    dialog.Close();
    EXPECT_FALSE(::IsWindow(window));

    ArchiveProgressDialog extracting(false);
    extracting.Start();
    ASSERT_NE(nullptr, extracting.Window());
    EXPECT_EQ(LoadLocalizedString(IDS_UNCOMPRESSING), Text(extracting.Window()));
}
