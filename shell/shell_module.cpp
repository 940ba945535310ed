#include "shell/shell_module.h"

#include <new>

#include "foundation/resource_string.h"
#include "resources/shellext/resource.h"
#include "shell/com_object.h"
#include "shell/registry_script.h"

namespace Dossiq::Shell {

const wchar_t kApplicationId[] = L"{F9B1EA8C-3544-47DC-9AD6-8F1C9DE274B8}";

namespace {

ShellModule g_module;

} // namespace

ShellModule& Module() noexcept {
    return g_module;
}

ShellModule::ShellModule() noexcept {
    usable_ = ::InitializeCriticalSectionAndSpinCount(&section_, 0) != FALSE;
}

ShellModule::~ShellModule() {
    Terminate();
    if (usable_) {
        ::DeleteCriticalSection(&section_);
    }
}

HMODULE ShellModule::Handle() const noexcept {
    return MHFX::CurrentModule();
}

LONG ShellModule::Lock() noexcept {
    return ::InterlockedIncrement(&lockCount_);
}

LONG ShellModule::Unlock() noexcept {
    return ::InterlockedDecrement(&lockCount_);
}

LONG ShellModule::LockCount() const noexcept {
    return lockCount_;
}

UINT* ShellModule::LockCountAddress() noexcept {
    return reinterpret_cast<UINT*>(const_cast<LONG*>(&lockCount_));
}

HRESULT ShellModule::CanUnloadNow() const noexcept {
    return lockCount_ == 0 ? S_OK : S_FALSE;
}

HRESULT ShellModule::RunScript(UINT id, bool registering) noexcept {
    return ComBoundary([&] {
        const HMODULE module = Handle();
        HRSRC info = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"REGISTRY");
        HGLOBAL loaded = info ? ::LoadResource(module, info) : nullptr;
        const void* data = loaded ? ::LockResource(loaded) : nullptr;
        if (data == nullptr) {
            return HRESULT_FROM_WIN32(ERROR_RESOURCE_DATA_NOT_FOUND);
        }
        wchar_t path[MAX_PATH] = {};
        const DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) {
            return HRESULT_FROM_WIN32(length == 0 ? ::GetLastError() : ERROR_INSUFFICIENT_BUFFER);
        }
        const RegistryScript::Replacements replacements = {
            {L"APPID", kApplicationId},
            {L"MODULE", RegistryScript::Quote(path)},
            {L"MODULE_RAW", path},
        };
        return RegistryScript::Run(RegistryScript::Decode(data, ::SizeofResource(module, info)),
                                   replacements, registering, perUser_);
    });
}

HANDLE ShellModule::ActivationContext() noexcept {
    if (!usable_) {
        return nullptr;
    }
    ::EnterCriticalSection(&section_);
    if (!activationContextTried_) {
        activationContextTried_ = true;
        ACTCTXW context = {};
        context.cbSize = sizeof(context);
        context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID | ACTCTX_FLAG_HMODULE_VALID;
        context.hModule = Handle();
        context.lpResourceName = MAKEINTRESOURCEW(IDR_SHELL_MANIFEST);
        activationContext_ = ::CreateActCtxW(&context);
    }
    const HANDLE result = activationContext_ == INVALID_HANDLE_VALUE ? nullptr : activationContext_;
    ::LeaveCriticalSection(&section_);
    return result;
}

FARPROC ShellModule::FindCommonFunction(const wchar_t* library, const char* name) noexcept {
    ActivationScope scope;
    // The library stays loaded: it is one the module imports anyway.
    const HMODULE module = ::LoadLibraryW(library);
    return module ? ::GetProcAddress(module, name) : nullptr;
}

void ShellModule::Terminate() noexcept {
    if (!usable_ || terminated_) {
        return;
    }
    terminated_ = true;
    if (activationContext_ != INVALID_HANDLE_VALUE) {
        ::ReleaseActCtx(activationContext_);
        activationContext_ = INVALID_HANDLE_VALUE;
    }
}

ActivationScope::ActivationScope() noexcept {
    const HANDLE context = Module().ActivationContext();
    active_ = context != nullptr && ::ActivateActCtx(context, &cookie_) != FALSE;
}

ActivationScope::~ActivationScope() {
    if (active_) {
        ::DeactivateActCtx(0, cookie_);
    }
}

} // namespace Dossiq::Shell
