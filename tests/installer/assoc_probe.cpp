// Asks the Windows shell what an installed Dossiq registered, the way Explorer does:
//   assoc_probe query <extension>     prints the open command, executable and icon of the type
//   assoc_probe open <file> <exe>     opens the file as a double click does and checks that
//                                     <exe> starts and shows a window titled with the file name
//   assoc_probe command <exe> <id> <record>
//                                     starts <exe>, sends its window the command <id> and waits
//                                     until <record> has been written (by "record")
//   assoc_probe record <record> <arg> writes <arg> into the file <record>; registered as the
//                                     open command of a file type, it tells what was opened
// Lines go to standard output; the exit code is 0 when every step held.
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstdio>
#include <string>

#include "foundation/handle.h"

namespace {

std::string ToUtf8(const std::wstring& text) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) {
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), size, nullptr, nullptr);
    }
    return utf8;
}

void Print(const std::wstring& text) {
    std::printf("%s\n", ToUtf8(text).c_str());
    std::fflush(stdout);
}

std::wstring QueryAssociation(ASSOCSTR what, const wchar_t* extension) {
    wchar_t buffer[2048] = {};
    DWORD length = ARRAYSIZE(buffer);
    const HRESULT hr =
        AssocQueryStringW(ASSOCF_NOTRUNCATE, what, extension, L"open", buffer, &length);
    return SUCCEEDED(hr) ? std::wstring(buffer) : std::wstring();
}

int Query(const wchar_t* extension) {
    const std::wstring command = QueryAssociation(ASSOCSTR_COMMAND, extension);
    const std::wstring executable = QueryAssociation(ASSOCSTR_EXECUTABLE, extension);
    const std::wstring icon = QueryAssociation(ASSOCSTR_DEFAULTICON, extension);
    Print(L"command=" + command);
    Print(L"executable=" + executable);
    Print(L"icon=" + icon);
    return command.empty() || executable.empty() ? 1 : 0;
}

struct WindowSearch {
    DWORD processId;
    HWND window;
    std::wstring title;
};

BOOL CALLBACK FindProcessWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search->processId || !IsWindowVisible(window) || GetWindow(window, GW_OWNER)) {
        return TRUE;
    }
    wchar_t title[512] = {};
    GetWindowTextW(window, title, ARRAYSIZE(title));
    search->window = window;
    search->title = title;
    return FALSE;
}

// The full path of a file, with long names, for comparing two spellings of one path.
std::wstring LongPath(const std::wstring& path) {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = GetLongPathNameW(path.c_str(), buffer, ARRAYSIZE(buffer));
    return length > 0 && length < ARRAYSIZE(buffer) ? std::wstring(buffer) : path;
}

// Waits for the first visible top-level window of a running process.
WindowSearch WaitForWindow(HANDLE process) {
    WindowSearch search = {GetProcessId(process), nullptr, L""};
    for (int i = 0; i < 300 && !search.window; ++i) {
        if (WaitForSingleObject(process, 100) == WAIT_OBJECT_0) {
            break;
        }
        EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&search));
    }
    return search;
}

// Closes the window and waits for the process; ends it when it does not go.
bool CloseAndWait(HANDLE process, HWND window) {
    if (window) {
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process, 20000) == WAIT_OBJECT_0) {
        return true;
    }
    Print(L"error=the program did not end on WM_CLOSE");
    TerminateProcess(process, 3);
    WaitForSingleObject(process, 5000);
    return false;
}

int Open(const wchar_t* file, const wchar_t* expectedExecutable) {
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"open";
    info.lpFile = file;
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info) || !info.hProcess) {
        Print(L"error=the shell started no program for the file (" +
              std::to_wstring(GetLastError()) + L")");
        return 1;
    }
    MHFX::KernelHandle process(info.hProcess);

    int result = 0;
    wchar_t image[MAX_PATH] = {};
    DWORD length = ARRAYSIZE(image);
    if (!QueryFullProcessImageNameW(process.get(), 0, image, &length)) {
        Print(L"error=no image name of the started process");
        result = 1;
    } else {
        Print(L"started=" + std::wstring(image));
        if (lstrcmpiW(LongPath(image).c_str(), LongPath(expectedExecutable).c_str()) != 0) {
            Print(L"error=the started program is not the expected one");
            result = 1;
        }
    }

    // The program shows its window with the container's name in the title.
    const WindowSearch search = WaitForWindow(process.get());
    Print(L"title=" + search.title);
    if (search.title.find(PathFindFileNameW(file)) == std::wstring::npos) {
        Print(L"error=no window of the started program names the file");
        result = 1;
    }
    if (!CloseAndWait(process.get(), search.window)) {
        result = 1;
    }
    return result;
}

int Command(const wchar_t* executable, const wchar_t* id, const wchar_t* record) {
    DeleteFileW(record);
    std::wstring commandLine = L"\"" + std::wstring(executable) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(executable, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &started)) {
        Print(L"error=the program does not start (" + std::to_wstring(GetLastError()) + L")");
        return 1;
    }
    MHFX::KernelHandle process(started.hProcess);
    MHFX::KernelHandle thread(started.hThread);

    const WindowSearch search = WaitForWindow(process.get());
    if (!search.window) {
        Print(L"error=the program shows no window");
        CloseAndWait(process.get(), nullptr);
        return 1;
    }
    PostMessageW(search.window, WM_COMMAND, MAKEWPARAM(_wtoi(id), 0), 0);
    int result = 1;
    for (int i = 0; i < 300 && result != 0; ++i) {
        Sleep(100);
        if (GetFileAttributesW(record) != INVALID_FILE_ATTRIBUTES) {
            result = 0;
        }
    }
    if (result != 0) {
        Print(L"error=the command opened nothing");
    }
    if (!CloseAndWait(process.get(), search.window)) {
        result = 1;
    }
    return result;
}

int Record(const wchar_t* record, const wchar_t* argument) {
    const std::string text = ToUtf8(argument) + "\n";
    MHFX::FileHandle file(CreateFileW(record, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    const DWORD bytes = static_cast<DWORD>(text.size());
    return file && WriteFile(file.get(), text.data(), bytes, &written, nullptr) && written == bytes
               ? 0
               : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && lstrcmpW(argv[1], L"query") == 0) {
        return Query(argv[2]);
    }
    if (argc == 4 && lstrcmpW(argv[1], L"open") == 0) {
        return Open(argv[2], argv[3]);
    }
    if (argc == 5 && lstrcmpW(argv[1], L"command") == 0) {
        return Command(argv[2], argv[3], argv[4]);
    }
    if (argc == 4 && lstrcmpW(argv[1], L"record") == 0) {
        return Record(argv[2], argv[3]);
    }
    Print(L"usage: assoc_probe query <extension> | open <file> <executable> |"
          L" command <executable> <id> <record> | record <record> <argument>");
    return 2;
}
