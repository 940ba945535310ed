// How soon a selection too large for a container is refused, and at what memory cost: a
// selection of incompressible files is packed as the creation command packs it, and the time
// until the refusal and the process's peak working set are printed. "whole" packs the same
// selection into an archive without the limit, as packing did before it was checked while
// writing (then the whole selection was compressed before the size was looked at).
//
//   wine packing_bench.exe [limited|whole] [selection megabytes, a multiple of 40]
#include "bench_clock.h"
#include "document/creation/archive_builder.h"
#include "zip/zip_archive.h"
#include "zip/zip_mem_file.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <random>
#include <string>
#include <vector>

using namespace Dossiq::Documents;

namespace {

constexpr DWORD kFileBytes = 40u * 1000 * 1000;

// User and kernel time of the process: what the machine's load does not stretch.
double CpuSeconds() {
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto seconds = [](const FILETIME& time) {
        return static_cast<double>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                                   time.dwLowDateTime) /
               1e7;
    };
    return seconds(kernel) + seconds(user);
}

double PeakMegabytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
    return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

// Three files of random bytes, written a megabyte at a time so the baseline stays small; a
// larger selection names them again.
std::vector<std::wstring> MakeFiles(const std::wstring& folder) {
    std::mt19937 random(17);
    std::vector<unsigned char> chunk(kFileBytes / 40);
    std::vector<std::wstring> files;
    for (int i = 0; i < 3; ++i) {
        files.push_back(folder + L"\\noise" + std::to_wstring(i) + L".bin");
        HANDLE file = ::CreateFileW(files.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    0, nullptr);
        for (int part = 0; part < 40; ++part) {
            for (unsigned char& byte : chunk) {
                byte = static_cast<unsigned char>(random());
            }
            DWORD written = 0;
            ::WriteFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr);
        }
        ::CloseHandle(file);
    }
    return files;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const bool whole = argc > 1 && std::wcscmp(argv[1], L"whole") == 0;
    const int megabytes = argc > 2 ? std::max(40, _wtoi(argv[2])) : 120;
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"packing_bench";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::vector<std::wstring> files = MakeFiles(folder);
    std::vector<std::wstring> selection;
    for (int i = 0; i < megabytes / 40; ++i) {
        selection.push_back(files[i % files.size()]);
    }
    const double before = PeakMegabytes();

    const double start = Now();
    const double cpuStart = CpuSeconds();
    const char* outcome = "built";
    if (whole) {
        CZipMemFile memory(1024);
        CZipArchive zip;
        zip.Open(memory, CZipArchive::zipCreate);
        for (size_t i = 0; i < selection.size(); ++i) {
            zip.AddNewFile(selection[i], L"noise" + std::to_wstring(i) + L".bin", -1, 7);
        }
        zip.Close();
        MessageBlob archive;
        outcome = TakeArchive(memory, archive) ? "built" : "refused";
    } else {
        MessageBlob archive;
        outcome = PackSelection(selection, folder, nullptr, archive) == ArchiveOutcome::TooLarge
                      ? "refused"
                      : "built";
    }
    const double seconds = Now() - start;
    const double cpu = CpuSeconds() - cpuStart;

    std::printf("%s, %d MB selection: %s after %.2f s (%.2f s CPU); peak working set %.0f MB "
                "(%.0f MB before packing)\n",
                whole ? "whole" : "limited", megabytes, outcome, seconds, cpu, PeakMegabytes(),
                before);
    std::fflush(stdout);
    for (const std::wstring& file : files) {
        ::DeleteFileW(file.c_str());
    }
    ::RemoveDirectoryW(folder.c_str());
    return 0;
}
