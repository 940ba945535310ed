#include "foundation/argument_exception.h"

#include "foundation/resource_string.h"

namespace MHFX {

ArgumentException::ArgumentException(std::wstring message, std::wstring paramName)
    : Exception(std::move(message)), paramName_(std::move(paramName)) {
    message_ += LoadNeutralString(IDS_PARAMETER_NAME_SUFFIX) + paramName_;
}

} // namespace MHFX
