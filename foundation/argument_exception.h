#pragma once

#include "foundation/exception.h"

namespace MHFX {

class ArgumentException : public Exception {
public:
    explicit ArgumentException(std::wstring message) : Exception(std::move(message)) {}
    // The message gets the neutral "Parameter Name: " suffix even for an empty name.
    ArgumentException(std::wstring message, std::wstring paramName);

    const std::wstring& ParamName() const { return paramName_; }

private:
    std::wstring paramName_;
};

} // namespace MHFX
