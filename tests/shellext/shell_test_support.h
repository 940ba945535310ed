// Helpers of the shell extension's tests: the real dossiqshell.dll loaded as the Explorer
// loads it, a data object holding a file-drop list, the preferences folder pointed at a
// scratch folder for the whole program, message pumping and screenshots.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <functional>
#include <string>
#include <vector>

#include "foundation/com_ptr.h"

namespace ShellTest {

extern const CLSID kContextMenuClass;
extern const CLSID kPropertySheetClass;

HMODULE Dll();
std::wstring DllPath();
void* Export(const char* name);

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** result);
HRESULT CanUnloadNow();
// An object of the class as the Explorer makes one: class object, then CreateInstance.
template <typename T> HRESULT Create(REFCLSID clsid, MHFX::ComPtr<T>& object) {
    MHFX::ComPtr<IClassFactory> factory;
    HRESULT hr = GetClassObject(clsid, IID_IClassFactory, factory.put_void());
    if (SUCCEEDED(hr)) {
        hr = factory->CreateInstance(nullptr, __uuidof(T), object.put_void());
    }
    return hr;
}

// A data object offering exactly one format, CF_HDROP in global memory, listing `paths`.
MHFX::ComPtr<IDataObject> DropObject(const std::vector<std::wstring>& paths);
// A data object that offers nothing.
MHFX::ComPtr<IDataObject> EmptyObject();

// The scratch application-data folder in force while the tests run, and the preferences
// file in it (written with the given language).
std::wstring AppData();
void WritePreferences(WORD language);

void Pump(DWORD milliseconds);
// Pumps messages until `done` holds or `timeoutMs` passed; the final value of `done`.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

// Saves what the window shows as screenshots\<name>.png in the test's build folder.
void SaveScreenshot(HWND window, const std::wstring& name);

} // namespace ShellTest
