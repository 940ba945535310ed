// The object identifiers of the containers and the DER SET OF the messages write, beside the
// generic DER reader and writer (foundation/der.h), which stay reachable here under their old
// names.
#pragma once

#include <windows.h>

#include <string>
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

// A dotted identifier's content bytes ("2.16.840.1.101.3.4.2.1"); empty when it is none.
std::vector<BYTE> OidContent(const std::string& dotted);

// Appends a SET OF (`tag`: SET or an implicit [n]) of `elements`, each a whole encoding, in
// the ascending order of their encodings that DER asks for; duplicates are written once.
void AppendSortedSet(std::vector<BYTE>& out, BYTE tag, std::vector<std::vector<BYTE>> elements);

} // namespace Der

} // namespace Dossiq::Documents
