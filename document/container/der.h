// The object identifiers of the enveloped container, beside the generic DER reader and
// writer (foundation/der.h), which stay reachable here under their old names.
#pragma once

#include <windows.h>

#include <vector>

#include "foundation/der.h"

namespace Dossiq::Documents {

namespace Der {

using namespace MHFX::Der;

// Encoded object identifiers (content bytes only).
extern const std::vector<BYTE> kOidData;
extern const std::vector<BYTE> kOidSignedData;
extern const std::vector<BYTE> kOidEnvelopedData;
extern const std::vector<BYTE> kOidRsaEncryption;
extern const std::vector<BYTE> kOidDesEde3Cbc;

} // namespace Der

} // namespace Dossiq::Documents
