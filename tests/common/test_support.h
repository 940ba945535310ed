// Helpers shared by the test programs: scratch folders, Unix/Windows path conversion under
// Wine, and running Linux tools (openssl, python3, unzip) as peers from inside a test.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace TestSupport {

struct HostResult {
    int exitCode = -1;  // -1 when the command did not finish in time
    std::string output; // stdout and stderr together
};

// Runs `command` with /bin/sh on the Linux host and waits for it (Wine neither waits for a
// Unix child nor reports its exit code, so this goes through files).
HostResult RunHost(const std::string& command, DWORD timeoutMs = 120000);
// The same, in the host's view of the Windows folder `dir`.
HostResult RunHostIn(const std::wstring& dir, const std::string& command, DWORD timeoutMs = 120000);

// Quotes a string for /bin/sh.
std::string ShellQuote(const std::string& text);

// Unix path of a Windows path and back (Wine's own mapping).
std::string UnixPath(const std::wstring& windowsPath);
std::wstring WindowsPath(const std::string& unixPath);

// A new empty folder under the test's scratch root (removed with its content at exit of
// the fixture that owns it); returned without a trailing separator.
std::wstring MakeTempDir(const std::wstring& hint = L"t");
void RemoveTree(const std::wstring& path);
// The per-process folder all scratch folders live in; removed when the program ends.
std::wstring ScratchRoot();

// Repository and build folders as Windows paths.
std::wstring SourceDir();
std::wstring BuildDir();

// Whole-file helpers.
std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);

std::string Narrow(const std::wstring& text); // UTF-8
std::wstring Widen(const std::string& text);  // from UTF-8

} // namespace TestSupport
