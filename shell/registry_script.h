// A registrar for scripts in the ATL registrar format:
//
//   HKCR
//   {
//       NoRemove CLSID
//       {
//           ForceRemove {...} = s 'Name'
//           {
//               InprocServer32 = s '%MODULE%'
//               {
//                   val ThreadingModel = s 'Apartment'
//               }
//           }
//       }
//   }
//
// Roots HKCR, HKCU, HKLM, HKU (or their long names); key flags NoRemove, ForceRemove,
// Delete; `= type 'value'` after a key name sets its default value, `val name = ...` a
// named value; types s (string), e (expandable string), d (number), b (hex bytes). Names
// and values may be quoted with single quotes ('' is a quote); %NAME% is replaced before
// parsing and %% gives a percent sign.
//
// Registering creates what the script names (ForceRemove keys are deleted with their
// subkeys first, Delete keys are deleted). Unregistering deletes ForceRemove keys whole,
// the named values, and every key without a flag once nothing is left in it; NoRemove keys
// stay. A key without a flag that already existed empty before registering is kept by
// unregistering, so the pair leaves the registry as it found it. Per user, HKCR stands for
// HKCU\Software\Classes and HKLM for HKCU.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Dossiq::Shell {

class RegistryScript {
public:
    using Replacements = std::vector<std::pair<std::wstring, std::wstring>>;

    // A script that cannot be parsed (or names an unknown replacement) gives this code and
    // changes nothing.
    static constexpr HRESULT SyntaxError = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

    // The value a kept key carries while it holds registered content.
    static constexpr wchar_t KeepMarker[] = L"RegistrarKeepsKey";

    // Runs `script`; the first failing registry call's HRESULT, else S_OK.
    static HRESULT Run(std::wstring_view script, const Replacements& replacements, bool registering,
                       bool perUser) noexcept;

    // The text of a script resource: UTF-16 with a byte-order mark, else UTF-8.
    static std::wstring Decode(const void* data, DWORD size);

    // `text` with ' doubled, for a replacement put inside quotes.
    static std::wstring Quote(const std::wstring& text);
};

} // namespace Dossiq::Shell
