// Standard output and standard error of the console program: text to a console window goes
// through the console's own wide-character calls, anything else (a file, a pipe) as UTF-8.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>

#include "console/output.h"

namespace Dossiq::Console {

class ConsoleOutput : public Output {
public:
    // One of STD_OUTPUT_HANDLE and STD_ERROR_HANDLE.
    explicit ConsoleOutput(DWORD which);

    bool Write(const std::wstring& text) override;
    bool IsConsole() const override { return isConsole_; }
    bool Failed() const noexcept { return failed_; }

private:
    HANDLE handle_;
    bool isConsole_ = false;
    bool failed_ = false;
    std::mutex lock_; // lines of concurrent workers never interleave
};

std::string ToUtf8(const std::wstring& text);

} // namespace Dossiq::Console
