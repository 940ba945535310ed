// The module object and the five exports of dossiqshell.dll.
#include "shellext/shell_module.h"

#include <objbase.h>
#include <shlwapi.h>

#include <new>

#include "foundation/resource_string.h"
#include "resources/shellext/resource.h"
#include "shellext/class_factory.h"
#include "shellext/context_menu_handler.h"
#include "shellext/property_sheet_handler.h"
#include "shellext/registry_script.h"

// {ACE88176-2E46-4D4C-849F-D4D8651B6B29}
const CLSID CLSID_ContextMenuHandler = {
    0xACE88176, 0x2E46, 0x4D4C, {0x84, 0x9F, 0xD4, 0xD8, 0x65, 0x1B, 0x6B, 0x29}};
// {1798D8B8-6825-4610-A1EF-02363EA2C34C}
const CLSID CLSID_PropertySheetHandler = {
    0x1798D8B8, 0x6825, 0x4610, {0xA1, 0xEF, 0x02, 0x36, 0x3E, 0xA2, 0xC3, 0x4C}};
const wchar_t kApplicationId[] = L"{F9B1EA8C-3544-47DC-9AD6-8F1C9DE274B8}";

namespace {

const ClassEntry kClasses[] = {
    {&CLSID_ContextMenuHandler, &ContextMenuHandler::CreateInstance, IDR_CONTEXT_MENU_REGISTRY,
     &ContextMenuHandler::ModuleEnding},
    {&CLSID_PropertySheetHandler, &PropertySheetHandler::CreateInstance,
     IDR_PROPERTY_SHEET_REGISTRY, nullptr},
};
constexpr std::size_t kClassCount = sizeof(kClasses) / sizeof(kClasses[0]);

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

HRESULT ShellModule::GetClassObject(REFCLSID clsid, REFIID iid, void** result) noexcept {
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = nullptr;
    if (!usable_ || terminated_) {
        return E_UNEXPECTED;
    }
    for (std::size_t i = 0; i < kClassCount; ++i) {
        if (clsid != *kClasses[i].clsid) {
            continue;
        }
        ::EnterCriticalSection(&section_);
        if (factories_[i] == nullptr) {
            factories_[i] = new (std::nothrow) ClassFactory(kClasses[i].createInstance);
        }
        ClassFactory* factory = factories_[i];
        const HRESULT hr = factory ? factory->QueryInterface(iid, result) : E_OUTOFMEMORY;
        ::LeaveCriticalSection(&section_);
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT ShellModule::RunScript(UINT id, bool registering) noexcept {
    try {
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
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// No class has component categories, and no type library is registered.
HRESULT ShellModule::RegisterServer() noexcept {
    SystemLocaleScope locale;
    HRESULT hr = RunScript(IDR_MODULE_REGISTRY, true);
    for (std::size_t i = 0; SUCCEEDED(hr) && i < kClassCount; ++i) {
        hr = RunScript(kClasses[i].registryScript, true);
    }
    return FAILED(hr) ? hr : S_OK;
}

HRESULT ShellModule::UnregisterServer() noexcept {
    SystemLocaleScope locale;
    HRESULT hr = S_OK;
    for (std::size_t i = 0; SUCCEEDED(hr) && i < kClassCount; ++i) {
        hr = RunScript(kClasses[i].registryScript, false);
    }
    if (SUCCEEDED(hr)) {
        hr = RunScript(IDR_MODULE_REGISTRY, false);
    }
    return FAILED(hr) ? hr : S_OK;
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
    for (std::size_t i = 0; i < kClassCount; ++i) {
        if (kClasses[i].moduleEnding) {
            kClasses[i].moduleEnding();
        }
        if (factories_[i]) {
            // The module's own reference; a caller's would keep the module locked.
            factories_[i]->Release();
            factories_[i] = nullptr;
        }
    }
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

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        return g_module.IsUsable() ? TRUE : FALSE;
    }
    if (reason == DLL_PROCESS_DETACH) {
        g_module.Terminate();
    }
    return TRUE;
}

STDAPI DllCanUnloadNow() {
    return g_module.CanUnloadNow();
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* result) {
    return g_module.GetClassObject(clsid, iid, result);
}

// "user" (any letter case, nothing after it) registers for the current user only.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
    if (commandLine != nullptr &&
        ::CompareStringOrdinal(commandLine, -1, L"user", -1, TRUE) == CSTR_EQUAL) {
        g_module.SetPerUser(true);
    }
    if (install) {
        const HRESULT hr = g_module.RegisterServer();
        if (FAILED(hr)) {
            g_module.UnregisterServer();
        }
        return hr;
    }
    return g_module.UnregisterServer();
}

STDAPI DllRegisterServer() {
    return g_module.RegisterServer();
}

STDAPI DllUnregisterServer() {
    return g_module.UnregisterServer();
}
