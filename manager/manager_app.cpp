#include "manager/manager_app.h"

#include <commctrl.h>
#include <objbase.h>

#include "config/localization.h"
#include "config/preferences.h"
#include "ui/end_modal_message.h"
#include "document/report/report_messages.h"
#include "foundation/handle.h"
#include "foundation/resource_string.h"
#include "foundation/threading/thread.h"
#include "manager/about_dialog.h"
#include "manager/manager_window.h"
#include "manager/message_loop.h"
#include "resources/manager/resource.h"

using namespace Dossiq::Config;
using namespace Dossiq::Documents;

namespace Dossiq::Manager {

namespace {

class ComScope {
public:
    ComScope() : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) {
            ::CoUninitialize();
        }
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT hr_;
};

} // namespace

std::wstring PreferencesFailureText(const std::wstring& preferencesPath) {
    return MHFX::FormatString(LoadLocalizedString(IDS_PREFERENCES_FAILED),
                              preferencesPath.empty() ? L"Config.xml" : preferencesPath.c_str());
}

int RunManager(const wchar_t* commandLine, int showCommand) {
    ComScope com;
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_BAR_CLASSES | ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&controls);
    MHFX::ModuleHandle richEdit(::LoadLibraryW(L"RICHED20.DLL"));

    ReportMessages::Register();
    EndModalDialogMessage();
    MHFX::Thread::StartedMessage();
    MHFX::Thread::EndedMessage();

    Preferences& preferences = Preferences::Instance();
    if (!preferences.Load()) {
        // Without preferences there is no language: the neutral and default texts serve.
        ::MessageBoxW(nullptr, PreferencesFailureText(preferences.Path()).c_str(),
                      LoadLocalizedString(IDS_MANAGER_CAPTION).c_str(), MB_OK | MB_ICONERROR);
        return 0;
    }

    int exitCode = 0;
    {
        MessageLoop loop;
        ManagerWindow window(DocumentPathFromCommandLine(commandLine));
        if (!window.Create()) {
            return 0;
        }
        CenterWindow(window.Handle(), nullptr);
        ::ShowWindow(window.Handle(), showCommand);
        ::UpdateWindow(window.Handle());
        exitCode = loop.Run();
    }
    return exitCode;
}

} // namespace Dossiq::Manager
