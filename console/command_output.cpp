#include "console/command_output.h"

namespace Dossiq::Console {

int CommandOutput::Fail(int code, const std::wstring& message) const {
    err_.Write(L"dossiq: " + message + L"\r\n");
    return code;
}

} // namespace Dossiq::Console
