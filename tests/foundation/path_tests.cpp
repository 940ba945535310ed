// Path string operations and both normalizations, against real folders where the system's
// own answers matter (full paths, short names, the temporary folder).
#include <gtest/gtest.h>
#include <shlwapi.h>

#include "common/test_support.h"
#include "foundation/argument_exception.h"
#include "foundation/io/path.h"
#include "foundation/io/path_too_long_exception.h"
#include "foundation/win32_exception.h"

using MHFX::ArgumentException;
using MHFX::Win32Exception;
using MHFX::IO::Path;
using MHFX::IO::PathTooLongException;

namespace {

const wchar_t kIllegal[] = L"Illegal characters in path.";
const wchar_t kNotLegal[] = L"The path is not of a legal form.";
const wchar_t kGlobalRoot[] =
    L"Paths that begin with \\\\?\\GlobalRoot are internal to the kernel and should not be opened.";

// The message of the ArgumentException that `call` throws; "" when none.
template <typename F> std::wstring ArgumentMessage(F call) {
    try {
        call();
    } catch (const ArgumentException& e) {
        EXPECT_EQ(e.ParamName(), L"");
        return e.Message();
    }
    return L"";
}

std::wstring CurrentDirectory() {
    wchar_t buffer[MAX_PATH];
    const DWORD length = ::GetCurrentDirectoryW(MAX_PATH, buffer);
    return std::wstring(buffer, length);
}

// "C:\" followed by a folder name that makes the folder part `folderLength` long, and a file
// name that brings the whole to `totalLength`.
std::wstring LongPath(std::size_t folderLength, std::size_t totalLength) {
    std::wstring path = L"C:\\" + std::wstring(folderLength - 3, L'd');
    path += L'\\';
    path += std::wstring(totalLength - path.size(), L'f');
    return path;
}

} // namespace

TEST(Path, InvalidCharacters) {
    for (const wchar_t* bad : {L"a\"b", L"a<b", L"a>b", L"a|b", L"a\x01b", L"a\tb", L"\x1f"}) {
        SCOPED_TRACE(testing::Message() << TestSupport::Narrow(bad));
        EXPECT_EQ(ArgumentMessage([&] { Path::CheckInvalidPathChars(bad); }), kIllegal);
        EXPECT_EQ(ArgumentMessage([&] { Path::Combine(bad, L"x"); }), kIllegal);
        EXPECT_EQ(ArgumentMessage([&] { Path::Combine(L"x", bad); }), kIllegal);
        EXPECT_EQ(ArgumentMessage([&] { Path::GetDirectoryName(bad); }), kIllegal);
        EXPECT_EQ(ArgumentMessage([&] { Path::GetFullPath(bad); }), kIllegal);
    }
    // Wildcards, colons and spaces are not this check's business.
    EXPECT_NO_THROW(Path::CheckInvalidPathChars(L"C:\\a b\\*.t?t:x ~"));
    EXPECT_NO_THROW(Path::CheckInvalidPathChars(L""));
}

TEST(Path, Combine) {
    struct Case {
        const wchar_t* path1;
        const wchar_t* path2;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\a", L"b", L"C:\\a\\b"}, {L"C:\\a\\", L"b", L"C:\\a\\b"},
        {L"C:\\a", L"\\b", L"\\b"},    {L"C:\\a", L"/b", L"/b"},
        {L"C:\\a", L"D:b", L"D:b"},    {L"C:\\a/", L"b", L"C:\\a/b"},
        {L"C:", L"b", L"C:b"},         {L"C:\\a", L"", L"C:\\a"},
        {L"", L"b\\c", L"b\\c"},       {L"", L"", L""},
        {L"a", L"b.txt", L"a\\b.txt"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Path::Combine(c.path1, c.path2), c.expected)
            << TestSupport::Narrow(c.path1) << " + " << TestSupport::Narrow(c.path2);
    }
}

TEST(Path, RootLength) {
    struct Case {
        const wchar_t* path;
        std::size_t expected;
    } cases[] = {
        {L"", 0},
        {L"a\\b", 0},
        {L"\\a\\b", 1},
        {L"/a", 1},
        {L"C:", 2},
        {L"C:a", 2},
        {L"C:\\", 3},
        {L"C:/a/b", 3},
        {L"\\\\srv\\share\\x\\y", 12},
        {L"//srv/share/x", 12},
        {L"\\\\srv\\share", 11},
        {L"\\\\srv", 5},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Path::GetRootLength(c.path), c.expected) << TestSupport::Narrow(c.path);
    }
}

TEST(Path, DirectoryName) {
    struct Case {
        const wchar_t* path;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\a\\b.txt", L"C:\\a"},
        {L"C:\\b.txt", L"C:\\"},
        {L"C:\\", L""},
        {L"C:", L""},
        {L"", L""},
        {L"C:/a/b/c.txt", L"C:\\a\\b"},
        {L"C:\\a\\\\b.txt", L"C:\\a"},
        {L"C:\\a\\b\\", L"C:\\a\\b"},
        {L"\\\\srv\\share\\f.txt", L"\\\\srv\\share\\"},
        // A relative path stays relative and unresolved.
        {L"a\\..\\b\\c.txt", L"a\\..\\b"},
        {L"dir/c.txt", L"dir"},
        {L"c.txt", L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Path::GetDirectoryName(c.path), c.expected) << TestSupport::Narrow(c.path);
    }
    EXPECT_EQ(ArgumentMessage([] { Path::GetDirectoryName(L"C:\\a:b\\c"); }), kNotLegal);
    EXPECT_EQ(ArgumentMessage([] { Path::GetDirectoryName(L"http://host/x"); }), kNotLegal);
}

TEST(Path, FileNameAndExtension) {
    struct Case {
        const wchar_t* path;
        const wchar_t* fileName;
        const wchar_t* extension;
    } cases[] = {
        {L"C:\\a\\b.txt", L"b.txt", L".txt"},
        {L"C:/a/b.tar.gz", L"b.tar.gz", L".gz"},
        {L"a.", L"a.", L""},
        {L"a.b\\c", L"c", L""},
        {L"a.b/c", L"c", L""},
        {L"C:x.snx", L"x.snx", L".snx"},
        {L"C:\\a\\", L"", L""},
        {L"name", L"name", L""},
        {L".hidden", L".hidden", L".hidden"},
        {L"", L"", L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Path::GetFileName(c.path), c.fileName) << TestSupport::Narrow(c.path);
        EXPECT_EQ(Path::GetExtension(c.path), c.extension) << TestSupport::Narrow(c.path);
    }
}

TEST(Path, FullPathResolvesAndRewrites) {
    EXPECT_EQ(Path::GetFullPath(L"C:\\a\\.\\b\\..\\c.txt"), L"C:\\a\\c.txt");
    EXPECT_EQ(Path::GetFullPath(L"C:/a//b/../../c"), L"C:\\c");
    EXPECT_EQ(Path::GetFullPath(L"  C:\\a\\b \t"), L"C:\\a\\b");
    EXPECT_EQ(Path::GetFullPath(L"x.txt"), Path::Combine(CurrentDirectory(), L"x.txt"));
    EXPECT_EQ(Path::GetFullPath(L".\\y\\..\\x.txt"), Path::Combine(CurrentDirectory(), L"x.txt"));
    EXPECT_EQ(Path::GetFullPath(L"\\\\srv\\share\\a\\..\\b"), L"\\\\srv\\share\\b");
}

TEST(Path, FullPathIllegalForms) {
    for (const wchar_t* bad : {L"http://host/x", L"HTTP:x", L"file:///C:/x", L"File:x", L"C:\\a:b",
                               L"C::\\a", L"1:\\a", L"ab:", L"\\\\srv", L"\\\\srv\\", L"//srv/"}) {
        EXPECT_EQ(ArgumentMessage([&] { Path::GetFullPath(bad); }), kNotLegal)
            << TestSupport::Narrow(bad);
    }
    for (const wchar_t* bad : {L"\\\\?\\GLOBALROOT\\Device\\Harddisk0", L"\\\\?\\globalroot",
                               L"\\\\?\\GlobalRoot\\x", L"//?/gLoBaLrOoT/x"}) {
        EXPECT_EQ(ArgumentMessage([&] { Path::GetFullPath(bad); }), kGlobalRoot)
            << TestSupport::Narrow(bad);
    }
    // A device path's drive colon is where it belongs.
    EXPECT_EQ(Path::GetFullPath(L"\\\\?\\C:\\a"), L"\\\\?\\C:\\a");
}

TEST(Path, FullPathOfNothingIsASystemError) {
    for (const wchar_t* blank : {L"", L" \t "}) {
        try {
            Path::GetFullPath(blank);
            ADD_FAILURE() << "no exception";
        } catch (const Win32Exception& e) {
            EXPECT_EQ(e.ErrorCode(), static_cast<DWORD>(ERROR_INVALID_NAME));
        }
    }
}

TEST(Path, LengthLimits) {
    // 259 characters are a path, 260 are not; the same for the walk of GetDirectoryName.
    EXPECT_EQ(Path::GetFullPath(LongPath(100, 259)).size(), 259u);
    EXPECT_THROW(Path::GetFullPath(LongPath(100, 260)), PathTooLongException);
    EXPECT_THROW(Path::GetFullPath(LongPath(100, 400)), PathTooLongException);
    EXPECT_EQ(Path::GetDirectoryName(LongPath(100, 259)).size(), 100u);
    EXPECT_THROW(Path::GetDirectoryName(LongPath(100, 260)), PathTooLongException);
    // Relative input that only gets too long once the current folder is put in front.
    const std::wstring relative(260 - CurrentDirectory().size(), L'r');
    EXPECT_THROW(Path::GetFullPath(relative), PathTooLongException);

    // The folder part must stay below 248.
    EXPECT_EQ(Path::GetFullPath(LongPath(247, 250)).size(), 250u);
    EXPECT_THROW(Path::GetFullPath(LongPath(248, 250)), PathTooLongException);
    EXPECT_THROW(Path::GetDirectoryName(LongPath(248, 250)), PathTooLongException);
    EXPECT_THROW(Path::GetFullPath(LongPath(247, 250) + L"\\"), PathTooLongException);
}

TEST(Path, FullPathExpandsShortNames) {
    const std::wstring dir = TestSupport::MakeTempDir(L"short");
    const std::wstring longName = Path::GetFullPath(dir + L"\\a rather long file name.text");
    TestSupport::WriteFileBytes(longName, "x");
    wchar_t shortName[MAX_PATH];
    const DWORD length = ::GetShortPathNameW(longName.c_str(), shortName, MAX_PATH);
    ASSERT_GT(length, 0u);
    ASSERT_NE(std::wstring(shortName).find(L'~'), std::wstring::npos);
    EXPECT_EQ(Path::GetFullPath(shortName), longName);
    // A short-looking name that does not exist is kept as written.
    EXPECT_EQ(Path::GetFullPath(dir + L"\\NOSUCH~1.TXT"),
              Path::GetFullPath(dir) + L"\\NOSUCH~1.TXT");
}

TEST(Path, TempPath) {
    wchar_t expected[MAX_PATH];
    ASSERT_GT(::GetTempPathW(MAX_PATH, expected), 0u);
    const std::wstring temp = Path::GetTempPath();
    EXPECT_EQ(temp, Path::GetFullPath(expected));
    EXPECT_EQ(temp.back(), L'\\');
    EXPECT_TRUE(::PathIsDirectoryW(temp.c_str()));
}

TEST(Path, ItemName) {
    const std::wstring dir = TestSupport::MakeTempDir(L"item");
    const std::wstring folder = dir + L"\\My Folder.v2";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    TestSupport::WriteFileBytes(folder + L"\\doc.txt", "x");
    EXPECT_EQ(Path::GetItemName(folder), L"My Folder.v2");
    EXPECT_EQ(Path::GetItemName(folder + L"\\"), L"My Folder.v2");
    EXPECT_EQ(Path::GetItemName(folder + L"/"), L"My Folder.v2");
    EXPECT_EQ(Path::GetItemName(folder + L"\\doc.txt"), L"doc.txt");
    EXPECT_EQ(Path::GetItemName(folder + L"\\missing\\"), L"");
    EXPECT_EQ(Path::GetItemName(L"C:\\"), L"");
    EXPECT_EQ(Path::GetItemName(L""), L"");
}

TEST(Path, RelativePath) {
    EXPECT_EQ(Path::GetRelativePath(L"C:\\root", L"C:\\root\\a.txt"), L".\\a.txt");
    EXPECT_EQ(Path::GetRelativePath(L"C:\\root", L"C:\\root\\sub\\b.txt"), L".\\sub\\b.txt");
    EXPECT_EQ(Path::GetRelativePath(L"C:\\root\\", L"C:\\root\\sub\\b.txt"), L".\\sub\\b.txt");
    EXPECT_EQ(Path::GetRelativePath(L"C:\\root\\\\", L"C:\\root\\b.txt"), L".\\b.txt");
    EXPECT_EQ(Path::GetRelativePath(L"C:/root/", L"C:/root/sub/b.txt"), L".\\sub\\b.txt");
    EXPECT_EQ(Path::GetRelativePath(L"C:\\", L"C:\\sub\\b.txt"), L".\\sub\\b.txt");
    EXPECT_EQ(Path::GetRelativePath(L"C:\\root", L"C:\\other\\c.txt"), L"..\\other\\c.txt");
    EXPECT_EQ(Path::GetRelativePath(L"C:\\root", L"C:\\rootx\\c.txt"), L"..\\rootx\\c.txt");
    try {
        Path::GetRelativePath(L"C:\\root", L"D:\\elsewhere\\c.txt");
        ADD_FAILURE() << "no common root";
    } catch (const Win32Exception& e) {
        EXPECT_NE(e.ErrorCode(), static_cast<DWORD>(ERROR_SUCCESS));
    }
    EXPECT_THROW(Path::GetRelativePath(L"C:\\root", LongPath(100, 260)), PathTooLongException);
    EXPECT_THROW(Path::GetRelativePath(LongPath(100, 260), L"C:\\a"), PathTooLongException);
}
