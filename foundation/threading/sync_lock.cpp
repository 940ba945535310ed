#include "foundation/threading/sync_lock.h"

namespace MHFX {

SyncLock::SyncLock(SyncObject& object) : object_(object), held_(object.Wait(INFINITE)) {}

SyncLock::~SyncLock() {
    if (!held_) {
        return;
    }
    try {
        if (object_.Release()) {
            held_ = false;
        }
    } catch (...) {
    }
}

} // namespace MHFX
