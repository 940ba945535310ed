// What events, critical sections and threads have in common: something one can wait for
// and something one can let go of. SyncLock works on any of them.
#pragma once

#include <windows.h>

namespace MHFX {

class SyncObject {
public:
    virtual ~SyncObject() = default;

    virtual bool Release() = 0;
    // True when the object was obtained within `timeoutMs` milliseconds.
    virtual bool Wait(DWORD timeoutMs) = 0;

protected:
    SyncObject() = default;
    SyncObject(const SyncObject&) = delete;
    SyncObject& operator=(const SyncObject&) = delete;
};

} // namespace MHFX
