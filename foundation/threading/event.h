// An unnamed Win32 event.
#pragma once

#include "foundation/threading/handle_holder.h"
#include "foundation/threading/sync_object.h"

namespace MHFX {

class Event : public HandleHolder, public SyncObject {
public:
    // Throws Win32Exception when the event cannot be created.
    Event(bool manualReset, bool initiallySignalled);

    void Set();
    void Reset();

    // Sets the event.
    bool Release() override;
    // False on a time-out, a failed wait and once the event is closed.
    bool Wait(DWORD timeoutMs) override;

    using HandleHolder::Close;
};

} // namespace MHFX
