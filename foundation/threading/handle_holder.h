// Owner of one kernel handle (an event or a thread). Null and INVALID_HANDLE_VALUE both
// mean "nothing held".
#pragma once

#include <windows.h>

#include "foundation/handle.h"

namespace MHFX {

struct HolderHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type value) {
        if (value != INVALID_HANDLE_VALUE) {
            ::CloseHandle(value);
        }
    }
};

class HandleHolder {
public:
    HandleHolder() = default;
    explicit HandleHolder(HANDLE handle) : handle_(handle) {}
    virtual ~HandleHolder() = default;

    HandleHolder(const HandleHolder&) = delete;
    HandleHolder& operator=(const HandleHolder&) = delete;

    HANDLE GetHandle() const { return handle_.get(); }
    bool IsOpen() const { return handle_.valid() && handle_.get() != INVALID_HANDLE_VALUE; }

protected:
    // Takes `handle`, closing the one held before.
    void Attach(HANDLE handle) { handle_.reset(handle); }
    // Closes the handle now and forgets it; a failing close throws Win32Exception.
    void Close();

private:
    UniqueHandle<HolderHandleTraits> handle_;
};

} // namespace MHFX
