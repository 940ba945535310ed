// An owned reference to a CRL context.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include "foundation/handle.h"

namespace MHFX::Security::Cryptography::X509 {

using CrlContextHandle = MHFX::UniqueHandle<MHFX::ClosedBy<PCCRL_CONTEXT, ::CertFreeCRLContext>>;

} // namespace MHFX::Security::Cryptography::X509
