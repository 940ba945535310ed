// The process-wide language preference set for a scope and put back when it ends, also
// when the test fails on the way.
#pragma once

#include <windows.h>

#include "config/preferences.h"

namespace TestSupport {

class LanguageScope {
public:
    // `persist` also writes the preferences file, now and when putting the language back,
    // for tests that start the real program.
    explicit LanguageScope(WORD language, bool persist = false)
        : saved_(Dossiq::Config::Preferences::Instance().Language()), persist_(persist) {
        Set(language);
    }
    ~LanguageScope() { Set(saved_); }
    LanguageScope(const LanguageScope&) = delete;
    LanguageScope& operator=(const LanguageScope&) = delete;

    void Set(WORD language) {
        Dossiq::Config::Preferences::Instance().SetLanguage(language);
        if (persist_) {
            Dossiq::Config::Preferences::Instance().Write();
        }
    }

private:
    WORD saved_;
    bool persist_;
};

} // namespace TestSupport
