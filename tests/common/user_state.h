// Per-user state a test changes for a while and puts back even when it fails.
#pragma once

#include <windows.h>

#include <string>

namespace TestSupport {

// Points the user's application-data folder (and so the preferences file) at `folder`
// until destroyed; the previous value, or its absence, comes back then.
class AppDataRedirect {
public:
    explicit AppDataRedirect(const std::wstring& folder);
    ~AppDataRedirect();
    AppDataRedirect(const AppDataRedirect&) = delete;
    AppDataRedirect& operator=(const AppDataRedirect&) = delete;

    // Points it somewhere else while this object still restores the original.
    void Set(const std::wstring& folder);
    // The value in the registry now, empty when there is none.
    static std::wstring Current();

private:
    bool hadOld_ = false;
    DWORD oldType_ = REG_SZ;
    std::wstring old_;
};

} // namespace TestSupport
