#include "document/container/visible_name.h"

#include <cwchar>

namespace Dossiq::Documents {

bool IsBidiControl(wchar_t c) {
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool HasBidiControls(const std::wstring& name) {
    for (wchar_t c : name) {
        if (IsBidiControl(c)) {
            return true;
        }
    }
    return false;
}

std::wstring MakeBidiVisible(const std::wstring& name) {
    std::wstring visible;
    visible.reserve(name.size());
    for (wchar_t c : name) {
        if (IsBidiControl(c)) {
            wchar_t code[12];
            swprintf(code, 12, L"[U+%04X]", static_cast<unsigned>(c));
            visible += code;
        } else {
            visible += c;
        }
    }
    return visible;
}

} // namespace Dossiq::Documents
