#pragma once

#include "foundation/exception.h"

namespace MHFX::Security::Cryptography::X509 {

class X509Exception : public Exception {
public:
    using Exception::Exception;
};

} // namespace MHFX::Security::Cryptography::X509
