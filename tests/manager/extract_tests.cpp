// Extract, Extract To, Extract All, Extract All To and View on a real container: files and
// folders written, the folder browser answered, error 502 for a destination that cannot be
// written and for a hostile entry name, and the read-only copy that View replaces.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include "common/test_support.h"
#include "config/localization.h"
#include "document/container/document.h"
#include "document/container/document_entries.h"
#include "foundation/resource_string.h"
#include "manager/manager_test_support.h"
#include "resources/manager/resource.h"

namespace {

using namespace ManagerTest;
using TestSupport::ReadFileBytes;

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int CountFiles(const std::wstring& folder) {
    int count = 0;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return 0;
    }
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        count += (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                     ? CountFiles(folder + L"\\" + name)
                     : 1;
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return count;
}

std::wstring ErrorText(const std::wstring& entry) {
    return MHFX::FormatString(LoadLocalizedString(IDS_EXTRACTION_FAILED), entry.c_str());
}

// A container in a folder of its own, opened in a window and listed.
struct Opened {
    explicit Opened(const std::vector<std::string>& entries, const wchar_t* name = L"box.snx")
        : folder(TestSupport::MakeTempDir(L"extract")), path(folder + L"\\" + name) {
        WriteSignedContainer(path, MakeArchive(entries), "qualified");
        shown = std::make_unique<ShownWindow>(path);
        EXPECT_TRUE(PumpUntil(
            [&] { return ::SendMessageW(shown->window.ListView(), LVM_GETITEMCOUNT, 0, 0) > 0; }));
    }
    void Command(UINT id) { ::SendMessageW(shown->Handle(), WM_COMMAND, id, 0); }
    void Select(int row) {
        SelectRow(shown->window.ListView(), row);
        Pump(20);
    }

    std::wstring folder;
    std::wstring path;
    std::unique_ptr<ShownWindow> shown;
};

const std::vector<std::string> kEntries = {"readme.txt=top", "docs/", "docs/a.txt=in docs",
                                           "docs/sub/b.txt=deeper"};

TEST(Extract, SelectedFileWithItsFoldersIntoTheContainersFolder) {
    Opened box(kEntries);
    // Nothing selected: nothing happens, not even when the command is sent anyway.
    box.Command(ID_ACTION_EXTRACT);
    EXPECT_EQ(1, CountFiles(box.folder));

    box.Select(1); // docs/a.txt
    DialogWatcher errors({L"Vantor Manager"});
    box.Command(ID_ACTION_EXTRACT);
    EXPECT_EQ("in docs", ReadFileBytes(box.folder + L"\\docs\\a.txt"));
    EXPECT_EQ(2, CountFiles(box.folder));
    EXPECT_TRUE(errors.Seen().empty());
}

TEST(Extract, ToChosenFolderWithoutTheEntrysFolders) {
    Opened box(kEntries);
    const std::wstring target = TestSupport::MakeTempDir(L"to");
    int asked = 0;
    box.shown->window.chooseFolder = [&](HWND owner) {
        ++asked;
        EXPECT_EQ(box.shown->Handle(), owner);
        return target;
    };
    box.Select(2); // docs/sub/b.txt
    box.Command(ID_ACTION_EXTRACT_TO);
    EXPECT_EQ(1, asked);
    EXPECT_EQ("deeper", ReadFileBytes(target + L"\\b.txt"));
    EXPECT_EQ(1, CountFiles(target));

    // Cancelling the browser writes nothing.
    box.shown->window.chooseFolder = [&](HWND) { return std::wstring(); };
    box.Select(0);
    box.Command(ID_ACTION_EXTRACT_TO);
    box.Command(ID_ACTION_EXTRACT_ALL_TO);
    EXPECT_EQ(1, CountFiles(target));
    EXPECT_EQ(1, CountFiles(box.folder));
}

TEST(Extract, TheSystemFolderBrowserIsAnswered) {
    Opened box(kEntries);
    const std::wstring target = TestSupport::MakeTempDir(L"browsed");
    DialogWatcher browser({L"Browse for Folder"}, [&](HWND dialog) {
        // The tree fills itself in the background: select again once it has settled.
        for (int i = 0; i < 3; ++i) {
            ::Sleep(400);
            ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE,
                           reinterpret_cast<LPARAM>(target.c_str()));
        }
        ::Sleep(400);
        ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    DialogWatcher errors({L"Vantor Manager"});
    box.Command(ID_ACTION_EXTRACT_ALL_TO);
    ASSERT_EQ(1u, browser.Seen().size());
    EXPECT_TRUE(errors.Seen().empty());
    EXPECT_EQ("top", ReadFileBytes(target + L"\\readme.txt"));
    EXPECT_EQ("deeper", ReadFileBytes(target + L"\\docs\\sub\\b.txt"));
}

TEST(Extract, AllIntoTheContainersFolderAndToAChosenOne) {
    Opened box(kEntries);
    DialogWatcher errors({L"Vantor Manager"});
    box.Command(ID_ACTION_EXTRACT_ALL);
    EXPECT_EQ("top", ReadFileBytes(box.folder + L"\\readme.txt"));
    EXPECT_EQ("in docs", ReadFileBytes(box.folder + L"\\docs\\a.txt"));
    EXPECT_EQ("deeper", ReadFileBytes(box.folder + L"\\docs\\sub\\b.txt"));
    EXPECT_EQ(4, CountFiles(box.folder));

    const std::wstring target = TestSupport::MakeTempDir(L"allto");
    box.shown->window.chooseFolder = [&](HWND) { return target; };
    box.Command(ID_ACTION_EXTRACT_ALL_TO);
    EXPECT_EQ("top", ReadFileBytes(target + L"\\readme.txt"));
    EXPECT_EQ("in docs", ReadFileBytes(target + L"\\docs\\a.txt"));
    EXPECT_EQ("deeper", ReadFileBytes(target + L"\\docs\\sub\\b.txt"));
    EXPECT_EQ(3, CountFiles(target));
    EXPECT_TRUE(errors.Seen().empty());
}

TEST(Extract, UnwritableDestinationGivesOneErrorAndStops) {
    Opened box(kEntries);
    // A file where the destination folder should be.
    const std::wstring blocker = box.folder + L"\\blocker";
    TestSupport::WriteFileBytes(blocker, "x");
    box.shown->window.chooseFolder = [&](HWND) { return blocker + L"\\out"; };
    DialogWatcher errors({L"Vantor Manager"});
    box.Command(ID_ACTION_EXTRACT_ALL_TO);
    Pump(300);
    const auto seen = errors.Seen();
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(ErrorText(L"readme.txt"), seen[0].text);
    EXPECT_EQ(2, CountFiles(box.folder));

    box.Select(0);
    box.Command(ID_ACTION_EXTRACT_TO);
    Pump(300);
    EXPECT_EQ(2u, errors.Seen().size());
    SaveScreenshot(box.shown->Handle(), L"extract_after_error");
}

TEST(Extract, HostileEntryNameWritesNothingOutside) {
    Opened box({"ok.txt=fine", "../evil.txt=escaped", "later.txt=never"});
    const std::wstring target = TestSupport::MakeTempDir(L"hostile");
    const std::wstring parent = target.substr(0, target.rfind(L'\\'));
    box.shown->window.chooseFolder = [&](HWND) { return target; };
    DialogWatcher errors({L"Vantor Manager"});
    box.Command(ID_ACTION_EXTRACT_ALL_TO);
    Pump(300);
    const auto seen = errors.Seen();
    ASSERT_EQ(1u, seen.size());
    EXPECT_NE(std::wstring::npos, seen[0].text.find(L"evil.txt")) << seen[0].text;
    EXPECT_EQ("fine", ReadFileBytes(target + L"\\ok.txt"));
    EXPECT_FALSE(Exists(target + L"\\later.txt"));
    EXPECT_FALSE(Exists(parent + L"\\evil.txt"));
    EXPECT_FALSE(Exists(box.folder + L"\\..\\evil.txt"));

    box.Select(1);
    box.Command(ID_ACTION_EXTRACT);
    Pump(300);
    EXPECT_EQ(2u, errors.Seen().size());
    EXPECT_FALSE(Exists(parent + L"\\evil.txt"));
    EXPECT_EQ(1, CountFiles(box.folder));
}

TEST(Extract, ViewTwiceReplacesTheReadOnlyCopy) {
    Opened box({"shown.dqview=the original"});
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring copy = std::wstring(temp) + L"shown.dqview";
    if (copy.find(L"\\\\") != std::wstring::npos) {
        copy.replace(copy.find(L"\\\\"), 2, L"\\");
    }
    ::SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(copy.c_str());

    // The shell opens the copy with the program registered for its type.
    const std::wstring opened = box.folder + L"\\opened.txt";
    HKEY key = nullptr;
    ::RegCreateKeyW(HKEY_CLASSES_ROOT, L".dqview", &key);
    ::RegSetValueW(key, nullptr, REG_SZ, L"DossiqTest.View", 0);
    ::RegCloseKey(key);
    const std::wstring command =
        L"C:\\windows\\system32\\cmd.exe /c copy \"%1\" \"" + opened + L"\"";
    ::RegCreateKeyW(HKEY_CLASSES_ROOT, L"DossiqTest.View\\shell\\open\\command", &key);
    ::RegSetValueW(key, nullptr, REG_SZ, command.c_str(), 0);
    ::RegCloseKey(key);

    DialogWatcher errors({L"Vantor Manager"});
    box.Command(ID_ACTION_VIEW); // nothing selected
    EXPECT_FALSE(Exists(copy));
    box.Select(0);
    box.Command(ID_ACTION_VIEW);
    EXPECT_EQ("the original", ReadFileBytes(copy));
    EXPECT_TRUE(::GetFileAttributesW(copy.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(PumpUntil([&] { return Exists(opened); }, 20000));

    // Someone changes the copy; viewing again brings back the archive's version.
    ::SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
    TestSupport::WriteFileBytes(copy, "changed");
    ::SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_READONLY);
    // Double click views as well.
    NMHDR click = {box.shown->window.ListView(), 0, static_cast<UINT>(NM_DBLCLK)};
    ::SendMessageW(box.shown->window.SplitterWindow().Handle(), WM_NOTIFY, 0,
                   reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ("the original", ReadFileBytes(copy));
    EXPECT_TRUE(::GetFileAttributesW(copy.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(errors.Seen().empty());

    ::SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(copy.c_str());
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, L"DossiqTest.View");
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, L".dqview");
}

TEST(Extract, ViewErrorsAreShownNotThrown) {
    Opened box({"locked.dqlock=data"});
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring copy = std::wstring(temp) + L"locked.dqlock";
    DialogWatcher errors({L"Vantor Manager"});
    box.Select(0);

    // A folder with the copy's name: the reader cannot write the copy (message 502).
    ::CreateDirectoryW(copy.c_str(), nullptr);
    box.Command(ID_ACTION_VIEW);
    Pump(300);
    ::RemoveDirectoryW(copy.c_str());
    ASSERT_EQ(1u, errors.Seen().size());
    EXPECT_EQ(ErrorText(L"locked.dqlock"), errors.Seen()[0].text);

    // A temporary folder that no path may name: View's own path handling raises, and the
    // error is shown in a message box instead of ending the program.
    wchar_t saved[MAX_PATH] = {};
    ::GetEnvironmentVariableW(L"TMP", saved, MAX_PATH);
    ::SetEnvironmentVariableW(L"TMP", L"C:\\bad|folder");
    box.Command(ID_ACTION_VIEW);
    Pump(300);
    ::SetEnvironmentVariableW(L"TMP", saved[0] ? saved : nullptr);
    const auto seen = errors.Seen();
    ASSERT_EQ(2u, seen.size());
    EXPECT_NE(ErrorText(L"locked.dqlock"), seen[1].text);
    EXPECT_FALSE(seen[1].text.empty());
    EXPECT_TRUE(::IsWindow(box.shown->Handle()));
}

TEST(Entries, IconsAndSizes) {
    const std::wstring folder = TestSupport::MakeTempDir(L"entries");
    const std::wstring path = folder + L"\\e.snx";
    WriteSignedContainer(
        path, MakeArchive({"noext=1", "a.unknownext=22", "d/", "d/big.txt=*1048576"}), "qualified");
    Document document(path);
    const auto entries = GetEntries(document);
    ASSERT_EQ(3u, entries.size());
    EXPECT_EQ(L"noext", entries[0].path);
    EXPECT_EQ(-1, entries[0].iconIndex);
    EXPECT_EQ(L"a.unknownext", entries[1].path);
    EXPECT_GE(entries[1].iconIndex, 0); // the system's generic icon
    EXPECT_EQ(L"d\\big.txt", entries[2].path);
    EXPECT_EQ(1048576u, entries[2].size);
    EXPECT_TRUE(document.IsOpened());

    ShownWindow shown(path);
    ASSERT_TRUE(PumpUntil(
        [&] { return ::SendMessageW(shown.window.ListView(), LVM_GETITEMCOUNT, 0, 0) == 3; }));
    const auto rows = ReadList(shown.window.ListView());
    EXPECT_EQ(I_IMAGENONE, rows[0].image);
    EXPECT_EQ(entries[1].iconIndex, rows[1].image);
    EXPECT_EQ(L"1048576", rows[2].size);
    EXPECT_EQ(L"d", rows[2].location);

    // A document that does not open has no entries and nothing to extract.
    Document broken(folder + L"\\missing.snx");
    EXPECT_TRUE(GetEntries(broken).empty());
    EXPECT_TRUE(broken.HasFailed());
    EXPECT_FALSE(ExtractAllEntries(broken, folder));
    EXPECT_FALSE(ExtractEntry(broken, L"noext", folder, true));
}

} // namespace
