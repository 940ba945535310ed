#pragma once

#include "foundation/io/io_exception.h"
#include "foundation/resource_string.h"

namespace MHFX::IO {

class PathTooLongException : public IOException {
public:
    PathTooLongException() : IOException(LoadNeutralString(IDS_PATH_TOO_LONG)) {}
};

} // namespace MHFX::IO
