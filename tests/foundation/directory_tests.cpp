// The directory listing over a real tree.
#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>

#include "common/test_support.h"
#include "foundation/argument_exception.h"
#include "foundation/io/directory.h"
#include "foundation/io/path_too_long_exception.h"
#include "foundation/win32_exception.h"

using namespace MHFX;
using namespace MHFX::IO;

namespace {

using Entries = std::vector<std::wstring>;

Entries Sorted(Entries entries) {
    std::sort(entries.begin(), entries.end());
    return entries;
}

class DirectoryTest : public testing::Test {
protected:
    // root\a.txt, root\empty\, root\sub\b.txt, root\sub\deeper\c.txt
    void SetUp() override {
        root_ = TestSupport::MakeTempDir(L"dir");
        ASSERT_TRUE(::CreateDirectoryW((root_ + L"\\empty").c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW((root_ + L"\\sub").c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW((root_ + L"\\sub\\deeper").c_str(), nullptr));
        TestSupport::WriteFileBytes(root_ + L"\\a.txt", "a");
        TestSupport::WriteFileBytes(root_ + L"\\sub\\b.txt", "b");
        TestSupport::WriteFileBytes(root_ + L"\\sub\\deeper\\c.txt", "c");
    }

    std::wstring root_;
};

} // namespace

TEST_F(DirectoryTest, TopFolderOnly) {
    const Entries entries =
        Directory::GetFileSystemEntries(root_, L"*", SearchOption::TopDirectoryOnly);
    EXPECT_EQ(Sorted(entries), (Entries{root_ + L"\\a.txt", root_ + L"\\empty", root_ + L"\\sub"}));
}

TEST_F(DirectoryTest, WholeTreeFolderByFolder) {
    const Entries entries =
        Directory::GetFileSystemEntries(root_, L"*", SearchOption::AllDirectories);
    EXPECT_EQ(Sorted(entries), (Entries{root_ + L"\\a.txt", root_ + L"\\empty", root_ + L"\\sub",
                                        root_ + L"\\sub\\b.txt", root_ + L"\\sub\\deeper",
                                        root_ + L"\\sub\\deeper\\c.txt"}));
    // A folder's entries all come before those of the folders found in it.
    auto at = [&](const std::wstring& name) {
        return std::find(entries.begin(), entries.end(), root_ + name) - entries.begin();
    };
    EXPECT_LT(std::max({at(L"\\a.txt"), at(L"\\empty"), at(L"\\sub")}),
              std::min(at(L"\\sub\\b.txt"), at(L"\\sub\\deeper")));
    EXPECT_LT(at(L"\\sub\\deeper"), at(L"\\sub\\deeper\\c.txt"));
}

TEST_F(DirectoryTest, CallersSpellingIsKept) {
    // The results start with the path as given; the listing itself uses the full path.
    std::wstring slashed = root_ + L"/sub/";
    EXPECT_EQ(Sorted(Directory::GetFileSystemEntries(slashed, L"*", SearchOption::AllDirectories)),
              (Entries{slashed + L"b.txt", slashed + L"deeper", slashed + L"deeper\\c.txt"}));
    EXPECT_EQ(Directory::GetFileSystemEntries(root_ + L"\\sub\\..\\sub\\deeper", L"*",
                                              SearchOption::TopDirectoryOnly),
              (Entries{root_ + L"\\sub\\..\\sub\\deeper\\c.txt"}));
}

TEST_F(DirectoryTest, EmptyResults) {
    EXPECT_TRUE(
        Directory::GetFileSystemEntries(root_ + L"\\empty", L"*", SearchOption::AllDirectories)
            .empty());
    EXPECT_TRUE(Directory::GetFileSystemEntries(L"", L"*", SearchOption::AllDirectories).empty());
    // No match for the pattern is an empty folder, not an error.
    EXPECT_TRUE(
        Directory::GetFileSystemEntries(root_, L"*.none", SearchOption::TopDirectoryOnly).empty());
    EXPECT_EQ(Directory::GetFileSystemEntries(root_, L"a.*", SearchOption::TopDirectoryOnly),
              (Entries{root_ + L"\\a.txt"}));
}

TEST_F(DirectoryTest, MissingFolderIsASystemErrorAndModeComesBack) {
    const UINT before = ::SetErrorMode(SEM_NOGPFAULTERRORBOX);
    try {
        Directory::GetFileSystemEntries(root_ + L"\\nothing", L"*", SearchOption::AllDirectories);
        ADD_FAILURE() << "no exception";
    } catch (const Win32Exception& e) {
        EXPECT_EQ(e.ErrorCode(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    }
    EXPECT_EQ(::SetErrorMode(SEM_NOGPFAULTERRORBOX), static_cast<UINT>(SEM_NOGPFAULTERRORBOX));
    Directory::GetFileSystemEntries(root_, L"*", SearchOption::AllDirectories);
    EXPECT_EQ(::SetErrorMode(before), static_cast<UINT>(SEM_NOGPFAULTERRORBOX));
}

// Handle values are handed out lowest first, so a leaked handle shifts the next one.
HANDLE NextHandleValue() {
    const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ::CloseHandle(event);
    return event;
}

TEST_F(DirectoryTest, SearchHandlesAreClosed) {
    // The first listing may leave the system's own caches open.
    Directory::GetFileSystemEntries(root_, L"*", SearchOption::AllDirectories);
    const HANDLE before = NextHandleValue();
    Directory::GetFileSystemEntries(root_, L"*", SearchOption::AllDirectories);
    EXPECT_THROW(
        Directory::GetFileSystemEntries(root_ + L"\\a.txt", L"*", SearchOption::AllDirectories),
        Win32Exception);
    EXPECT_EQ(NextHandleValue(), before);

    // A folder whose full path is too long stops the listing while the search is open.
    const std::wstring longName(260 - root_.size(), L'n');
    ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + root_ + L"\\" + longName).c_str(), nullptr));
    const UINT mode = ::SetErrorMode(SEM_NOGPFAULTERRORBOX);
    EXPECT_THROW(Directory::GetFileSystemEntries(root_, L"*", SearchOption::AllDirectories),
                 PathTooLongException);
    EXPECT_EQ(::SetErrorMode(mode), static_cast<UINT>(SEM_NOGPFAULTERRORBOX));
    EXPECT_EQ(NextHandleValue(), before);
    // Listed, not entered, it is just a name.
    EXPECT_EQ(Directory::GetFileSystemEntries(root_, L"n*", SearchOption::TopDirectoryOnly),
              (Entries{root_ + L"\\" + longName}));
    EXPECT_TRUE(::RemoveDirectoryW((L"\\\\?\\" + root_ + L"\\" + longName).c_str()));
}

TEST_F(DirectoryTest, PatternsThatClimbAreRefused) {
    const std::wstring message =
        L"Search pattern cannot contain \"..\" to move up directories and can be contained only "
        L"internally in file/directory names, as in \"a..b\".";
    for (const wchar_t* pattern : {L"..", L"..\\*", L"../*", L"*..", L"a\\..\\*", L"x..\\y"}) {
        try {
            Directory::GetFileSystemEntries(root_, pattern, SearchOption::TopDirectoryOnly);
            ADD_FAILURE() << TestSupport::Narrow(pattern);
        } catch (const ArgumentException& e) {
            EXPECT_EQ(e.Message(), message) << TestSupport::Narrow(pattern);
        }
    }
    // Also with no folder to list: the pattern is checked first.
    EXPECT_THROW(Directory::GetFileSystemEntries(L"", L"..", SearchOption::TopDirectoryOnly),
                 ArgumentException);
    EXPECT_TRUE(
        Directory::GetFileSystemEntries(root_, L"a..b", SearchOption::TopDirectoryOnly).empty());
    EXPECT_TRUE(
        Directory::GetFileSystemEntries(root_, L"*..txt", SearchOption::TopDirectoryOnly).empty());
}

TEST_F(DirectoryTest, OptionOutOfRange) {
    for (int option : {2, -1}) {
        try {
            Directory::GetFileSystemEntries(root_, L"*", static_cast<SearchOption>(option));
            ADD_FAILURE() << option;
        } catch (const ArgumentException& e) {
            EXPECT_EQ(e.ParamName(), L"searchOption");
            EXPECT_EQ(e.Message(),
                      L"Enum value was out of legal range.\r\nParameter Name: searchOption");
        }
    }
}
