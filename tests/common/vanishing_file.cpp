#include "common/vanishing_file.h"

#include <windows.h>

#include <stdexcept>

#include "common/test_support.h"

namespace TestSupport {

namespace {

std::string State(const std::wstring& file) {
    return ::GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES ? std::string()
                                                                         : ReadFileBytes(file);
}

bool WaitForState(const std::wstring& file, unsigned timeoutMs, bool (*done)(const std::string&)) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (!done(State(file))) {
        if (::GetTickCount64() > deadline) {
            return false;
        }
        ::Sleep(5);
    }
    return true;
}

} // namespace

VanishingFile::VanishingFile(const std::wstring& path)
    : state_(MakeTempDir(L"vanish") + L"\\state") {
    const auto started = RunHost(
        "python3 " + ShellQuote(UnixPath(SourceDir() + L"\\tests\\common\\cut_when_open.py")) +
        " " + ShellQuote(UnixPath(path)) + " " + ShellQuote(UnixPath(state_)) + " 60");
    if (started.exitCode != 0 ||
        !WaitForState(state_, 30000, [](const std::string& s) { return !s.empty(); })) {
        throw std::runtime_error("the file watcher did not start: " + started.output);
    }
}

bool VanishingFile::WasCut(unsigned timeoutMs) const {
    WaitForState(state_, timeoutMs, [](const std::string& s) { return s != "ready"; });
    return State(state_) == "cut";
}

} // namespace TestSupport
