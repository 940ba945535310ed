// The exception hierarchy and its neutral texts as compiled into the test program.
#include <gtest/gtest.h>

#include "certificates/x509_exception.h"
#include "foundation/argument_out_of_range_exception.h"
#include "foundation/handle.h"
#include "foundation/io/path_too_long_exception.h"
#include "foundation/overflow_exception.h"
#include "foundation/resource_string.h"
#include "foundation/win32_exception.h"

using namespace MHFX;

TEST(Exceptions, MessagesOfEachClass) {
    EXPECT_EQ(Exception(L"plain").Message(), L"plain");
    EXPECT_EQ(OverflowException(L"o").Message(), L"o");
    EXPECT_EQ(Security::Cryptography::X509::X509Exception(L"x").Message(), L"x");
    EXPECT_EQ(IO::PathTooLongException().Message(),
              L"The specified path, file name, or both are too long. The fully qualified file name "
              L"must be less than 260 characters, and the directory name must be less than 248 "
              L"characters.");
    ArgumentException bare(L"bare");
    EXPECT_EQ(bare.Message(), L"bare");
    EXPECT_EQ(bare.ParamName(), L"");
    ArgumentOutOfRangeException named(LoadNeutralString(IDS_ARGUMENT_OUT_OF_RANGE), L"ticks");
    EXPECT_EQ(named.Message(),
              L"Specified argument was out of the range of valid values.\r\nParameter Name: ticks");
    EXPECT_EQ(named.ParamName(), L"ticks");
    EXPECT_EQ(ArgumentException(L"m", L"").Message(), L"m\r\nParameter Name: ");
}

TEST(Exceptions, Win32TextIsOneLine) {
    Win32Exception notFound(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(notFound.ErrorCode(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(notFound.Message().empty());
    EXPECT_EQ(notFound.Message().find(L'\r'), std::wstring::npos);
    EXPECT_EQ(notFound.Message().find(L'\n'), std::wstring::npos);
    EXPECT_NE(notFound.Message(), L"An unrecognized Win32Exception was thrown.");

    EXPECT_EQ(Win32Exception(0x2AFFFFFF).Message(), L"An unrecognized Win32Exception was thrown.");

    ::SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(Win32Exception().ErrorCode(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Win32Exception(static_cast<DWORD>(E_OUTOFMEMORY)).ErrorCode(), 0x8007000Eu);
}

TEST(Exceptions, CatchRelations) {
    auto caughtAsIo = [] {
        try {
            throw IO::PathTooLongException();
        } catch (const IO::IOException&) {
            return true;
        }
    };
    EXPECT_TRUE(caughtAsIo());
    auto caughtAsArgument = [] {
        try {
            throw ArgumentOutOfRangeException(L"r", L"p");
        } catch (const ArgumentException& e) {
            return e.ParamName() == L"p";
        }
    };
    EXPECT_TRUE(caughtAsArgument());
    auto kind = [] {
        try {
            throw Win32Exception(ERROR_FILE_NOT_FOUND);
        } catch (const IO::IOException&) {
            return 1;
        } catch (const ArgumentException&) {
            return 2;
        } catch (const Exception&) {
            return 3;
        }
    };
    EXPECT_EQ(kind(), 3);
}

TEST(NeutralStrings, TableIsCompiledExactly) {
    EXPECT_EQ(LoadNeutralString(20481), L"Invalid length. Must be multiple of 4.");
    EXPECT_EQ(LoadNeutralString(20485), L"\r\nParameter Name: ");
    EXPECT_EQ(LoadNeutralString(20997),
              L"Paths that begin with \\\\?\\GlobalRoot are internal to the "
              L"kernel and should not be opened.");
    EXPECT_EQ(LoadNeutralString(21001),
              L"Search pattern cannot contain \"..\" to move up directories and can be contained "
              L"only internally in file/directory names, as in \"a..b\".");
    EXPECT_EQ(LoadNeutralString(21768), L"Thread terminated: %s\n");
    EXPECT_EQ(LoadNeutralString(22017), L"The given key was not present in the map.");
    EXPECT_EQ(LoadNeutralString(130), L"%s (*.%s)");
    EXPECT_EQ(LoadNeutralString(703), L"enx");
    EXPECT_EQ(LoadNeutralString(21004), L""); // not in the table
    EXPECT_EQ(FormatString(LoadNeutralString(130), L"Signed Document", L"snx"),
              L"Signed Document (*.snx)");
}

namespace {
int g_closed = 0;
struct CountingTraits {
    using Type = int;
    static Type Invalid() { return 0; }
    static void Close(Type) {
        ++g_closed;
        ::SetLastError(ERROR_INVALID_HANDLE); // a close that fails must not leak its error
    }
};
} // namespace

TEST(Handles, ClosedExactlyOnceAndLastErrorKept) {
    g_closed = 0;
    {
        UniqueHandle<CountingTraits> a(7);
        UniqueHandle<CountingTraits> b(std::move(a));
        EXPECT_FALSE(a.valid());
        ::SetLastError(ERROR_FILE_EXISTS);
        b.reset(8);
        EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
        EXPECT_EQ(g_closed, 1);
        *b.put() = 9;
        EXPECT_EQ(g_closed, 2);
        EXPECT_EQ(b.release(), 9);
    }
    EXPECT_EQ(g_closed, 2);
    { UniqueHandle<CountingTraits> c(3); }
    EXPECT_EQ(g_closed, 3);
}
