#include "document/creation/packing_exception.h"

namespace Dossiq::Documents {

PackingException::PackingException(std::wstring item, DWORD errorCode)
    : Win32Exception(errorCode), item_(std::move(item)) {}

} // namespace Dossiq::Documents
