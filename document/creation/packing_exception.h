// A selected item that could not be packed: the file or folder, and the system's reason.
#pragma once

#include <windows.h>

#include <string>

#include "foundation/win32_exception.h"

namespace Dossiq::Documents {

class PackingException : public MHFX::Win32Exception {
public:
    PackingException(std::wstring item, DWORD errorCode);

    const std::wstring& Item() const { return item_; }

private:
    std::wstring item_;
};

} // namespace Dossiq::Documents
