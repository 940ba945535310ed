// Adding the long-term validation data a Signed Document still lacks: for every certificate
// of the signer's and the time-stamping authority's chains, an OCSP response or CRL issued
// after the token. The data goes outside the signature, so neither the signature nor the
// content changes; the file is rewritten through a temporary file renamed into place, and a
// failure leaves it as it was. A Protected Document's inner signature could only be extended
// by encrypting it anew, so it is left alone.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace Dossiq::Documents {

struct ValidationReport;

enum class ExtensionOutcome {
    Extended,    // data was added (see `missing` for what is still lacking)
    Unchanged,   // nothing new could be added (`missing` empty: nothing was lacking)
    Enveloped,   // a Protected or Encrypted Document: left unchanged
    NoTimestamp, // the signature carries no timestamp whose time the data could prove
    Tampered,    // changed since it was signed: not touched
    Unreadable,  // not a container that could be decoded
    WriteFailed, // the new file could not be written; the old one is as it was
};

struct ExtensionResult {
    ExtensionOutcome outcome = ExtensionOutcome::Unreadable;
    DWORD error = 0;                   // the platform's code of a failure, when known
    std::vector<std::wstring> missing; // certificates for which evidence is still lacking
};

// Blocks while evidence is fetched (bounded in time). Never throws.
ExtensionResult ExtendLongTermData(const std::wstring& path);

// Whether the document `report` describes could gain data: an intact Signed Document with a
// timestamp whose signer's status its own kept data does not settle.
bool MayExtend(const ValidationReport& report);

} // namespace Dossiq::Documents
