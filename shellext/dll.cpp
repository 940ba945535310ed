// The module file of dossiqshell.dll: the class table with one cached class factory per
// class, registration of the module and its classes, and the five exports.
#include <windows.h>

#include <new>

#include "resources/shellext/resource.h"
#include "shell/shell_module.h"
#include "shellext/class_factory.h"
#include "shellext/context_menu_handler.h"
#include "shellext/property_sheet_handler.h"

using namespace Dossiq::Shell;

// {ACE88176-2E46-4D4C-849F-D4D8651B6B29}
const CLSID CLSID_ContextMenuHandler = {
    0xACE88176, 0x2E46, 0x4D4C, {0x84, 0x9F, 0xD4, 0xD8, 0x65, 0x1B, 0x6B, 0x29}};
// {1798D8B8-6825-4610-A1EF-02363EA2C34C}
const CLSID CLSID_PropertySheetHandler = {
    0x1798D8B8, 0x6825, 0x4610, {0xA1, 0xEF, 0x02, 0x36, 0x3E, 0xA2, 0xC3, 0x4C}};

namespace {

struct ClassEntry {
    const CLSID* clsid;
    CreateInstanceFunction createInstance;
    UINT registryScript;
    // Tells the class that the module ends, so that it drops what it keeps process-wide.
    void (*moduleEnding)();
};

const ClassEntry kClasses[] = {
    {&CLSID_ContextMenuHandler, &ContextMenuHandler::CreateInstance, IDR_CONTEXT_MENU_REGISTRY,
     &ContextMenuHandler::ModuleEnding},
    {&CLSID_PropertySheetHandler, &PropertySheetHandler::CreateInstance,
     IDR_PROPERTY_SHEET_REGISTRY, nullptr},
};
constexpr std::size_t kClassCount = sizeof(kClasses) / sizeof(kClasses[0]);

ClassFactory* g_factories[kClassCount] = {};

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** result) noexcept {
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = nullptr;
    ShellModule& module = Module();
    if (!module.IsUsable() || module.IsTerminated()) {
        return E_UNEXPECTED;
    }
    for (std::size_t i = 0; i < kClassCount; ++i) {
        if (clsid != *kClasses[i].clsid) {
            continue;
        }
        ::EnterCriticalSection(&module.Section());
        if (g_factories[i] == nullptr) {
            g_factories[i] = new (std::nothrow) ClassFactory(kClasses[i].createInstance);
        }
        ClassFactory* factory = g_factories[i];
        const HRESULT hr = factory ? factory->QueryInterface(iid, result) : E_OUTOFMEMORY;
        ::LeaveCriticalSection(&module.Section());
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

// No class has component categories, and no type library is registered.
HRESULT RegisterServer() noexcept {
    SystemLocaleScope locale;
    HRESULT hr = Module().RunScript(IDR_MODULE_REGISTRY, true);
    for (std::size_t i = 0; SUCCEEDED(hr) && i < kClassCount; ++i) {
        hr = Module().RunScript(kClasses[i].registryScript, true);
    }
    return FAILED(hr) ? hr : S_OK;
}

HRESULT UnregisterServer() noexcept {
    SystemLocaleScope locale;
    HRESULT hr = S_OK;
    for (std::size_t i = 0; SUCCEEDED(hr) && i < kClassCount; ++i) {
        hr = Module().RunScript(kClasses[i].registryScript, false);
    }
    if (SUCCEEDED(hr)) {
        hr = Module().RunScript(IDR_MODULE_REGISTRY, false);
    }
    return FAILED(hr) ? hr : S_OK;
}

// Process detach: the classes are told, the factories and the context released.
void Terminate() noexcept {
    ShellModule& module = Module();
    if (!module.IsUsable() || module.IsTerminated()) {
        return;
    }
    for (std::size_t i = 0; i < kClassCount; ++i) {
        if (kClasses[i].moduleEnding) {
            kClasses[i].moduleEnding();
        }
        if (g_factories[i]) {
            // The module's own reference; a caller's would keep the module locked.
            g_factories[i]->Release();
            g_factories[i] = nullptr;
        }
    }
    module.Terminate();
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        return Module().IsUsable() ? TRUE : FALSE;
    }
    if (reason == DLL_PROCESS_DETACH) {
        Terminate();
    }
    return TRUE;
}

STDAPI DllCanUnloadNow() {
    return Module().CanUnloadNow();
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* result) {
    return GetClassObject(clsid, iid, result);
}

// "user" (any letter case, nothing after it) registers for the current user only.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
    if (commandLine != nullptr &&
        ::CompareStringOrdinal(commandLine, -1, L"user", -1, TRUE) == CSTR_EQUAL) {
        Module().SetPerUser(true);
    }
    if (install) {
        const HRESULT hr = RegisterServer();
        if (FAILED(hr)) {
            UnregisterServer();
        }
        return hr;
    }
    return UnregisterServer();
}

STDAPI DllRegisterServer() {
    return RegisterServer();
}

STDAPI DllUnregisterServer() {
    return UnregisterServer();
}
