// The stamper signing commands hand to the message builder: a token from the configured
// time-stamping service, and when none valid comes, the user's choice between signing
// without one and not signing at all.
#pragma once

#include <functional>
#include <string>

#include "document/container/message_builder.h"
#include "document/timestamp/timestamp_token.h"

namespace Dossiq::Documents {

// Told why no token came; true signs without a timestamp, false cancels the signing.
using UnstampedChoice = std::function<bool(TimestampProblem problem)>;

// No stamper at all for an empty `url`. Cancelling ends the signing with ERROR_CANCELLED.
SignatureStamper TimestampStamper(const std::wstring& url, UnstampedChoice signWithout);

} // namespace Dossiq::Documents
