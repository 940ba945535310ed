// The zone mark's paths and reading: a share is its own volume, and a mark that is there but
// cannot be read is the Internet zone's.
#include <gtest/gtest.h>

#include <windows.h>

#include "common/test_support.h"
#include "document/operations/zone_mark.h"

using namespace Dossiq::Documents;

namespace {

TEST(ZoneMark, StreamsAndVolumesAreNamedAsTheSystemTakesThem) {
    EXPECT_EQ(L"\\\\?\\C:\\b.txt", ExtendedLengthPath(L"C:/a/../b.txt"));
    EXPECT_EQ(L"\\\\?\\UNC\\server\\share\\f.txt", ExtendedLengthPath(L"\\\\server\\share\\f.txt"));
    EXPECT_EQ(L"C:\\", VolumeRootOf(L"C:\\a\\b.txt"));
    // Wine's GetVolumePathNameW refuses shares.
    for (const wchar_t* share :
         {L"\\\\server\\share\\dir\\f.txt", L"\\\\?\\UNC\\server\\share\\f"}) {
        EXPECT_EQ(L"\\\\server\\share\\", VolumeRootOf(share));
    }
}

TEST(ZoneMark, AMarkThatCannotBeReadIsTheInternetZone) {
    const std::wstring dir = TestSupport::MakeTempDir(L"zone");
    const std::string mark = "[ZoneTransfer]\r\nZoneId=2\r\n";
    for (const wchar_t* name : {L"\\plain.snx", L"\\marked.snx", L"\\unreadable.snx"}) {
        TestSupport::WriteFileBytes(dir + name, "container");
    }
    ASSERT_TRUE(WriteZoneMark(dir + L"\\marked.snx", mark));
    // Wine keeps a stream as a file beside: a folder in its place cannot be read.
    ASSERT_TRUE(::CreateDirectoryW((dir + L"\\unreadable.snx:Zone.Identifier").c_str(), nullptr));
    EXPECT_EQ("", ReadZoneMark(dir + L"\\plain.snx"));
    EXPECT_EQ(mark, ReadZoneMark(dir + L"\\marked.snx"));
    EXPECT_EQ(kInternetZoneMark, ReadZoneMark(dir + L"\\unreadable.snx"));
}

} // namespace
