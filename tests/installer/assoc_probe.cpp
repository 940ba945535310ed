// Asks the Windows shell what an installed Dossiq registered, the way Explorer does:
//   assoc_probe query <extension>     prints the open command, executable and icon of the type
//   assoc_probe open <file> <exe>     opens the file as a double click does and checks that
//                                     <exe> starts and shows a window titled with the file name
//   assoc_probe command <exe> <id> <record>
//                                     starts <exe>, sends its window the command <id> and waits
//                                     until <record> has been written (by "record")
//   assoc_probe record <record> <arg> writes <arg> into the file <record>; registered as the
//                                     open command of a file type, it tells what was opened
//   assoc_probe finish <installer> <args> <image>
//                                     runs the installer with its pages, pressing Next until
//                                     it ends (the finish page's run box is ticked), then
//                                     finds the window of the program <image> it started and
//                                     prints the elevation of both and the program's parent
// Lines go to standard output; the exit code is 0 when every step held.
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <tlhelp32.h>

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

// "full" for an elevated token, "limited" for an administrator's filtered one, else "default".
std::wstring Elevation(HANDLE process) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &raw))
        return L"unknown";
    MHFX::KernelHandle token(raw);
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevationType, &type, sizeof(type), &size)) {
        return L"unknown";
    }
    return type == TokenElevationTypeFull      ? L"full"
           : type == TokenElevationTypeLimited ? L"limited"
                                               : L"default";
}

std::wstring ImageName(DWORD processId) {
    MHFX::KernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    wchar_t image[MAX_PATH] = {};
    DWORD length = ARRAYSIZE(image);
    if (!process || !QueryFullProcessImageNameW(process.get(), 0, image, &length))
        return L"";
    return image;
}

DWORD ParentOf(DWORD processId) {
    // Fails with INVALID_HANDLE_VALUE, as CreateFileW does.
    MHFX::FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    if (!snapshot || !Process32FirstW(snapshot.get(), &entry))
        return 0;
    do {
        if (entry.th32ProcessID == processId)
            return entry.th32ParentProcessID;
    } while (Process32NextW(snapshot.get(), &entry));
    return 0;
}

struct ImageSearch {
    std::wstring image;
    HWND window;
    DWORD processId;
};

BOOL CALLBACK FindImageWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<ImageSearch*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (!IsWindowVisible(window) || GetWindow(window, GW_OWNER))
        return TRUE;
    const std::wstring image = ImageName(processId);
    if (image.empty() || lstrcmpiW(PathFindFileNameW(image.c_str()), search->image.c_str()) != 0) {
        return TRUE;
    }
    search->window = window;
    search->processId = processId;
    return FALSE;
}

int Finish(const wchar_t* installer, const wchar_t* arguments, const wchar_t* image) {
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpFile = installer;
    info.lpParameters = arguments;
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info) || !info.hProcess) {
        Print(L"error=the installer does not start (" + std::to_wstring(GetLastError()) + L")");
        return 1;
    }
    MHFX::KernelHandle process(info.hProcess);
    Print(L"self=" + Elevation(GetCurrentProcess()) + L" installer=" + Elevation(process.get()));

    // Next on every page; on the last it reads Finish.
    int clicks = 0;
    for (int i = 0; i < 1800 && WaitForSingleObject(process.get(), 100) == WAIT_TIMEOUT; ++i) {
        WindowSearch search = {GetProcessId(process.get()), nullptr, L""};
        EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&search));
        const HWND next = search.window ? GetDlgItem(search.window, IDOK) : nullptr;
        if (next && IsWindowVisible(next) && IsWindowEnabled(next) && i % 5 == 0) {
            PostMessageW(next, BM_CLICK, 0, 0);
            ++clicks;
        }
    }
    DWORD exitCode = STILL_ACTIVE;
    GetExitCodeProcess(process.get(), &exitCode);
    Print(L"pages=" + std::to_wstring(clicks) + L" exit=" + std::to_wstring(exitCode));
    if (exitCode != 0) {
        if (exitCode == STILL_ACTIVE)
            TerminateProcess(process.get(), 3);
        Print(L"error=the installer did not end well");
        return 1;
    }

    ImageSearch search = {image, nullptr, 0};
    for (int i = 0; i < 300 && !search.window; ++i) {
        Sleep(100);
        EnumWindows(FindImageWindow, reinterpret_cast<LPARAM>(&search));
    }
    if (!search.window) {
        Print(L"error=no window of the started program");
        return 1;
    }
    MHFX::KernelHandle program(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE | PROCESS_TERMINATE, FALSE,
                    search.processId));
    Print(L"program=" + Elevation(program.get()));
    const DWORD parentId = ParentOf(search.processId);
    MHFX::KernelHandle parent(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, parentId));
    Print(L"parent=" + std::wstring(PathFindFileNameW(ImageName(parentId).c_str())) + L" " +
          (parent ? Elevation(parent.get()) : std::wstring(L"unknown")));
    return CloseAndWait(program.get(), search.window) ? 0 : 1;
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
    if (argc == 5 && lstrcmpW(argv[1], L"finish") == 0) {
        return Finish(argv[2], argv[3], argv[4]);
    }
    Print(L"usage: assoc_probe query <extension> | open <file> <executable> |"
          L" command <executable> <id> <record> | record <record> <argument> |"
          L" finish <installer> <arguments> <image>");
    return 2;
}
