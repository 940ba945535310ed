// Whether a signature's time-stamp token proves when it was made: its imprint matches this
// signature, its signature verifies with a hash still fit for it, it names its signer, it is
// not dated after the check, and its signer (time-stamping its only usage) chains, at the
// token's own time, to a trusted root without a revoked or unknown status. Only then are the
// signer's checks judged at that time.
#pragma once

#include <windows.h>

#include <string>

#include "document/timestamp/timestamp_token.h"

namespace Dossiq::Documents {

class Document;

struct TimestampReport {
    bool present = false;   // the signature carries a token
    bool used = false;      // the checks were judged at the token's time
    std::wstring time;      // the token's time, UTC ISO 8601, when it decoded
    std::wstring authority; // the authority's name, when the token was used
    TimestampProblem problem = TimestampProblem::None; // why a present token was not used
    FILETIME provenTime = {};                          // the token's time, when used
};

// Never throws; an opened document without a token gives present == false.
TimestampReport EvaluateTimestamp(const Document& document);

} // namespace Dossiq::Documents
