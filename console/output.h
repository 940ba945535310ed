// Where a command's text goes: the console program's standard output or error, or a buffer
// when a test runs the command in its own process.
#pragma once

#include <string>

namespace Dossiq::Console {

class Output {
public:
    virtual ~Output() = default;

    // False when the text could not be written (a closed pipe, a full disk).
    virtual bool Write(const std::wstring& text) = 0;
    // A console window, where progress lines are worth writing.
    virtual bool IsConsole() const = 0;
};

} // namespace Dossiq::Console
