// User-interface texts and templates in the language of the preferences: every lookup
// tries the preference language first and falls back to the neutral language (0).
#pragma once

#include <windows.h>

#include <string>

namespace Dossiq::Config {

// The user-interface languages (Windows language identifiers).
constexpr WORD LanguageEnglish = 1033;
constexpr WORD LanguageSerbianLatin = 2074;
constexpr WORD LanguageSerbianCyrillic = 3098;

// A resource found, loaded and locked; it stays valid while its module is loaded.
struct LocalizedResource {
    const void* data = nullptr;
    DWORD size = 0;

    explicit operator bool() const { return data != nullptr; }
};

// String `id` of the running module in the preference language, else in the neutral
// language, else empty.
std::wstring LoadLocalizedString(UINT id);
std::wstring LoadLocalizedString(HMODULE module, WORD language, UINT id);

// Resource `type`/`id` of the running module in the preference language, else in the
// neutral language; empty when neither exists.
LocalizedResource FindLocalizedResource(LPCWSTR type, UINT id);
LocalizedResource FindLocalizedResource(HMODULE module, WORD language, LPCWSTR type, UINT id);

} // namespace Dossiq::Config
