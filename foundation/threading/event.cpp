#include "foundation/threading/event.h"

#include "foundation/win32_exception.h"

namespace MHFX {

Event::Event(bool manualReset, bool initiallySignalled) {
    const HANDLE handle = ::CreateEventW(nullptr, manualReset, initiallySignalled, nullptr);
    ThrowLastErrorIf(handle == nullptr);
    Attach(handle);
}

void Event::Set() {
    ThrowLastErrorIf(!::SetEvent(GetHandle()));
}

void Event::Reset() {
    ThrowLastErrorIf(!::ResetEvent(GetHandle()));
}

bool Event::Release() {
    Set();
    return true;
}

bool Event::Wait(DWORD timeoutMs) {
    if (!IsOpen()) {
        return false;
    }
    return ::WaitForSingleObject(GetHandle(), timeoutMs) == WAIT_OBJECT_0;
}

} // namespace MHFX
