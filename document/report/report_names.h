// The stable names of the report's codes, as the JSON writes them and the console shows
// them: one table each, read by every renderer that names a code.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "document/report/validation_report.h"

namespace Dossiq::Documents {

const wchar_t* DecodingName(DecodingOutcome outcome);
const wchar_t* CheckName(int check);
const wchar_t* CheckStatusName(CheckStatus status);
const wchar_t* QualifiedCriterionName(QualifiedCriterion criterion);
// "keyCompromise" and the others of RFC 5280; empty for no code or one outside the list.
const wchar_t* RevocationReasonName(int code);
// The number of revocation reason codes named (0 to this, exclusive).
constexpr int kRevocationReasonCount = 11;

// Names as a list, "a, b".
std::wstring JoinNames(const std::vector<std::wstring>& names);

// The chain engine's error bits under stable names ("NotTimeValid", ...), in one order.
std::vector<std::wstring> ChainErrorNames(DWORD bits);
// The bits each failed check is about (the validity, chain, CRL and revocation checks).
DWORD ChainBitsOfCheck(int check);

} // namespace Dossiq::Documents
