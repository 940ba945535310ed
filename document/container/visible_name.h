// Entry names as they may be shown and written: the characters that reorder text around
// them (the bidirectional embeddings, overrides and isolates) are spelled out, so that a
// name such as "invoice<RLO>fdp.exe" cannot pass for a PDF. The marks (LRM, RLM, ALM) only
// settle the direction of neutral characters next to them and belong to right-to-left
// names as written: they are kept.
#pragma once

#include <string>

namespace Dossiq::Documents {

bool IsBidiControl(wchar_t c);
bool HasBidiControls(const std::wstring& name);
// `name` with each bidirectional control written as "[U+XXXX]"; unchanged without any.
std::wstring MakeBidiVisible(const std::wstring& name);

} // namespace Dossiq::Documents
