// String-table access in the running module (the program or the DLL this code is linked
// into). Exception texts are always taken from the neutral table, never translated.
#pragma once

#include <windows.h>

#include <string>

#include "common/neutral_ids.h"

namespace MHFX {

// The module this library is linked into.
HMODULE CurrentModule();

// Entry `id` of the string table of `language` in `module`; nullopt-like empty result and
// false when the block or the entry is missing (an entry of length 0 counts as missing).
bool FindStringEntry(HMODULE module, UINT id, LANGID language, std::wstring& text);

// Entry `id` of the neutral table of the running module, empty when missing.
std::wstring LoadNeutralString(UINT id);

// printf-style formatting of a wide format string taken from a string table. The Microsoft
// flavour on purpose: "%s" in a wide format takes a wide string.
std::wstring FormatStringV(const wchar_t* format, ...);

// va_start needs a parameter that is not a reference, hence the forwarding template.
template <typename... Args>
std::wstring FormatString(const std::wstring& format, Args... args) {
    return FormatStringV(format.c_str(), args...);
}

} // namespace MHFX
