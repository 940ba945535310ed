// An owned reference to a CRL context.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include "foundation/handle.h"

namespace MHFX::Security::Cryptography::X509 {

struct CrlContextTraits {
    using Type = PCCRL_CONTEXT;
    static Type Invalid() { return nullptr; }
    static void Close(Type value) { ::CertFreeCRLContext(value); }
};
using CrlContextHandle = MHFX::UniqueHandle<CrlContextTraits>;

} // namespace MHFX::Security::Cryptography::X509
