#include "config/localization.h"

#include "config/preferences.h"
#include "foundation/resource_string.h"

namespace Dossiq::Config {

namespace {

LocalizedResource LoadFound(HMODULE module, HRSRC info) {
    LocalizedResource resource;
    if (info == nullptr) {
        return resource;
    }
    HGLOBAL handle = ::LoadResource(module, info);
    const void* data = handle ? ::LockResource(handle) : nullptr;
    if (data != nullptr) {
        resource.data = data;
        resource.size = ::SizeofResource(module, info);
    }
    return resource;
}

} // namespace

std::wstring LoadLocalizedString(HMODULE module, WORD language, UINT id) {
    std::wstring text;
    if (!MHFX::FindStringEntry(module, id, language, text)) {
        // For a per-language id the platform's neutral search order picks a language.
        MHFX::FindStringEntry(module, id, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), text);
    }
    return text;
}

std::wstring LoadLocalizedString(UINT id) {
    return LoadLocalizedString(MHFX::CurrentModule(), Preferences::Instance().Language(), id);
}

LocalizedResource FindLocalizedResource(HMODULE module, WORD language, LPCWSTR type, UINT id) {
    LocalizedResource resource =
        LoadFound(module, ::FindResourceExW(module, type, MAKEINTRESOURCEW(id), language));
    if (!resource) {
        resource = LoadFound(module, ::FindResourceExW(module, type, MAKEINTRESOURCEW(id),
                                                       MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)));
    }
    return resource;
}

LocalizedResource FindLocalizedResource(LPCWSTR type, UINT id) {
    return FindLocalizedResource(MHFX::CurrentModule(), Preferences::Instance().Language(), type,
                                 id);
}

} // namespace Dossiq::Config
