// The environment queries as the Wine prefix answers them.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdlib>

#include "common/test_support.h"
#include "foundation/environment.h"
#include "foundation/win32_exception.h"

using namespace MHFX;

TEST(Environment, OSVersionIsReadOnce) {
    const OperatingSystem& os = Environment::OSVersion();
    EXPECT_EQ(&os, &Environment::OSVersion());
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_TRUE(::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)));
    EXPECT_EQ(os.Platform, DWORD{VER_PLATFORM_WIN32_NT});
    EXPECT_EQ(os.Major, info.dwMajorVersion);
    EXPECT_EQ(os.Minor, info.dwMinorVersion);
    EXPECT_EQ(os.Build, info.dwBuildNumber);
    EXPECT_EQ(os.ServicePack, (DWORD{info.wServicePackMajor} << 16) | info.wServicePackMinor);
    EXPECT_EQ(os.IsServer, info.wProductType != VER_NT_WORKSTATION);
    EXPECT_GT(os.Major, 5u);
    EXPECT_TRUE(os.Is64BitMachine); // the build and test host is x86-64
}

TEST(Environment, AppDataIsInsideThePrefix) {
    const std::wstring appData = Environment::GetFolderPath(CSIDL_APPDATA);
    wchar_t expected[MAX_PATH];
    ASSERT_EQ(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, expected), S_OK);
    EXPECT_EQ(appData, expected);
    const char* prefix = std::getenv("WINEPREFIX");
    ASSERT_NE(prefix, nullptr);
    std::string unixPrefix = prefix;
    while (unixPrefix.size() > 1 && unixPrefix.back() == '/') {
        unixPrefix.pop_back();
    }
    EXPECT_EQ(TestSupport::UnixPath(appData).rfind(unixPrefix + "/", 0), 0u)
        << TestSupport::Narrow(appData) << " not below " << unixPrefix;
    EXPECT_THROW(Environment::GetFolderPath(0x7F), Win32Exception);
}
