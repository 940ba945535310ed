#pragma once

#include <windows.h>

namespace MHFX::IO {

// A caller's buffer as the streams see it: no ownership, just where and how long.
struct ByteArray {
    BYTE* Data = nullptr;
    DWORD Length = 0;
};

} // namespace MHFX::IO
