// Standard output and standard error of the console program: text to a console window goes
// through the console's own wide-character calls, anything else (a file, a pipe) as UTF-8.
#pragma once

#include <windows.h>

#include <string>

namespace Dossiq::Console {

class ConsoleOutput {
public:
    // One of STD_OUTPUT_HANDLE and STD_ERROR_HANDLE.
    explicit ConsoleOutput(DWORD which);

    // False when the text could not be written (a closed pipe, a full disk).
    bool Write(const std::wstring& text);
    bool IsConsole() const noexcept { return isConsole_; }
    bool Failed() const noexcept { return failed_; }

    static ConsoleOutput& Out();
    static ConsoleOutput& Err();

private:
    HANDLE handle_;
    bool isConsole_ = false;
    bool failed_ = false;
};

std::string ToUtf8(const std::wstring& text);

} // namespace Dossiq::Console
