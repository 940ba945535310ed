// Helpers of the shell extension's tests: the real dossiqshell.dll loaded as the Explorer
// loads it, a data object holding a file-drop list, and the preferences folder pointed at a
// scratch folder for the whole program.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <functional>
#include <string>
#include <vector>

#include "common/drop_list.h"
#include "common/screenshot.h"
#include "common/window_pump.h"
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

inline MHFX::ComPtr<IDataObject> DropObject(const std::vector<std::wstring>& paths) {
    return TestSupport::DropDataObject(paths);
}
inline MHFX::ComPtr<IDataObject> EmptyObject() {
    return TestSupport::EmptyDataObject();
}

// The scratch application-data folder in force while the tests run, and the preferences
// file in it (written with the given language).
std::wstring AppData();
void WritePreferences(WORD language);

using TestSupport::Pump;
using TestSupport::PumpUntil;

using TestSupport::SaveScreenshot;

} // namespace ShellTest
