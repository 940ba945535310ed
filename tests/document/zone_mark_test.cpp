// The zone mark's paths and its reading: the `\\?\` forms, the volume of a share, and a mark
// that is there but cannot be read.
#include <gtest/gtest.h>

#include <windows.h>

#include "common/test_support.h"
#include "document/operations/zone_mark.h"

using namespace Dossiq::Documents;

namespace {

TEST(ZoneMark, StreamsAndVolumesAreNamedAsTheSystemTakesThem) {
    const struct {
        const wchar_t* path;
        const wchar_t* extended;
        const wchar_t* volume;
    } cases[] = {
        {L"C:\\a\\b.txt", L"\\\\?\\C:\\a\\b.txt", L"C:\\"},
        {L"C:/a/../b.txt", L"\\\\?\\C:\\b.txt", L"C:\\"},
        {L"\\\\server\\share\\dir\\f.txt", L"\\\\?\\UNC\\server\\share\\dir\\f.txt",
         L"\\\\server\\share\\"},
        {L"\\\\?\\UNC\\server\\share\\f.txt", L"\\\\?\\UNC\\server\\share\\f.txt",
         L"\\\\server\\share\\"},
        {L"\\\\?\\C:\\x", L"\\\\?\\C:\\x", L"C:\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(TestSupport::Narrow(c.path));
        EXPECT_EQ(c.extended, ExtendedLengthPath(c.path));
        EXPECT_EQ(c.volume, VolumeRootOf(c.path));
    }
}

TEST(ZoneMark, AMarkThatCannotBeReadIsTheInternetZone) {
    const std::wstring dir = TestSupport::MakeTempDir(L"zone");
    const std::string mark = "[ZoneTransfer]\r\nZoneId=2\r\n";
    const std::wstring plain = dir + L"\\plain.snx";
    const std::wstring marked = dir + L"\\" + std::wstring(250 - dir.size(), L'm');
    const std::wstring unreadable = dir + L"\\unreadable.snx";
    for (const std::wstring& file : {plain, marked, unreadable}) {
        TestSupport::WriteFileBytes(file, "container");
    }
    ASSERT_TRUE(WriteZoneMark(marked, mark));
    // Wine keeps a stream as a file beside: a folder in its place cannot be read.
    ASSERT_TRUE(::CreateDirectoryW((unreadable + L":Zone.Identifier").c_str(), nullptr));

    EXPECT_EQ("", ReadZoneMark(plain));
    EXPECT_EQ(mark, ReadZoneMark(marked));
    EXPECT_EQ(kInternetZoneMark, ReadZoneMark(unreadable));
}

} // namespace
