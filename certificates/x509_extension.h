#pragma once

#include <windows.h>

#include <vector>

#include "certificates/oid.h"

namespace MHFX::Security::Cryptography::X509 {

struct X509Extension {
    X509::Oid Oid;
    std::vector<BYTE> RawData; // the encoded extension value, an owned copy
    bool Critical = false;
};

} // namespace MHFX::Security::Cryptography::X509
