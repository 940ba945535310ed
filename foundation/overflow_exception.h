#pragma once

#include "foundation/exception.h"

namespace MHFX {

class OverflowException : public Exception {
public:
    using Exception::Exception;
};

} // namespace MHFX
