#include "shell_test_support.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <atomic>
#include <cstring>
#include <memory>

#include "common/test_support.h"
#include "common/user_state.h"
#include "foundation/handle.h"

namespace ShellTest {

const CLSID kContextMenuClass = {
    0xACE88176, 0x2E46, 0x4D4C, {0x84, 0x9F, 0xD4, 0xD8, 0x65, 0x1B, 0x6B, 0x29}};
const CLSID kPropertySheetClass = {
    0x1798D8B8, 0x6825, 0x4610, {0xA1, 0xEF, 0x02, 0x36, 0x3E, 0xA2, 0xC3, 0x4C}};

std::wstring DllPath() {
    return TestSupport::WindowsPath(DOSSIQSHELL_PATH);
}

HMODULE Dll() {
    static const HMODULE module = ::LoadLibraryW(DllPath().c_str());
    return module;
}

void* Export(const char* name) {
    return Dll() ? reinterpret_cast<void*>(::GetProcAddress(Dll(), name)) : nullptr;
}

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** result) {
    using Function = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    const auto function = reinterpret_cast<Function>(Export("DllGetClassObject"));
    return function ? function(clsid, iid, result) : E_FAIL;
}

HRESULT CanUnloadNow() {
    using Function = HRESULT(WINAPI*)();
    const auto function = reinterpret_cast<Function>(Export("DllCanUnloadNow"));
    return function ? function() : E_FAIL;
}


namespace {

// The application-data folder (and so the preferences file) is a scratch folder for the
// whole program; the prefix's own value comes back at the end.
class AppDataEnvironment : public testing::Environment {
public:
    void SetUp() override {
        folder() = TestSupport::MakeTempDir(L"appdata");
        redirect_ = std::make_unique<TestSupport::AppDataRedirect>(folder());
    }
    void TearDown() override { redirect_.reset(); }
    static std::wstring& folder() {
        static std::wstring value;
        return value;
    }

private:
    std::unique_ptr<TestSupport::AppDataRedirect> redirect_;
};

[[maybe_unused]] testing::Environment* const g_appData =
    testing::AddGlobalTestEnvironment(new AppDataEnvironment);

} // namespace

std::wstring AppData() {
    return AppDataEnvironment::folder();
}

void WritePreferences(WORD language) {
    const std::wstring folder = AppData() + L"\\Korvane\\Dossiq_VS";
    ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    TestSupport::WriteFileBytes(folder + L"\\Config.xml",
                                "<?xml version='1.0'?>\r\n<Preferences><Language>" +
                                    std::to_string(language) +
                                    "</Language><QualifiedCAsURL/><CertChainsURL/>"
                                    "</Preferences>\r\n");
}

} // namespace ShellTest
