#include "console/console_test_util.h"

#include <gtest/gtest.h>

#include <sstream>

#include "document/report/certificate_facts.h"

using namespace Dossiq::Documents;

namespace ConsoleTest {

namespace {

HANDLE InheritableFile(const std::wstring& path) {
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), nullptr, TRUE};
    return ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &attributes, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

std::wstring Quote(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

Outcome RunDossiq(const std::wstring& arguments, const std::wstring& dir) {
    static int counter = 0;
    Outcome run;
    const std::wstring stem = dir + L"\\run" + std::to_wstring(++counter);
    run.outPath = stem + L".out";
    const std::wstring program = TestSupport::BuildDir() + L"\\console\\dossiq.exe";
    std::wstring commandLine = Quote(program) + L" " + arguments;
    HANDLE out = InheritableFile(run.outPath);
    HANDLE err = InheritableFile(stem + L".err");
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process = {};
    // Wine now and then refuses a start right after another process ended (error 1359);
    // a second try a moment later starts it.
    BOOL started = FALSE;
    DWORD error = 0;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        if (attempt > 0) {
            ::Sleep(500);
        }
        started = ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                   CREATE_NO_WINDOW, nullptr, dir.c_str(), &startup, &process);
        error = started ? 0 : ::GetLastError();
    }
    ::CloseHandle(out);
    ::CloseHandle(err);
    EXPECT_TRUE(started) << error;
    if (!started) {
        return run;
    }
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process.hProcess, 600000));
    ::GetExitCodeProcess(process.hProcess, &run.exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    run.out = TestSupport::ReadFileBytes(run.outPath);
    run.err = TestSupport::ReadFileBytes(stem + L".err");
    return run;
}

std::string Value(const std::map<std::string, std::string>& json, const std::string& key) {
    const auto found = json.find(key);
    return found == json.end() ? "<missing>" : found->second;
}

std::map<std::string, std::string> Flatten(const std::wstring& jsonPath) {
    const std::string script =
        TestSupport::UnixPath(TestSupport::SourceDir() + L"\\tests\\console\\flatten_json.py");
    const TestSupport::HostResult result =
        TestSupport::RunHost("python3 " + TestSupport::ShellQuote(script) + " " +
                             TestSupport::ShellQuote(TestSupport::UnixPath(jsonPath)));
    EXPECT_EQ(0, result.exitCode) << result.output;
    std::map<std::string, std::string> values;
    std::istringstream lines(result.output);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos) {
            values[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return values;
}

TestPki::Pki& Kit() {
    static const int removed = TestPki::RemoveStaleInstallations(0);
    (void)removed;
    return TestPki::Pki::Get();
}

std::wstring Thumbprint(const std::string& name) {
    return DescribeCertificate(Kit().Certificate(name).get()).thumbprint;
}

} // namespace ConsoleTest
