#pragma once

#include "foundation/exception.h"

namespace MHFX::IO {

class IOException : public Exception {
public:
    using Exception::Exception;
};

} // namespace MHFX::IO
