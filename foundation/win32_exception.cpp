#include "foundation/win32_exception.h"

#include "foundation/resource_string.h"

namespace MHFX {

Win32Exception::Win32Exception() : Win32Exception(::GetLastError()) {}

Win32Exception::Win32Exception(DWORD errorCode) : errorCode_(errorCode) {
    message_ = SystemText(errorCode);
}

std::wstring Win32Exception::SystemText(DWORD errorCode) {
    wchar_t* buffer = nullptr;
    const DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
    const DWORD length = ::FormatMessageW(flags, nullptr, errorCode, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                          reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length == 0 || buffer == nullptr) {
        return LoadNeutralString(IDS_UNRECOGNIZED_WIN32_EXCEPTION);
    }
    std::wstring text(buffer, length);
    ::LocalFree(buffer);
    // Every line break goes, not only the trailing one: the text is shown on one line.
    for (size_t at = text.find(L"\r\n"); at != std::wstring::npos; at = text.find(L"\r\n", at)) {
        text.erase(at, 2);
    }
    return text;
}

} // namespace MHFX
