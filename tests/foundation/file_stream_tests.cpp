// File queries and the file stream against real files in a scratch folder.
#include <gtest/gtest.h>

#include "common/test_support.h"
#include "foundation/argument_exception.h"
#include "foundation/argument_out_of_range_exception.h"
#include "foundation/io/file.h"
#include "foundation/io/file_stream.h"
#include "foundation/io/path.h"
#include "foundation/win32_exception.h"

using namespace MHFX;
using namespace MHFX::IO;

namespace {

class FileStreamTest : public testing::Test {
protected:
    void SetUp() override { dir_ = TestSupport::MakeTempDir(L"fs"); }

    std::wstring Existing(const std::string& content = "hello") {
        const std::wstring path = dir_ + L"\\existing" + std::to_wstring(++count_) + L".bin";
        TestSupport::WriteFileBytes(path, content);
        return path;
    }
    std::wstring Missing() { return dir_ + L"\\missing" + std::to_wstring(++count_) + L".bin"; }

    std::wstring dir_;
    int count_ = 0;
};

ByteArray Bytes(std::string& text) {
    return {reinterpret_cast<BYTE*>(text.data()), static_cast<DWORD>(text.size())};
}

// The system error of a Win32Exception thrown by `call`; 0 when none.
template <typename F> DWORD Win32Error(F call) {
    try {
        call();
    } catch (const Win32Exception& e) {
        EXPECT_EQ(e.Message(), Win32Exception(e.ErrorCode()).Message());
        return e.ErrorCode();
    }
    return 0;
}

const DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;

} // namespace

TEST_F(FileStreamTest, BlankPathIsAnArgumentError) {
    for (const wchar_t* blank : {L"   ", L"", L"\t\r\n"}) {
        try {
            FileStream stream(blank, FileMode::Create, kReadWrite, 0);
            ADD_FAILURE() << "no exception";
        } catch (const ArgumentException& e) {
            EXPECT_EQ(e.ParamName(), L"path");
            EXPECT_EQ(e.Message(), L"\r\nParameter Name: path");
        }
    }
}

TEST_F(FileStreamTest, ModesOnExistingFiles) {
    {
        const std::wstring path = Existing();
        EXPECT_EQ(Win32Error([&] { FileStream s(path, FileMode::CreateNew, kReadWrite, 0); }),
                  static_cast<DWORD>(ERROR_FILE_EXISTS));
        EXPECT_EQ(TestSupport::ReadFileBytes(path), "hello");
    }
    {
        const std::wstring path = Existing();
        FileStream s(path, FileMode::Create, kReadWrite, 0);
        EXPECT_EQ(s.Length(), 0);
    }
    {
        FileStream s(Existing(), FileMode::Open, GENERIC_READ, FILE_SHARE_READ);
        EXPECT_EQ(s.Length(), 5);
        EXPECT_EQ(s.Position(), 0);
    }
    {
        FileStream s(Existing(), FileMode::OpenOrCreate, kReadWrite, 0);
        EXPECT_EQ(s.Length(), 5);
        EXPECT_EQ(s.Position(), 0);
    }
    {
        FileStream s(Existing(), FileMode::Truncate, GENERIC_WRITE, 0);
        EXPECT_EQ(s.Length(), 0);
    }
    {
        const std::wstring path = Existing();
        {
            FileStream s(path, FileMode::Append, GENERIC_WRITE, 0);
            EXPECT_EQ(s.Position(), 5);
            std::string more = " world";
            EXPECT_EQ(s.Write(Bytes(more)), 6u);
        }
        EXPECT_EQ(TestSupport::ReadFileBytes(path), "hello world");
    }
}

TEST_F(FileStreamTest, ModesOnMissingFiles) {
    for (FileMode mode :
         {FileMode::CreateNew, FileMode::Create, FileMode::OpenOrCreate, FileMode::Append}) {
        const std::wstring path = Missing();
        {
            FileStream s(path, mode, kReadWrite, 0);
            EXPECT_EQ(s.Length(), 0);
            EXPECT_EQ(s.Position(), 0);
        }
        EXPECT_TRUE(File::Exists(path)) << static_cast<int>(mode);
    }
    for (FileMode mode : {FileMode::Open, FileMode::Truncate}) {
        const std::wstring path = Missing();
        EXPECT_EQ(Win32Error([&] { FileStream s(path, mode, kReadWrite, 0); }),
                  static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        EXPECT_FALSE(File::Exists(path));
    }
    EXPECT_EQ(Win32Error([&] { FileStream s(dir_ + L"\\no\\such\\folder.bin"); }),
              static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(FileStreamTest, ReadWriteSeekAndPosition) {
    FileStream s(Missing(), FileMode::CreateNew, kReadWrite, 0);
    std::string data = "0123456789";
    EXPECT_EQ(s.Write(Bytes(data), 2, 8), 8u);
    EXPECT_EQ(s.Position(), 8);
    EXPECT_EQ(s.Length(), 8);

    EXPECT_TRUE(s.Seek(1, SeekOrigin::Begin));
    std::string buffer = "......";
    EXPECT_EQ(s.Read(Bytes(buffer), 2, 3), 3u);
    EXPECT_EQ(buffer, "..345.");
    EXPECT_EQ(s.Position(), 4);

    EXPECT_TRUE(s.Seek(-3, SeekOrigin::Current));
    std::string one = "?";
    EXPECT_EQ(s.Read(Bytes(one)), 1u);
    EXPECT_EQ(one, "3");
    EXPECT_TRUE(s.Seek(-2, SeekOrigin::End));
    std::string rest = "xyz";
    EXPECT_EQ(s.Read(Bytes(rest)), 2u); // only two bytes are left
    EXPECT_EQ(rest, "89z");
    EXPECT_EQ(s.Read(Bytes(rest)), 0u);

    // Beyond the end is a place to write, before the start is not.
    EXPECT_TRUE(s.Seek(4, SeekOrigin::End));
    EXPECT_EQ(s.Position(), 12);
    EXPECT_EQ(Win32Error([&] { s.Seek(-1, SeekOrigin::Begin); }),
              static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
    EXPECT_EQ(s.Position(), 12);
}

TEST_F(FileStreamTest, SpanOutsideTheBufferIsRefused) {
    FileStream s(Existing(), FileMode::Open, kReadWrite, 0);
    std::string buffer = "abcd";
    EXPECT_THROW(s.Read(Bytes(buffer), 5, 0), ArgumentOutOfRangeException);
    try {
        s.Write(Bytes(buffer), 2, 3);
        ADD_FAILURE() << "no exception";
    } catch (const ArgumentOutOfRangeException& e) {
        EXPECT_EQ(e.ParamName(), L"count");
    }
    EXPECT_EQ(s.Length(), 5); // nothing was written
    EXPECT_EQ(s.Read(Bytes(buffer), 4, 0), 0u);
}

TEST_F(FileStreamTest, SetLength) {
    const std::wstring path = Existing("0123456789");
    {
        FileStream s(path, FileMode::Open, kReadWrite, 0);
        s.SetLength(3);
        EXPECT_EQ(s.Length(), 3);
        EXPECT_EQ(s.Position(), 3);
        s.SetLength(100);
        EXPECT_EQ(s.Length(), 100);
        EXPECT_EQ(Win32Error([&] { s.SetLength(-5); }), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
        EXPECT_EQ(s.Length(), 100);
    }
    const std::string content = TestSupport::ReadFileBytes(path);
    ASSERT_EQ(content.size(), 100u);
    EXPECT_EQ(content.substr(0, 4), std::string("012\0", 4));
    {
        FileStream reader(path);
        // Windows says access denied, Wine invalid parameter: either way a system error.
        EXPECT_NE(Win32Error([&] { reader.SetLength(1); }), 0u);
        EXPECT_EQ(reader.Length(), 100);
    }
}

TEST_F(FileStreamTest, DefaultIsASharedReader) {
    const std::wstring path = Existing();
    FileStream first(path);
    FileStream second(path); // readers share
    std::string buffer = "-----";
    EXPECT_EQ(second.Read(Bytes(buffer)), 5u);
    EXPECT_EQ(buffer, "hello");
    EXPECT_EQ(Win32Error([&] { first.Write(Bytes(buffer)); }),
              static_cast<DWORD>(ERROR_ACCESS_DENIED));
    // A writer cannot join readers that only share reading.
    EXPECT_EQ(Win32Error([&] { FileStream w(path, FileMode::Open, GENERIC_WRITE, kReadWrite); }),
              static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

TEST_F(FileStreamTest, ShareConflictsAndClose) {
    const std::wstring path = Existing();
    FileStream owner(path, FileMode::Open, kReadWrite, 0);
    EXPECT_EQ(Win32Error([&] { FileStream other(path); }),
              static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(Win32Error([&] { FileStream other(path, FileMode::Create, GENERIC_WRITE, 0); }),
              static_cast<DWORD>(ERROR_SHARING_VIOLATION));

    ASSERT_TRUE(owner.IsOpen());
    owner.Close();
    EXPECT_FALSE(owner.IsOpen());
    EXPECT_NO_THROW(owner.Close());
    EXPECT_EQ(owner.Length(), 0);
    std::string buffer = "x";
    EXPECT_EQ(Win32Error([&] { owner.Read(Bytes(buffer)); }),
              static_cast<DWORD>(ERROR_INVALID_HANDLE));

    FileStream reopened(path);
    EXPECT_EQ(reopened.Length(), 5);
}

TEST_F(FileStreamTest, DestructorReleasesTheFile) {
    const std::wstring path = Existing();
    { FileStream exclusive(path, FileMode::Open, GENERIC_READ, 0); }
    EXPECT_NO_THROW(FileStream(path, FileMode::Open, GENERIC_READ, 0));
    EXPECT_TRUE(::DeleteFileW(path.c_str()));
}

TEST_F(FileStreamTest, ExistsOnlyForFiles) {
    EXPECT_TRUE(File::Exists(Existing()));
    EXPECT_FALSE(File::Exists(dir_));
    EXPECT_FALSE(File::Exists(dir_ + L"\\"));
    EXPECT_FALSE(File::Exists(Missing()));
    EXPECT_FALSE(File::Exists(L""));
    EXPECT_FALSE(File::Exists(L"  \t "));
    EXPECT_FALSE(File::Exists(L"C:\\a<b"));
}

TEST_F(FileStreamTest, Attributes) {
    const std::wstring path = Existing();
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(File::GetAttributes(path) & FILE_ATTRIBUTE_READONLY, DWORD{FILE_ATTRIBUTE_READONLY});
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(File::GetAttributes(L"  " + path + L" ") & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_NE(File::GetAttributes(dir_) & FILE_ATTRIBUTE_DIRECTORY, 0u);

    const UINT before = ::SetErrorMode(SEM_NOGPFAULTERRORBOX);
    EXPECT_EQ(Win32Error([&] { File::GetAttributes(Missing()); }),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(::SetErrorMode(before), static_cast<UINT>(SEM_NOGPFAULTERRORBOX));
    EXPECT_THROW(File::GetAttributes(L"C:\\a|b"), ArgumentException);
}
