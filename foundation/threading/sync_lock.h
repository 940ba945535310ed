// Scoped hold of a SyncObject: waits without limit on construction and releases at the end
// of the scope if the wait succeeded.
#pragma once

#include "foundation/threading/sync_object.h"

namespace MHFX {

class SyncLock {
public:
    explicit SyncLock(SyncObject& object);
    // A failing release is dropped: this runs during unwinding too.
    ~SyncLock();

    SyncLock(const SyncLock&) = delete;
    SyncLock& operator=(const SyncLock&) = delete;

    bool IsHeld() const { return held_; }

private:
    SyncObject& object_;
    bool held_;
};

} // namespace MHFX
