// The per-user preferences shared by both deliverables: "Config.xml" in the folder
// "Korvane\Dossiq_VS" below the application-data folder, read and written through the
// MSXML 3.0 DOM. One object per process; only the manager ever changes a value.
#pragma once

#include <windows.h>

#include <string>

namespace Dossiq::Config {

class Preferences {
public:
    static constexpr WORD DefaultLanguage = 1033;
    static const wchar_t* const DefaultURL;

    // The process-wide object, created with the defaults on first use. Every user of the
    // preferences goes through it; tests construct objects of their own.
    static Preferences& Instance();
    Preferences();

    Preferences(const Preferences&) = delete;
    Preferences& operator=(const Preferences&) = delete;

    // Finds the file and reads it, or (re)creates it from the current values when it is
    // missing or unreadable. Never throws: a failing folder query, folder creation or DOM
    // call gives false.
    bool Load();
    // Loads the file at Path() into the fields; false when it is not well-formed XML or a
    // value is missing (the values read before that stay).
    bool Read();
    // Saves the fields to Path() when they differ from the file; true when nothing needed
    // saving or the save succeeded.
    bool Write();
    // Reads the file again and saves it with `language`, so that what was changed in the
    // file since it was loaded is kept; true when the file holds the language afterwards.
    bool WriteLanguage(WORD language);

    std::wstring Path() const;
    bool IsModified() const;
    WORD Language() const;
    // Marks the preferences modified when the value changes.
    void SetLanguage(WORD language);
    std::wstring QualifiedCAsURL() const;
    std::wstring CertChainsURL() const;
    // The RFC 3161 time-stamping service signatures are stamped by; empty: none.
    std::wstring TimestampURL() const;
    void SetTimestampURL(const std::wstring& url);
    // Whether signatures keep long-term validation data: "required", "optional" (the
    // default, also for a file without the element or with another value) or "off".
    std::wstring LongTerm() const;
    void SetLongTerm(const std::wstring& mode);
    // Whether what the user encrypts is encrypted for the user too ("Also for me"); off by
    // default, so that only the recipients open what is sent.
    bool EncryptForMe() const;
    void SetEncryptForMe(bool forMe);

private:
    bool LoadLocked();
    bool ReadLocked();
    bool WriteLocked();

    // Handlers in different threads of the Explorer load the same object.
    mutable SRWLOCK lock_ = SRWLOCK_INIT;
    std::wstring path_;
    bool modified_ = false;
    WORD language_ = DefaultLanguage;
    std::wstring qualifiedCAsURL_;
    std::wstring certChainsURL_;
    std::wstring timestampURL_;
    std::wstring longTerm_;
    bool encryptForMe_ = false;
};

} // namespace Dossiq::Config
