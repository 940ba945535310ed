// A Win32 critical section behind the SyncObject interface, so that SyncLock can hold it.
#pragma once

#include "foundation/threading/sync_object.h"

namespace MHFX {

class CriticalSection : public SyncObject {
public:
    CriticalSection();
    ~CriticalSection() override;

    // Leaves the section.
    bool Release() override;
    // Enters the section; the time-out is ignored, entering always succeeds.
    bool Wait(DWORD timeoutMs) override;

private:
    CRITICAL_SECTION section_;
};

} // namespace MHFX
