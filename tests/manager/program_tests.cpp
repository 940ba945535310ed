// VantorManager.exe itself: the exit codes, the message when the preferences cannot be
// loaded, and the language change that restarts the program with the same container.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <shlobj.h>

#include "common/language_scope.h"
#include "common/test_support.h"
#include "config/localization.h"
#include "config/preferences.h"
#include "foundation/environment.h"
#include "foundation/resource_string.h"
#include "manager/manager_test_support.h"
#include "resources/manager/resource.h"

using namespace Dossiq::Config;

namespace {

using namespace ManagerTest;

std::wstring ProgramPath() {
    return TestSupport::BuildDir() + L"\\manager\\VantorManager.exe";
}

struct Process {
    PROCESS_INFORMATION info = {};
    ~Process() {
        if (info.hProcess) {
            if (::WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) {
                ::TerminateProcess(info.hProcess, 99);
            }
            ::CloseHandle(info.hProcess);
            ::CloseHandle(info.hThread);
        }
    }
    DWORD Wait(DWORD timeoutMs) {
        if (::WaitForSingleObject(info.hProcess, timeoutMs) != WAIT_OBJECT_0) {
            return STILL_ACTIVE;
        }
        DWORD code = 0;
        ::GetExitCodeProcess(info.hProcess, &code);
        return code;
    }
};

// Under load the test system now and then fails to start a process at once (seen with five
// started together); the program is not involved yet, so a start is tried again.
bool Start(Process& process, const std::wstring& arguments) {
    std::wstring line = L"\"" + ProgramPath() + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (::CreateProcessW(ProgramPath().c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                             nullptr, nullptr, &startup, &process.info)) {
            return true;
        }
        std::printf("starting the program failed (%lu), trying again\n", ::GetLastError());
        ::Sleep(500);
    }
    return false;
}

struct Found {
    DWORD pid; // 0: any process but ours and `notPid`
    DWORD notPid;
    const wchar_t* className;
    HWND hwnd;
};

BOOL CALLBACK FindTop(HWND hwnd, LPARAM parameter) {
    auto* found = reinterpret_cast<Found*>(parameter);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    wchar_t name[64] = {};
    ::GetClassNameW(hwnd, name, 64);
    const bool process =
        found->pid ? pid == found->pid : pid != ::GetCurrentProcessId() && pid != found->notPid;
    if (process && ::IsWindowVisible(hwnd) && lstrcmpW(name, found->className) == 0) {
        found->hwnd = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForWindow(DWORD pid, DWORD notPid, const wchar_t* className, DWORD timeoutMs = 30000) {
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < timeoutMs) {
        Found found = {pid, notPid, className, nullptr};
        ::EnumWindows(&FindTop, reinterpret_cast<LPARAM>(&found));
        if (found.hwnd) {
            return found.hwnd;
        }
        ::Sleep(100);
    }
    return nullptr;
}

std::wstring WindowText(HWND hwnd) {
    wchar_t text[2048] = {};
    ::SendMessageTimeoutW(hwnd, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000,
                          nullptr);
    return text;
}

// The report box of another process's main window: frame, splitter, pane, control 1002.
HWND ReportBox(HWND frame) {
    for (HWND child = ::GetWindow(frame, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        for (HWND pane = ::GetWindow(child, GW_CHILD); pane;
             pane = ::GetWindow(pane, GW_HWNDNEXT)) {
            if (HWND box = ::GetDlgItem(pane, IDC_REPORT_TEXT)) {
                return box;
            }
        }
    }
    return nullptr;
}

bool WaitForReportLine(HWND frame, const std::wstring& line, DWORD timeoutMs = 90000) {
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < timeoutMs) {
        if (HWND box = ReportBox(frame); box && WindowText(box).find(line) != std::wstring::npos) {
            return true;
        }
        ::Sleep(200);
    }
    return false;
}

std::wstring PreferencesPath() {
    return MHFX::Environment::GetFolderPath(CSIDL_APPDATA) + L"\\Korvane\\Dossiq_VS\\Config.xml";
}

TEST(Program, PreferencesThatCannotBeLoadedAreNamedInOneMessage) {
    const std::wstring path = PreferencesPath();
    const std::wstring saved = path + L".saved-by-test";
    ::DeleteFileW(saved.c_str());
    const bool hadFile = ::MoveFileW(path.c_str(), saved.c_str()) != FALSE;
    ::SHCreateDirectoryExW(nullptr, path.c_str(), nullptr); // a folder where the file belongs

    Process process;
    ASSERT_TRUE(Start(process, L""));
    const HWND box = WaitForWindow(process.info.dwProcessId, 0, L"#32770");
    std::wstring text;
    if (box) {
        text = WindowText(::GetDlgItem(box, 0xFFFF));
        EXPECT_EQ(L"Vantor Manager", WindowText(box));
        EXPECT_EQ(nullptr, WaitForWindow(process.info.dwProcessId, 0,
                                         Dossiq::Manager::kManagerWindowClass, 100));
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    EXPECT_EQ(0u, process.Wait(20000));

    ::RemoveDirectoryW(path.c_str());
    if (hadFile) {
        ::MoveFileW(saved.c_str(), path.c_str());
    }
    ASSERT_NE(nullptr, box);
    EXPECT_NE(std::wstring::npos, text.find(path)) << text;
}

TEST(Program, LanguageChangeRestartsWithTheSameContainer) {
    Preferences& preferences = Preferences::Instance();
    ASSERT_TRUE(preferences.Load());
    TestSupport::LanguageScope language(LanguageEnglish, true);
    ASSERT_FALSE(preferences.IsModified());

    const std::wstring folder = TestSupport::MakeTempDir(L"lang") + L"\\with blanks";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring container = folder + L"\\my doc.snx";
    WriteSignedContainer(container, MakeArchive({"a.txt=a"}), "qualified");

    Process first;
    ASSERT_TRUE(Start(first, L"\"" + container + L"\""));
    const HWND frame =
        WaitForWindow(first.info.dwProcessId, 0, Dossiq::Manager::kManagerWindowClass);
    ASSERT_NE(nullptr, frame);
    EXPECT_EQ(L"Vantor Manager - my doc.snx", WindowText(frame));
    const HMODULE module = MHFX::CurrentModule();
    ASSERT_TRUE(WaitForReportLine(frame, LoadLocalizedString(module, LanguageEnglish, 524)));
    // A hand edit made while the manager runs survives the language change.
    std::string edited = TestSupport::ReadFileBytes(PreferencesPath());
    const std::string tsa = "<TimestampURL>http://tsa.example/</TimestampURL>";
    edited.insert(edited.find("</Preferences>"), tsa);
    TestSupport::WriteFileBytes(PreferencesPath(), edited);

    ::PostMessageW(frame, WM_COMMAND, ID_LANGUAGE_SERBIAN_LATIN, 0);
    const HWND notice = WaitForWindow(first.info.dwProcessId, 0, L"#32770");
    ASSERT_NE(nullptr, notice);
    EXPECT_EQ(LoadLocalizedString(module, LanguageEnglish, IDS_RESTART_FOR_LANGUAGE),
              WindowText(::GetDlgItem(notice, 0xFFFF)));
    ::PostMessageW(notice, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(1u, first.Wait(20000));

    const HWND second =
        WaitForWindow(0, first.info.dwProcessId, Dossiq::Manager::kManagerWindowClass);
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(L"Vantor Manager - my doc.snx", WindowText(second));
    EXPECT_TRUE(WaitForReportLine(second, LoadLocalizedString(module, LanguageSerbianLatin, 524)));
    Pump(500);
    SaveScreenshot(second, L"program_restarted_serbian_latin");
    const std::string written = TestSupport::ReadFileBytes(PreferencesPath());
    EXPECT_NE(std::string::npos, written.find("<Language>2074</Language>")) << written;
    EXPECT_NE(std::string::npos, written.find(tsa)) << written;

    DWORD secondPid = 0;
    ::GetWindowThreadProcessId(second, &secondPid);
    HANDLE secondProcess = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, secondPid);
    ::PostMessageW(second, WM_CLOSE, 0, 0);
    if (secondProcess) {
        EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(secondProcess, 20000));
        DWORD code = 0;
        ::GetExitCodeProcess(secondProcess, &code);
        EXPECT_EQ(1u, code);
        ::CloseHandle(secondProcess);
    }

    ASSERT_TRUE(preferences.Load());
}

TEST(Program, BadCommandLinesBringUpTheWindowWithAFailedOpening) {
    TestSupport::LanguageScope language(LanguageEnglish, true);
    const std::wstring folder = TestSupport::MakeTempDir(L"badline");
    const std::wstring container = folder + L"\\good.snx";
    WriteSignedContainer(container, MakeArchive({"a.txt=a"}), "qualified");
    const std::wstring deep = CopyIntoLongFolder(container, 252, L"deep.snx");
    // A folder too long for the path rules is no bad line: that container opens.
    const struct {
        std::wstring arguments;
        std::wstring title;
        UINT line = 231;
    } cases[] = {
        {L"\"" + container + L"\" \"" + container + L"\"", L"good.snx"},
        {L"C:\\no<such>|file.snx", L"no<such>|file.snx"},
        {L"\"" + deep + L"\"", L"deep.snx", 230},
        {L"\"" + folder + L"\\missing.snx\"", L"missing.snx"},
        {L"\"" + folder + L"\"", folder.substr(folder.rfind(L'\\') + 1)},
    };
    // All at once: each start takes a while under the test system.
    Process processes[std::size(cases)];
    for (size_t i = 0; i < std::size(cases); ++i) {
        ASSERT_TRUE(Start(processes[i], cases[i].arguments));
    }
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(TestSupport::Narrow(cases[i].arguments));
        const HWND frame =
            WaitForWindow(processes[i].info.dwProcessId, 0, Dossiq::Manager::kManagerWindowClass);
        ASSERT_NE(nullptr, frame);
        EXPECT_EQ(L"Vantor Manager - " + cases[i].title, WindowText(frame));
        EXPECT_TRUE(WaitForReportLine(
            frame, LoadLocalizedString(MHFX::CurrentModule(), LanguageEnglish, cases[i].line)));
        EXPECT_EQ(STILL_ACTIVE, processes[i].Wait(0));
        ::PostMessageW(frame, WM_CLOSE, 0, 0);
        EXPECT_EQ(1u, processes[i].Wait(20000));
    }
}

} // namespace
