#pragma once

#include <windows.h>

namespace MHFX::IO {

// Keeps the system from asking the user about a missing drive or medium while a file-system
// call runs; the process's previous error mode comes back when the scope ends.
class ErrorModeScope {
public:
    ErrorModeScope() : previous_(::SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~ErrorModeScope() { ::SetErrorMode(previous_); }
    ErrorModeScope(const ErrorModeScope&) = delete;
    ErrorModeScope& operator=(const ErrorModeScope&) = delete;

private:
    UINT previous_;
};

} // namespace MHFX::IO
