#include "zip/zip_path_guard.h"

#include <windows.h>

#include <cwctype>

#include "foundation/io/full_path_name.h"

namespace ZipPathGuard {

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool EqualsNoCase(const std::wstring& a, const wchar_t* b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b, -1, TRUE) == CSTR_EQUAL;
}

} // namespace

bool IsReservedDeviceName(const std::wstring& component) {
    // The platform ignores the extension and trailing spaces and dots when it matches devices.
    std::wstring base = component.substr(0, component.find(L'.'));
    while (!base.empty() && (base.back() == L' ' || base.back() == L'.')) {
        base.pop_back();
    }
    static const wchar_t* const fixed[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* name : fixed) {
        if (EqualsNoCase(base, name)) {
            return true;
        }
    }
    if (base.size() == 4) {
        const std::wstring stem = base.substr(0, 3);
        const wchar_t digit = base[3];
        const bool numbered = (digit >= L'1' && digit <= L'9') || digit == L'\u00B9' ||
                              digit == L'\u00B2' || digit == L'\u00B3';
        if (numbered && (EqualsNoCase(stem, L"COM") || EqualsNoCase(stem, L"LPT"))) {
            return true;
        }
    }
    return false;
}

bool IsSafeEntryName(const std::wstring& name) {
    if (name.empty()) {
        return true;
    }
    if (IsSeparator(name[0]) || name.find(L':') != std::wstring::npos) {
        return false;
    }
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !IsSeparator(name[end])) {
            ++end;
        }
        const std::wstring component = name.substr(start, end - start);
        if (!component.empty()) {
            if (component.find_first_not_of(L". ") == std::wstring::npos) {
                return false;
            }
            if (IsReservedDeviceName(component)) {
                return false;
            }
            for (wchar_t c : component) {
                if (c < 0x20) {
                    return false;
                }
            }
        }
        start = end + 1;
    }
    return true;
}

std::wstring TargetPath(const std::wstring& destination, const std::wstring& source,
                        bool withPath) {
    if (source.empty()) {
        return destination;
    }
    std::wstring target = destination;
    if (!target.empty()) {
        while (!target.empty() && IsSeparator(target.back())) {
            target.pop_back();
        }
        target += L'\\';
    }
    size_t first = 0;
    while (first < source.size() && IsSeparator(source[first])) {
        ++first;
    }
    std::wstring name = source.substr(first);
    if (withPath) {
        if (name.size() >= 2 && name[1] == L':') {
            name.erase(0, 2);
            while (!name.empty() && IsSeparator(name[0])) {
                name.erase(0, 1);
            }
        }
    } else {
        std::wstring trimmed = name;
        while (!trimmed.empty() && IsSeparator(trimmed.back())) {
            trimmed.pop_back();
        }
        const size_t slash = trimmed.find_last_of(L"\\/");
        name = slash == std::wstring::npos ? trimmed : trimmed.substr(slash + 1);
    }
    for (wchar_t& c : name) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return target + name;
}

bool IsInside(const std::wstring& folder, const std::wstring& target) {
    std::wstring base;
    std::wstring full;
    if (!MHFX::IO::TryGetFullPathName(folder.empty() ? L"." : folder, base) ||
        !MHFX::IO::TryGetFullPathName(target, full)) {
        return false;
    }
    while (!base.empty() && IsSeparator(base.back())) {
        base.pop_back();
    }
    std::wstring resolved = full;
    while (resolved.size() > base.size() && IsSeparator(resolved.back())) {
        resolved.pop_back();
    }
    if (resolved.size() < base.size() ||
        ::CompareStringOrdinal(resolved.c_str(), static_cast<int>(base.size()), base.c_str(),
                               static_cast<int>(base.size()), TRUE) != CSTR_EQUAL) {
        return false;
    }
    return resolved.size() == base.size() || IsSeparator(resolved[base.size()]);
}

} // namespace ZipPathGuard
