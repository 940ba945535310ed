// A stranger's text as it may be shown to a person: control characters (C0, DEL, C1) and the
// characters that reorder or break the text around them (bidirectional embeddings,
// overrides and isolates, line and paragraph separators) are spelled out, "\x1B" and
// "[U+202E]", so a name cannot move the cursor, forge a line or pass for another name.
// The marks LRM, RLM and ALM stay: right-to-left names need them and they reorder nothing.
#pragma once

#include <string>

namespace MHFX {

// Whether `c` is one of the characters ReadableText spells out.
bool IsUnsafeToShow(wchar_t c) noexcept;
// `text` with every such character spelled out; unchanged without any.
std::wstring ReadableText(const std::wstring& text);

} // namespace MHFX
