#include "common/test_support.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace TestSupport {

namespace {
using UnixNameFn = char*(CDECL*)(LPCWSTR);
using DosNameFn = WCHAR*(CDECL*)(LPCSTR);

std::atomic<unsigned> g_counter{0};

} // namespace

std::wstring ScratchRoot() {
    static std::wstring root = [] {
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        std::wstring r =
            std::wstring(temp) + L"dossiq-tests-" + std::to_wstring(::GetCurrentProcessId());
        ::CreateDirectoryW(r.c_str(), nullptr);
        return r;
    }();
    return root;
}

std::string Narrow(const std::wstring& text) {
    if (text.empty())
        return {};
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                  0, nullptr, nullptr);
    std::string out(n, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                          nullptr, nullptr);
    return out;
}

std::wstring Widen(const std::string& text) {
    if (text.empty())
        return {};
    int n =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string UnixPath(const std::wstring& windowsPath) {
    static auto fn = reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (fn == nullptr)
        return {};
    char* name = fn(windowsPath.c_str());
    if (name == nullptr)
        return {};
    std::string result(name);
    ::HeapFree(::GetProcessHeap(), 0, name);
    return result;
}

std::wstring WindowsPath(const std::string& unixPath) {
    static auto fn = reinterpret_cast<DosNameFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (fn == nullptr)
        return {};
    WCHAR* name = fn(unixPath.c_str());
    if (name == nullptr)
        return {};
    std::wstring result(name);
    ::HeapFree(::GetProcessHeap(), 0, name);
    return result;
}

std::string ShellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

std::string ReadFileBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

HostResult RunHost(const std::string& command, DWORD timeoutMs) {
    const std::wstring dir = MakeTempDir(L"host");
    const std::string udir = UnixPath(dir);
    const std::string script = udir + "/run.sh";
    // The script writes the exit code last, through a rename, so a seen file is complete.
    WriteFileBytes(dir + L"\\run.sh", "#!/bin/sh\n(" + command + ") >" + ShellQuote(udir + "/out") +
                                          " 2>&1 </dev/null\n"
                                          "echo $? >" +
                                          ShellQuote(udir + "/rc.tmp") + "\nmv " +
                                          ShellQuote(udir + "/rc.tmp") + " " +
                                          ShellQuote(udir + "/rc") + "\n");
    std::wstring cmd = L"Z:\\bin\\sh " + Widen(script);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    HostResult result;
    if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                          &pi)) {
        result.output = "CreateProcess failed: " + std::to_string(::GetLastError());
        return result;
    }
    // Wine starts a Unix program without a process or thread object: it returns a null
    // process handle and leaves garbage in hThread. Closing that garbage closed whatever
    // handle of this process happened to have its value (once the cached registry key
    // behind HKEY_CLASSES_ROOT, so COM found no class from then on).
    if (pi.hProcess != nullptr) {
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
    const std::wstring rcFile = dir + L"\\rc";
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    DWORD pause = 2;
    while (::GetFileAttributesW(rcFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (::GetTickCount64() > deadline) {
            result.output = ReadFileBytes(dir + L"\\out") + "\n[timed out]";
            return result;
        }
        ::Sleep(pause);
        pause = pause < 50 ? pause * 2 : 50;
    }
    result.exitCode = std::atoi(ReadFileBytes(rcFile).c_str());
    result.output = ReadFileBytes(dir + L"\\out");
    RemoveTree(dir);
    return result;
}

HostResult RunHostIn(const std::wstring& dir, const std::string& command, DWORD timeoutMs) {
    return RunHost("cd " + ShellQuote(UnixPath(dir)) + " && " + command, timeoutMs);
}

std::wstring MakeTempDir(const std::wstring& hint) {
    for (;;) {
        std::wstring dir = ScratchRoot() + L"\\" + hint + std::to_wstring(++g_counter);
        if (::CreateDirectoryW(dir.c_str(), nullptr))
            return dir;
        if (::GetLastError() != ERROR_ALREADY_EXISTS)
            return {};
    }
}

void RemoveTree(const std::wstring& path) {
    if (path.size() < 4)
        return;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring child = path + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(child.c_str());
            }
        } while (::FindNextFileW(find, &data));
        ::FindClose(find);
    }
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::RemoveDirectoryW(path.c_str());
}

std::wstring SourceDir() {
    return WindowsPath(DOSSIQ_SOURCE_DIR);
}
std::wstring BuildDir() {
    return WindowsPath(DOSSIQ_BINARY_DIR);
}

} // namespace TestSupport

int main(int argc, char** argv) {
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // Every line reaches the log as it is written, also when the run is killed.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    TestSupport::RemoveTree(TestSupport::ScratchRoot());
    return rc;
}
