// The report line after the six that says when the checks were judged: at the signing time
// a timestamp proved, or (with the reason) now, because a present timestamp was not used.
#pragma once

#include <string>

#include "document/report/timestamp_evaluation.h"

namespace Dossiq::Documents {

// In the preference language; empty when the signature carries no timestamp.
std::wstring TimestampLineText(const TimestampReport& timestamp);
// The reason, in the preference language.
std::wstring LocalizedTimestampProblem(TimestampProblem problem);

} // namespace Dossiq::Documents
