#pragma once

#include "foundation/argument_exception.h"

namespace MHFX {

class ArgumentOutOfRangeException : public ArgumentException {
public:
    using ArgumentException::ArgumentException;
};

} // namespace MHFX
