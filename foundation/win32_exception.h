// A failed system call: the Win32 error or HRESULT and the system's one-line text for it.
// Also built without throwing, just to get that text for a message box.
#pragma once

#include <windows.h>

#include "foundation/exception.h"

namespace MHFX {

class Win32Exception : public Exception {
public:
    // Takes the calling thread's last error.
    Win32Exception();
    explicit Win32Exception(DWORD errorCode);

    DWORD ErrorCode() const { return errorCode_; }

    // The system text of a code on one line, or the neutral "unrecognized" text.
    static std::wstring SystemText(DWORD errorCode);

private:
    DWORD errorCode_;
};

// Throws Win32Exception with the last error when a BOOL-style call failed.
inline void ThrowLastErrorIf(bool failed) {
    if (failed) {
        throw Win32Exception();
    }
}

// Throws Win32Exception for a failed HRESULT.
inline void ThrowIfFailed(HRESULT hr) {
    if (FAILED(hr)) {
        throw Win32Exception(static_cast<DWORD>(hr));
    }
}

} // namespace MHFX
