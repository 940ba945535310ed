// One of two copies of this program that run at the same time (run_side_by_side.sh): each
// points the application-data folder at a folder of its own, meets the other once both have
// done so, and then must still see its own folder and none of the other's files.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <cstdlib>
#include <string>

#include "common/test_support.h"
#include "common/user_state.h"
#include "common/window_pump.h"

namespace {

std::wstring Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? TestSupport::Widen(value) : std::wstring();
}

std::wstring AppDataFolder() {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)))
        return {};
    return path;
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(Isolation, ASecondProgramsAppDataStaysItsOwn) {
    const std::wstring self = Variable("DOSSIQ_ISOLATION_SELF");
    const std::wstring other = Variable("DOSSIQ_ISOLATION_OTHER");
    const std::wstring meet = TestSupport::WindowsPath(TestSupport::Narrow(
        Variable("DOSSIQ_ISOLATION_MEET")));
    ASSERT_FALSE(self.empty() || other.empty() || meet.empty())
        << "run through run_side_by_side.sh";

    const std::wstring folder = L"C:\\isolation-" + self;
    ::CreateDirectoryW(folder.c_str(), nullptr);
    TestSupport::WriteFileBytes(folder + L"\\" + self + L".txt", "mine");
    TestSupport::AppDataRedirect redirect(folder);
    ASSERT_EQ(folder, AppDataFolder());

    // Both have set their value before either reads it back.
    TestSupport::WriteFileBytes(meet + L"\\" + self + L".set", "");
    ASSERT_TRUE(TestSupport::WaitUntil([&] { return Exists(meet + L"\\" + other + L".set"); },
                                       120000))
        << "the other program never set its value";

    EXPECT_EQ(folder, AppDataFolder());
    EXPECT_EQ(folder, TestSupport::AppDataRedirect::Current());
    EXPECT_TRUE(Exists(AppDataFolder() + L"\\" + self + L".txt"));
    EXPECT_FALSE(Exists(L"C:\\isolation-" + other)) << "the other program's folder is visible";

    // Neither leaves while the other may still be reading.
    TestSupport::WriteFileBytes(meet + L"\\" + self + L".read", "");
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return Exists(meet + L"\\" + other + L".read"); },
                                       120000));
}

} // namespace
