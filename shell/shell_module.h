// The state of the in-process server that its objects share: the module's lock count,
// registration through the module's registry scripts, and the module's own activation
// context for the common controls version 6. The class table and the exports are the
// DLL's module file; in a test program the module is the program itself.
#pragma once

#include <windows.h>

#include <string>

namespace Dossiq::Shell {

class ShellModule {
public:
    ShellModule() noexcept;
    ~ShellModule();
    ShellModule(const ShellModule&) = delete;
    ShellModule& operator=(const ShellModule&) = delete;

    // False when the module could not be set up; the DLL then refuses to load.
    bool IsUsable() const noexcept { return usable_; }
    HMODULE Handle() const noexcept;

    LONG Lock() noexcept;
    LONG Unlock() noexcept;
    LONG LockCount() const noexcept;
    // The count itself, handed to the shell as a property page's reference counter.
    UINT* LockCountAddress() noexcept;

    HRESULT CanUnloadNow() const noexcept;

    void SetPerUser(bool perUser) noexcept { perUser_ = perUser; }
    bool IsPerUser() const noexcept { return perUser_; }
    // Runs registry script resource `id` of the module, per user when SetPerUser said so.
    HRESULT RunScript(UINT id, bool registering) noexcept;

    // Built on first use from manifest resource 2; null when the system cannot build it.
    HANDLE ActivationContext() noexcept;
    // A common-controls or common-dialog function looked up inside the module's activation
    // context, so that version 6 answers whatever the host process uses.
    FARPROC FindCommonFunction(const wchar_t* library, const char* name) noexcept;

    // Guards what the module builds on first use (the context, the class objects).
    CRITICAL_SECTION& Section() noexcept { return section_; }

    // Process detach: the context is released.
    void Terminate() noexcept;
    bool IsTerminated() const noexcept { return terminated_; }

private:
    volatile LONG lockCount_ = 0;
    CRITICAL_SECTION section_;
    bool usable_ = false;
    bool perUser_ = false;
    bool terminated_ = false;
    HANDLE activationContext_ = INVALID_HANDLE_VALUE;
    bool activationContextTried_ = false;
};

// The one module object of the process's copy of the library.
ShellModule& Module() noexcept;

// Holds one module lock for as long as it lives.
class ModuleLock {
public:
    ModuleLock() noexcept { Module().Lock(); }
    ~ModuleLock() { Module().Unlock(); }
    ModuleLock(const ModuleLock&) = delete;
    ModuleLock& operator=(const ModuleLock&) = delete;
};

// Activates the module's activation context for the scope (nothing when it has none).
class ActivationScope {
public:
    ActivationScope() noexcept;
    ~ActivationScope();
    ActivationScope(const ActivationScope&) = delete;
    ActivationScope& operator=(const ActivationScope&) = delete;

private:
    ULONG_PTR cookie_ = 0;
    bool active_ = false;
};

// Sets the calling thread's locale to the system default and puts the old one back.
class SystemLocaleScope {
public:
    SystemLocaleScope() noexcept : saved_(::GetThreadLocale()) {
        ::SetThreadLocale(LOCALE_SYSTEM_DEFAULT);
    }
    ~SystemLocaleScope() { ::SetThreadLocale(saved_); }
    SystemLocaleScope(const SystemLocaleScope&) = delete;
    SystemLocaleScope& operator=(const SystemLocaleScope&) = delete;

private:
    LCID saved_;
};

// The application identifier the registry scripts name.
extern const wchar_t kApplicationId[];

} // namespace Dossiq::Shell
