// shell_run.exe: starts a program through the desktop's Explorer, so that it runs with the
// user's normal rights even when the caller (the installer's finish page) runs elevated. An
// elevated manager would refuse files dragged from the unelevated Explorer.
//
//   shell_run.exe PROGRAM [FOLDER]
//
// The desktop's Explorer is found through ShellWindows, and its Shell.Application object
// (IShellDispatch2::ShellExecute) runs the program inside Explorer's own process. Exit code 0
// when Explorer took the command, 1 when there is no desktop shell to ask, 2 on bad usage.
// Ships only inside the installer, which runs it from its temporary folder.
#include <windows.h>
#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include "foundation/com_ptr.h"

namespace {

using MHFX::ComPtr;

// A VARIANT holding a BSTR, freed on every path.
class BstrVariant {
public:
    explicit BstrVariant(const wchar_t* text) {
        VariantInit(&value_);
        value_.vt = VT_BSTR;
        value_.bstrVal = SysAllocString(text);
    }
    ~BstrVariant() { VariantClear(&value_); }
    BstrVariant(const BstrVariant&) = delete;
    BstrVariant& operator=(const BstrVariant&) = delete;
    VARIANT& get() { return value_; }
    bool valid() const { return value_.bstrVal != nullptr; }

private:
    VARIANT value_;
};

ComPtr<IShellDispatch2> DesktopShell() {
    ComPtr<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER,
                                IID_PPV_ARGS(windows.put())))) {
        return {};
    }
    VARIANT location;
    VariantInit(&location);
    location.vt = VT_I4;
    location.lVal = CSIDL_DESKTOP;
    VARIANT root;
    VariantInit(&root);
    long window = 0;
    ComPtr<IDispatch> desktop;
    if (windows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                              desktop.put()) != S_OK ||
        !desktop) {
        return {};
    }
    ComPtr<IServiceProvider> provider;
    ComPtr<IShellBrowser> browser;
    ComPtr<IShellView> view;
    ComPtr<IDispatch> background;
    ComPtr<IShellFolderViewDual> folderView;
    ComPtr<IDispatch> application;
    ComPtr<IShellDispatch2> shell;
    if (FAILED(desktop.As(provider)) ||
        FAILED(provider->QueryService(SID_STopLevelBrowser, IID_PPV_ARGS(browser.put()))) ||
        FAILED(browser->QueryActiveShellView(view.put())) || !view ||
        FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_PPV_ARGS(background.put()))) ||
        FAILED(background.As(folderView)) ||
        FAILED(folderView->get_Application(application.put())) || !application ||
        FAILED(application.As(shell))) {
        return {};
    }
    return shell;
}

int Run(const wchar_t* program, const wchar_t* folder) {
    const ComPtr<IShellDispatch2> shell = DesktopShell();
    if (!shell)
        return 1;
    BstrVariant file(program);
    BstrVariant arguments(L"");
    BstrVariant directory(folder);
    BstrVariant operation(L"open");
    VARIANT show;
    VariantInit(&show);
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    HRESULT hr = E_OUTOFMEMORY;
    if (file.valid() && arguments.valid() && directory.valid() && operation.valid()) {
        hr = shell->ShellExecute(file.get().bstrVal, arguments.get(), directory.get(),
                                 operation.get(), show);
    }
    return SUCCEEDED(hr) ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2 || argc > 3)
        return 2;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    int result = 1;
    try {
        result = Run(argv[1], argc == 3 ? argv[2] : L"");
    } catch (...) {
        result = 1;
    }
    CoUninitialize();
    return result;
}
