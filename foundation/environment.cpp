#include "foundation/environment.h"

#include <shlobj.h>

#include "foundation/win32_exception.h"

namespace MHFX {

namespace {

OperatingSystem QueryOperatingSystem() {
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    ThrowLastErrorIf(!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)));
    SYSTEM_INFO system = {};
    ::GetNativeSystemInfo(&system);

    OperatingSystem os;
    os.Platform = info.dwPlatformId;
    os.Major = info.dwMajorVersion;
    os.Minor = info.dwMinorVersion;
    os.Build = info.dwBuildNumber;
    os.ServicePack = (static_cast<DWORD>(info.wServicePackMajor) << 16) | info.wServicePackMinor;
    os.IsServer =
        info.wProductType == VER_NT_DOMAIN_CONTROLLER || info.wProductType == VER_NT_SERVER;
    os.Is64BitMachine = system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
    return os;
}

} // namespace

const OperatingSystem& Environment::OSVersion() {
    // A failed query throws out of the initializer and is tried again on the next call.
    static const OperatingSystem os = QueryOperatingSystem();
    return os;
}

std::wstring Environment::GetFolderPath(int folder) {
    wchar_t buffer[MAX_PATH] = {};
    ::SetLastError(ERROR_SUCCESS);
    if (!::SHGetSpecialFolderPathW(nullptr, buffer, folder, FALSE)) {
        const DWORD error = ::GetLastError();
        // The shell does not always say why; a missing folder is the usual reason.
        throw Win32Exception(error != ERROR_SUCCESS ? error : ERROR_PATH_NOT_FOUND);
    }
    return buffer;
}

} // namespace MHFX
