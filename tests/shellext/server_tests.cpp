// The in-process server as the Explorer and regsvr32 use it: exports, class objects, the
// lock count, and registration into a real registry.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include "common/test_support.h"
#include "foundation/handle.h"
#include "shell_test_support.h"

using namespace ShellTest;

namespace {

TEST(Server, ExportsTheFiveEntryPointsByNameAndOrdinal) {
    ASSERT_NE(nullptr, Dll()) << TestSupport::Narrow(DllPath());
    const char* names[] = {"DllCanUnloadNow", "DllGetClassObject", "DllInstall",
                           "DllRegisterServer", "DllUnregisterServer"};
    for (WORD ordinal = 1; ordinal <= 5; ++ordinal) {
        const FARPROC byName = ::GetProcAddress(Dll(), names[ordinal - 1]);
        ASSERT_NE(nullptr, byName) << names[ordinal - 1];
        EXPECT_EQ(byName, ::GetProcAddress(Dll(), MAKEINTRESOURCEA(ordinal))) << ordinal;
    }
}

TEST(Server, ClassObjectsAnswerAsTheExplorerExpects) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, GetClassObject(IID_IUnknown, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, GetClassObject(kContextMenuClass, IID_IClassFactory, nullptr));

    for (const CLSID* clsid : {&kContextMenuClass, &kPropertySheetClass}) {
        MHFX::ComPtr<IClassFactory> factory;
        ASSERT_EQ(S_OK, GetClassObject(*clsid, IID_IClassFactory, factory.put_void()));
        MHFX::ComPtr<IClassFactory> again;
        ASSERT_EQ(S_OK, GetClassObject(*clsid, IID_IUnknown, again.put_void()));
        EXPECT_EQ(static_cast<IUnknown*>(factory.get()), static_cast<IUnknown*>(again.get()));

        IUnknown* outer = factory.get();
        out = reinterpret_cast<void*>(1);
        EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(outer, IID_IUnknown, &out));
        EXPECT_EQ(nullptr, out);
        EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, IID_IUnknown, nullptr));
        EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IDataObject, &out));
        EXPECT_EQ(nullptr, out);
    }

    // The interfaces of each class, and none of the other's.
    const struct {
        const CLSID* clsid;
        std::vector<const IID*> answered;
        std::vector<const IID*> refused;
    } classes[] = {
        {&kContextMenuClass,
         {&IID_IUnknown, &IID_IShellExtInit, &IID_IContextMenu, &IID_IContextMenu2,
          &IID_IContextMenu3},
         {&IID_IShellPropSheetExt, &IID_IClassFactory}},
        {&kPropertySheetClass,
         {&IID_IUnknown, &IID_IShellExtInit, &IID_IShellPropSheetExt},
         {&IID_IContextMenu, &IID_IContextMenu3}},
    };
    for (const auto& c : classes) {
        MHFX::ComPtr<IUnknown> object;
        ASSERT_EQ(S_OK, Create(*c.clsid, object));
        for (const IID* iid : c.answered) {
            MHFX::ComPtr<IUnknown> answer;
            EXPECT_EQ(S_OK, object->QueryInterface(*iid, answer.put_void()));
            MHFX::ComPtr<IUnknown> identity;
            ASSERT_EQ(S_OK, answer->QueryInterface(IID_IUnknown, identity.put_void()));
            EXPECT_EQ(object.get(), identity.get());
        }
        for (const IID* iid : c.refused) {
            MHFX::ComPtr<IUnknown> answer;
            EXPECT_EQ(E_NOINTERFACE, object->QueryInterface(*iid, answer.put_void()));
        }
    }
}

TEST(Server, CanUnloadOnlyWithoutObjectsAndLocks) {
    ASSERT_EQ(S_OK, CanUnloadNow());
    {
        MHFX::ComPtr<IContextMenu> menu;
        ASSERT_EQ(S_OK, Create(kContextMenuClass, menu));
        EXPECT_EQ(S_FALSE, CanUnloadNow());
        MHFX::ComPtr<IShellPropSheetExt> sheet;
        ASSERT_EQ(S_OK, Create(kPropertySheetClass, sheet));
        menu.reset();
        EXPECT_EQ(S_FALSE, CanUnloadNow());
    }
    EXPECT_EQ(S_OK, CanUnloadNow());

    MHFX::ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, GetClassObject(kContextMenuClass, IID_IClassFactory, factory.put_void()));
    EXPECT_EQ(S_FALSE, CanUnloadNow()) << "a factory held outside the module";
    ASSERT_EQ(S_OK, factory->LockServer(TRUE));
    factory.reset();
    EXPECT_EQ(S_FALSE, CanUnloadNow());
    ASSERT_EQ(S_OK, GetClassObject(kContextMenuClass, IID_IClassFactory, factory.put_void()));
    ASSERT_EQ(S_OK, factory->LockServer(FALSE));
    factory.reset();
    EXPECT_EQ(S_OK, CanUnloadNow());
}

// --- Registration ---------------------------------------------------------------------

const wchar_t kMenuKey[] = L"CLSID\\{ACE88176-2E46-4D4C-849F-D4D8651B6B29}";
const wchar_t kPageKey[] = L"CLSID\\{1798D8B8-6825-4610-A1EF-02363EA2C34C}";
const wchar_t kApproved[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

DWORD RunWindowsProgram(const std::wstring& commandLine) {
    std::wstring command = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
        return ::GetLastError() | 0x80000000;
    }
    MHFX::KernelHandle thread(process.hThread);
    MHFX::KernelHandle handle(process.hProcess);
    if (::WaitForSingleObject(handle.get(), 120000) != WAIT_OBJECT_0) {
        return WAIT_TIMEOUT;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(handle.get(), &code);
    return code;
}

DWORD Regsvr32(const std::wstring& options) {
    return RunWindowsProgram(L"regsvr32.exe /s " + options + L" \"" + DllPath() + L"\"");
}

// What regedit exports of the branches registration may touch.
std::string ExportRegistry() {
    std::string all;
    for (const wchar_t* key :
         {L"HKEY_LOCAL_MACHINE\\Software\\Classes", L"HKEY_CURRENT_USER\\Software\\Classes",
          L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions",
          L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion"}) {
        const std::wstring file = TestSupport::MakeTempDir(L"export") + L"\\branch.reg";
        EXPECT_EQ(0u, RunWindowsProgram(L"regedit.exe /E \"" + file + L"\" \"" + key + L"\""));
        all += TestSupport::ReadFileBytes(file);
    }
    return all;
}

std::wstring ReadString(HKEY root, const std::wstring& key, const wchar_t* name) {
    wchar_t value[1024] = {};
    DWORD size = sizeof(value);
    if (::RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS) {
        return L"<missing>";
    }
    return value;
}

bool KeyExists(HKEY root, const std::wstring& key) {
    MHFX::RegKeyHandle handle;
    return ::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, handle.put()) == ERROR_SUCCESS;
}

// Everything the Explorer needs, below `classes` and `approvals`.
void ExpectRegistered(HKEY classes, const std::wstring& prefix, HKEY approvals) {
    const std::wstring menuClass = L"{ACE88176-2E46-4D4C-849F-D4D8651B6B29}";
    const std::wstring pageClass = L"{1798D8B8-6825-4610-A1EF-02363EA2C34C}";
    for (const std::wstring& key : {prefix + kMenuKey, prefix + kPageKey}) {
        EXPECT_EQ(DllPath(), ReadString(classes, key + L"\\InprocServer32", nullptr));
        EXPECT_EQ(L"Apartment", ReadString(classes, key + L"\\InprocServer32", L"ThreadingModel"));
    }
    for (const wchar_t* type : {L"*", L"Directory"}) {
        EXPECT_EQ(
            menuClass,
            ReadString(classes, prefix + type + L"\\shellex\\ContextMenuHandlers\\Dossiq", nullptr))
            << TestSupport::Narrow(type);
    }
    for (const wchar_t* extension : {L".snx", L".pnx", L".enx"}) {
        EXPECT_EQ(pageClass, ReadString(classes,
                                        prefix + L"SystemFileAssociations\\" + extension +
                                            L"\\shellex\\PropertySheetHandlers\\Dossiq",
                                        nullptr));
    }
    EXPECT_EQ(
        L"dossiqshell",
        ReadString(classes, prefix + L"AppID\\{F9B1EA8C-3544-47DC-9AD6-8F1C9DE274B8}", nullptr));
    EXPECT_NE(L"<missing>", ReadString(approvals, kApproved, menuClass.c_str()));
    EXPECT_NE(L"<missing>", ReadString(approvals, kApproved, pageClass.c_str()));
}

TEST(Registration, MachineWideRegistrationIsUndoneExactly) {
    const std::string before = ExportRegistry();
    ASSERT_EQ(0u, Regsvr32(L""));
    ExpectRegistered(HKEY_LOCAL_MACHINE, L"Software\\Classes\\", HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(L"Software\\Classes\\") + kMenuKey));
    // Registering twice changes nothing more.
    ASSERT_EQ(0u, Regsvr32(L""));
    ASSERT_EQ(0u, Regsvr32(L"/u"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kMenuKey));
    EXPECT_TRUE(before == ExportRegistry()) << "the registry differs after unregistration";
}

TEST(Registration, PerUserRegistrationGoesToTheUsersClasses) {
    const std::string before = ExportRegistry();
    ASSERT_EQ(0u, Regsvr32(L"/i:USER /n"));
    ExpectRegistered(HKEY_CURRENT_USER, L"Software\\Classes\\", HKEY_CURRENT_USER);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(L"Software\\Classes\\") + kMenuKey));
    EXPECT_EQ(L"<missing>",
              ReadString(HKEY_LOCAL_MACHINE, kApproved, L"{ACE88176-2E46-4D4C-849F-D4D8651B6B29}"));
    ASSERT_EQ(0u, Regsvr32(L"/u /i:user /n"));
    EXPECT_TRUE(before == ExportRegistry()) << "the registry differs after unregistration";
}

TEST(Registration, OnlyTheWholeWordUserSwitchesToPerUser) {
    using Install = HRESULT(WINAPI*)(BOOL, LPCWSTR);
    const auto install = reinterpret_cast<Install>(ShellTest::Export("DllInstall"));
    ASSERT_NE(nullptr, install);
    const LCID locale = MAKELCID(MAKELANGID(LANG_SERBIAN, 0x07), SORT_DEFAULT);
    // The thread's own locale comes back even when a check below stops the test.
    struct LocaleScope {
        ~LocaleScope() { ::SetThreadLocale(LOCALE_USER_DEFAULT); }
    } localeScope;
    ASSERT_TRUE(::SetThreadLocale(locale));
    // "user " and "users" are not "user": registration stays machine-wide.
    for (const wchar_t* text : {L"user ", L"users", L""}) {
        ASSERT_EQ(S_OK, install(TRUE, text));
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(L"Software\\Classes\\") + kMenuKey))
            << TestSupport::Narrow(text);
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(L"Software\\Classes\\") + kMenuKey));
        ASSERT_EQ(S_OK, install(FALSE, text));
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kMenuKey));
    }
    EXPECT_EQ(locale, ::GetThreadLocale()) << "the thread's locale is put back";
}

} // namespace
