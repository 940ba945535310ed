#include "foundation/threading/handle_holder.h"

#include "foundation/win32_exception.h"

namespace MHFX {

void HandleHolder::Close() {
    const HANDLE handle = handle_.release();
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
        ThrowLastErrorIf(!::CloseHandle(handle));
    }
}

} // namespace MHFX
