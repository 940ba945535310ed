#include "foundation/text/readable_text.h"

#include <cwchar>

namespace MHFX {

namespace {

bool IsControl(wchar_t c) noexcept {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

} // namespace

bool IsUnsafeToShow(wchar_t c) noexcept {
    return IsControl(c) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) ||
           c == 0x2028 || c == 0x2029;
}

std::wstring ReadableText(const std::wstring& text) {
    std::wstring shown;
    shown.reserve(text.size());
    for (wchar_t c : text) {
        if (!IsUnsafeToShow(c)) {
            shown += c;
            continue;
        }
        wchar_t spelled[12];
        std::swprintf(spelled, 12, IsControl(c) ? L"\\x%02X" : L"[U+%04X]",
                      static_cast<unsigned>(c));
        shown += spelled;
    }
    return shown;
}

} // namespace MHFX
