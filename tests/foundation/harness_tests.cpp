// The test harness itself: Linux peers run from inside the Windows test and report back.
#include <gtest/gtest.h>

#include "common/test_support.h"

using namespace TestSupport;

TEST(Harness, RunsLinuxPeersAndMapsPaths) {
    HostResult ok = RunHost("printf 'peer %s' \"$((6*7))\"; exit 3");
    EXPECT_EQ(ok.exitCode, 3);
    EXPECT_EQ(ok.output, "peer 42");

    const std::wstring dir = MakeTempDir();
    WriteFileBytes(dir + L"\\a.txt", "abc");
    HostResult cat = RunHost("cat " + ShellQuote(UnixPath(dir + L"\\a.txt")));
    EXPECT_EQ(cat.output, "abc");
    EXPECT_EQ(WindowsPath(UnixPath(dir)), dir);
    RemoveTree(dir);
    EXPECT_EQ(::GetFileAttributesW(dir.c_str()), INVALID_FILE_ATTRIBUTES);
}
