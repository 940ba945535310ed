#include "common/scale_child.h"

#include <cwchar>
#include <string>

namespace TestSupport {

namespace {

constexpr wchar_t kVariable[] = L"DOSSIQ_SCALE_CHILD";

} // namespace

DWORD RunAtDpi(UINT dpi, const char* name) {
    HKEY desktop = nullptr;
    ::RegCreateKeyW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", &desktop);
    const DWORD value = dpi;
    ::RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                     sizeof(value));
    wchar_t program[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(program) + L"\" --gtest_filter=";
    for (const char* c = name; *c; ++c) {
        command += static_cast<wchar_t>(*c);
    }
    ::SetEnvironmentVariableW(kVariable, std::to_wstring(dpi).c_str());
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    DWORD code = 1000;
    if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                         &startup, &process)) {
        ::WaitForSingleObject(process.hProcess, 300000);
        ::GetExitCodeProcess(process.hProcess, &code);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
    ::SetEnvironmentVariableW(kVariable, nullptr);
    ::RegDeleteValueW(desktop, L"LogPixels");
    ::RegCloseKey(desktop);
    return code;
}

UINT ChildDpi() {
    wchar_t value[16] = {};
    if (!::GetEnvironmentVariableW(kVariable, value, 16)) {
        return 0;
    }
    return static_cast<UINT>(std::wcstoul(value, nullptr, 10));
}

} // namespace TestSupport
