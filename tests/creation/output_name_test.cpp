// The output name of a creation command: the quick name beside the selection and the
// Save As dialog of the commands with options, driven on screen.
#include <gtest/gtest.h>

#include <windows.h>
#include <dlgs.h>

#include "common/test_support.h"
#include "creation/creation_test_util.h"
#include "document/creation/output_name.h"
#include "shell/save_as_dialog.h"

using namespace Dossiq::Documents;

using namespace CreationTest;

namespace {

struct QuickCase {
    std::vector<std::wstring> selection;
    std::wstring root;
    CreateMode mode;
    std::wstring expected;
};

} // namespace

TEST(QuickName, FromTheSelectionAndTheRootFolder) {
    const QuickCase cases[] = {
        {{L"C:\\Work\\report.final.docx"},
         L"C:\\Work",
         CreateMode::SignQuick,
         L"C:\\Work\\report.final.snx"},
        {{L"C:\\Work\\Makefile"}, L"C:\\Work", CreateMode::ProtectQuick, L"C:\\Work\\Makefile.pnx"},
        {{L"C:\\Work\\Reports\\a.txt", L"C:\\Work\\Reports\\b"},
         L"C:\\Work\\Reports",
         CreateMode::SignQuick,
         L"C:\\Work\\Reports\\Reports.snx"},
        {{L"C:\\Work\\Reports\\a.txt", L"C:\\Work\\Reports\\b"},
         L"C:\\Work\\Reports",
         CreateMode::EncryptQuick,
         L"C:\\Work\\Reports\\Reports.enx"},
        // A folder alone loses what follows its last dot, like a file.
        {{L"C:\\Work\\v1.2"}, L"C:\\Work", CreateMode::SignQuick, L"C:\\Work\\v1.snx"},
        {{L"C:\\Work\\Folder\\"}, L"C:\\Work", CreateMode::SignQuick, L"C:\\Work\\Folder.snx"},
        // Drive roots: no name at all, and no doubled separator.
        {{L"D:\\a.txt", L"D:\\b.txt"}, L"D:\\", CreateMode::SignQuick, L"D:\\.snx"},
        {{L"D:\\a.txt", L"D:\\b.txt"}, L"D:", CreateMode::ProtectQuick, L"D:.pnx"},
        {{L"D:/x/a.txt", L"D:/x/b.txt"}, L"D:/x/", CreateMode::SignQuick, L"D:/x/x.snx"},
        {{L"\\\\server\\share\\dir\\.profile"},
         L"\\\\server\\share\\dir",
         CreateMode::SignQuick,
         L"\\\\server\\share\\dir\\.snx"},
        {{L"C:\\Work\\a.txt"}, L"C:\\Work", static_cast<CreateMode>(7), L""},
        {{L"C:\\Work\\a.txt"}, L"C:\\Work", static_cast<CreateMode>(0), L""},
    };
    for (const QuickCase& c : cases) {
        EXPECT_EQ(OutputName::QuickPath(c.selection, c.root, c.mode), c.expected)
            << TestSupport::Narrow(c.selection.front());
    }
    EXPECT_EQ(OutputName::BaseName({L"C:\\budget.xlsx"}, L"C:\\"), L"budget");
    EXPECT_EQ(OutputName::BaseName({L"C:\\a", L"C:\\b", L"C:\\c"}, L"C:\\Projects"), L"Projects");
}

namespace {

struct SaveAsRun {
    std::vector<std::wstring> filters;
    std::wstring result;
};

// Shows the dialog for `mode` on its own thread; types `name` (when not empty) and
// confirms, or cancels.
SaveAsRun RunSaveAs(CreateMode mode, const std::wstring& folder, const std::wstring& name,
                    const std::string& screenshot) {
    SaveAsRun run;
    RunBeside([&] { run.result = Dossiq::Shell::SaveAsDialog::Ask(mode, nullptr); },
              [&] {
                  HWND dialog = WaitForWindow(L"Save As");
                  ASSERT_NE(dialog, nullptr);
                  HWND types = ChildById(dialog, cmb1);
                  ASSERT_NE(types, nullptr);
                  const int count = static_cast<int>(::SendMessageW(types, CB_GETCOUNT, 0, 0));
                  for (int i = 0; i < count; ++i) {
                      wchar_t text[256] = {};
                      ::SendMessageW(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
                      run.filters.emplace_back(text);
                  }
                  HWND edit = ChildById(dialog, edt1);
                  if (edit == nullptr) {
                      edit = ChildByClass(ChildById(dialog, cmb13), L"Edit");
                  }
                  ASSERT_NE(edit, nullptr);
                  EXPECT_EQ(WindowText(edit), L"");
                  if (!screenshot.empty()) {
                      Screenshot(dialog, screenshot);
                  }
                  if (name.empty()) {
                      PressButton(dialog, IDCANCEL);
                  } else {
                      ::SendMessageW(edit, WM_SETTEXT, 0,
                                     reinterpret_cast<LPARAM>((folder + L"\\" + name).c_str()));
                      PressButton(dialog, IDOK);
                  }
                  EXPECT_TRUE(WaitUntilGone(dialog));
              });
    return run;
}

} // namespace

TEST(SaveAsName, OneFilterOfTheKindAndItsExtensionAdded) {
    const std::wstring folder = TestSupport::MakeTempDir(L"saveas");
    const SaveAsRun signedRun = RunSaveAs(CreateMode::Sign, folder, L"contract", "save_as_signed");
    EXPECT_EQ(signedRun.filters, std::vector<std::wstring>{L"Signed Document (*.snx)"});
    EXPECT_EQ(signedRun.result, folder + L"\\contract.snx");

    const SaveAsRun protectedRun = RunSaveAs(CreateMode::Protect, folder, L"offer", "");
    EXPECT_EQ(protectedRun.filters, std::vector<std::wstring>{L"Protected Document (*.pnx)"});
    EXPECT_EQ(protectedRun.result, folder + L"\\offer.pnx");

    const SaveAsRun encryptedRun = RunSaveAs(CreateMode::Encrypt, folder, L"notes.enx", "");
    EXPECT_EQ(encryptedRun.filters, std::vector<std::wstring>{L"Encrypted Document (*.enx)"});
    EXPECT_EQ(encryptedRun.result, folder + L"\\notes.enx");
}

TEST(SaveAsName, CancellingGivesNoName) {
    const std::wstring folder = TestSupport::MakeTempDir(L"saveas");
    EXPECT_EQ(RunSaveAs(CreateMode::Sign, folder, L"", "").result, L"");
}
