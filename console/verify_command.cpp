#include <algorithm>
#include <atomic>
#include <thread>

#include "console/commands.h"
#include "console/container_search.h"
#include "console/help_texts.h"
#include "console/json_writer.h"
#include "console/report_format.h"
#include "document/report/report_html.h"
#include "document/report/report_builder.h"
#include "foundation/io/file_identity.h"
#include "resources/console/resource.h"

using namespace Dossiq::Documents;

namespace Dossiq::Console {

namespace {

unsigned long long FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

ValidationReport CheckOne(const std::wstring& path, const CommandOutput& output) {
    const unsigned long long size = FileSize(path);
    const bool progress = size >= kProgressThreshold && output.ShowsProgress();
    if (progress) {
        output.Err().Write(
            ConsoleText(IDS_CONSOLE_CHECKING, {path, std::to_wstring(size / (1024 * 1024))}) +
            L"\r\n");
    }
    ValidationReport report = BuildValidationReport(path);
    if (progress) {
        output.Err().Write(ConsoleText(IDS_CONSOLE_CHECKED, {path}) + L"\r\n");
    }
    return report;
}

// No exception may leave a worker thread. BuildValidationReport throws none, but a failed
// allocation still could: that container reads as unreadable and the others are checked.
ValidationReport CheckGuarded(const std::wstring& path, const CommandOutput& output) noexcept {
    try {
        return CheckOne(path, output);
    } catch (...) {
    }
    ValidationReport report;
    report.path = path;
    report.kind = L"unknown";
    report.decodingError = static_cast<DWORD>(E_OUTOFMEMORY);
    return report;
}

} // namespace

int VerifyCommand(const Arguments& arguments, const CommandOutput& output) {
    int jobs = 1;
    if (arguments.Has(L"--jobs")) {
        const std::wstring value = arguments.Value(L"--jobs");
        wchar_t* end = nullptr;
        const long parsed = std::wcstol(value.c_str(), &end, 10);
        if (value.empty() || *end != L'\0' || parsed < 1 || parsed > 64) {
            return output.Fail(kExitUsage, ConsoleText(IDS_CONSOLE_JOBS_RANGE));
        }
        jobs = static_cast<int>(parsed);
    }

    std::vector<std::wstring> paths;
    const bool ioError =
        !CollectContainers(arguments.Operands(), arguments.Has(L"--recursive"), paths, output);
    if (paths.empty() && !ioError) {
        return output.Fail(kExitUsage, ConsoleText(IDS_CONSOLE_NO_CONTAINERS));
    }
    const bool saveReport = arguments.Has(L"--report");
    const std::wstring reportFile = arguments.Value(L"--report");
    if (saveReport && (paths.size() != 1 || ioError || reportFile.empty())) {
        return output.Fail(kExitUsage, ConsoleText(IDS_CONSOLE_REPORT_ONE));
    }
    if (saveReport && MHFX::IO::IsSameFile(reportFile, paths.front())) {
        return output.Fail(kExitUsage, ConsoleText(IDS_CONSOLE_REPORT_IS_CONTAINER, {reportFile}));
    }
    if (saveReport && !arguments.Has(L"--overwrite") &&
        ::GetFileAttributesW(reportFile.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return output.Fail(kExitFailed, ConsoleText(IDS_CONSOLE_REPORT_EXISTS, {reportFile}));
    }

    std::vector<ValidationReport> reports(paths.size());
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i = next++; i < paths.size(); i = next++) {
            reports[i] = CheckGuarded(paths[i], output);
        }
    };
    std::vector<std::thread> workers;
    const int extra = std::min<int>(jobs, static_cast<int>(paths.size())) - 1;
    for (int i = 0; i < extra; ++i) {
        workers.emplace_back(work);
    }
    work();
    for (std::thread& worker : workers) {
        worker.join();
    }

    bool allPassed = true;
    for (const ValidationReport& report : reports) {
        allPassed = allPassed && HasPassed(report);
    }
    bool written = true;
    if (arguments.Has(L"--json")) {
        JsonWriter json;
        json.BeginObject();
        json.String(L"format", L"dossiq-verify-1");
        json.Bool(L"passed", allPassed && !ioError);
        json.BeginArray(L"containers");
        for (const ValidationReport& report : reports) {
            WriteReportJson(json, report);
        }
        json.EndArray();
        json.EndObject();
        written = output.Out().Write(json.Text());
    } else {
        for (const ValidationReport& report : reports) {
            written = output.Out().Write(ReportText(report)) && written;
        }
    }
    if (saveReport && !SaveReportHtml(reports.front(), reportFile)) {
        return output.Fail(kExitUsage, ConsoleText(IDS_CONSOLE_REPORT_NOT_WRITTEN, {reportFile}));
    }
    if (!written || ioError) {
        return kExitUsage;
    }
    return allPassed ? kExitOk : kExitFailed;
}

} // namespace Dossiq::Console
