#include "foundation/resource_string.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <vector>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace MHFX {

HMODULE CurrentModule() { return reinterpret_cast<HMODULE>(&__ImageBase); }

bool FindStringEntry(HMODULE module, UINT id, LANGID language, std::wstring& text) {
    HRSRC info = ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
    if (info == nullptr) {
        return false;
    }
    HGLOBAL data = ::LoadResource(module, info);
    const auto* entry = data ? static_cast<const WCHAR*>(::LockResource(data)) : nullptr;
    if (entry == nullptr) {
        return false;
    }
    const DWORD size = ::SizeofResource(module, info) / sizeof(WCHAR);
    const WCHAR* end = entry + size;
    // A block holds 16 length-prefixed strings; walk to ours.
    for (UINT i = 0; i < id % 16; ++i) {
        if (entry >= end) {
            return false;
        }
        entry += 1 + *entry;
    }
    if (entry >= end || *entry == 0 || entry + 1 + *entry > end) {
        return false;
    }
    text.assign(entry + 1, *entry);
    return true;
}

std::wstring LoadNeutralString(UINT id) {
    std::wstring text;
    FindStringEntry(CurrentModule(), id, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), text);
    return text;
}

std::wstring FormatStringV(const wchar_t* format, ...) {
    std::vector<wchar_t> buffer(::wcslen(format) + 256);
    for (;;) {
        va_list args;
        va_start(args, format);
        const int written = ::_vsnwprintf(buffer.data(), buffer.size() - 1, format, args);
        va_end(args);
        if (written >= 0) {
            return std::wstring(buffer.data(), static_cast<size_t>(written));
        }
        if (buffer.size() > (1u << 24)) {
            return std::wstring();
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace MHFX
