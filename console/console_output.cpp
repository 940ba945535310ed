#include "console/console_output.h"

#include <algorithm>

namespace Dossiq::Console {

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                             nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                          length, nullptr, nullptr);
    return bytes;
}

ConsoleOutput::ConsoleOutput(DWORD which) : handle_(::GetStdHandle(which)) {
    DWORD mode = 0;
    isConsole_ = handle_ && handle_ != INVALID_HANDLE_VALUE &&
                 ::GetFileType(handle_) == FILE_TYPE_CHAR && ::GetConsoleMode(handle_, &mode);
}

bool ConsoleOutput::Write(const std::wstring& text) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!handle_ || handle_ == INVALID_HANDLE_VALUE) {
        failed_ = true;
        return false;
    }
    bool written = true;
    if (isConsole_) {
        size_t offset = 0;
        while (written && offset < text.size()) {
            DWORD done = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - offset, 8192));
            written =
                ::WriteConsoleW(handle_, text.data() + offset, chunk, &done, nullptr) && done > 0;
            offset += done;
        }
    } else {
        const std::string bytes = ToUtf8(text);
        size_t offset = 0;
        while (written && offset < bytes.size()) {
            DWORD done = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - offset, 65536));
            written =
                ::WriteFile(handle_, bytes.data() + offset, chunk, &done, nullptr) && done > 0;
            offset += done;
        }
    }
    failed_ = failed_ || !written;
    return written;
}

} // namespace Dossiq::Console
