// The one writer of a check's reason: one line from the report's codes and facts, in
// English for the JSON ("dossiq-verify-1" keeps these words byte for byte) or in the
// preference language for people, where the facts (a stranger's names and addresses) are
// spelled out. The details, the lines and the saved page read the same codes.
#pragma once

#include <string>

#include "document/report/validation_report.h"

namespace Dossiq::Documents {

enum class ReasonLanguage { English, Preference };

// The reason of check `check` of `signature`, a signature of `report` (or the report's
// Selected() when it has none).
std::wstring CheckReason(const ValidationReport& report, const SignatureFacts& signature, int check,
                         ReasonLanguage language);
// Why a signature's timestamp was not used, for the JSON "reason"; empty for none.
std::wstring TimestampReason(TimestampProblem problem, ReasonLanguage language);

} // namespace Dossiq::Documents
