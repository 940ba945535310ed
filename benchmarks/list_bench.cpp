// How long the manager takes to list a container of many entries (50,000 by default), and
// how long its window goes without answering meanwhile: a second thread sends it WM_NULL
// every 10 ms and keeps the longest wait. For comparison, the same number of rows inserted
// one by one into a plain list view, as the list was filled before it became virtual.
//
//   wine list_bench.exe [entries]
//
// The archive is made with the product's own writer and signed with a throw-away
// certificate (see bench_certificate.h).
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "bench_clock.h"
#include "benchmarks/bench_certificate.h"
#include "config/preferences.h"
#include "document/container/container_writer.h"
#include "document/container/document.h"
#include "manager/document_entries.h"
#include "document/container/message_blob.h"
#include "document/container/message_builder.h"
#include "document/report/report_messages.h"
#include "foundation/threading/thread.h"
#include "manager/manager_window.h"
#include "manager/message_loop.h"
#include "zip/zip_archive.h"
#include "zip/zip_mem_file.h"

using namespace Dossiq::Config;
using namespace Dossiq::Documents;
using namespace Dossiq::Manager;

namespace {

// Small stored files in seven folders, named as a generated tree would be.
MessageBlob Archive(int entries) {
    CZipMemFile memory;
    CZipArchive archive;
    if (!archive.Open(memory, CZipArchive::zipCreate)) {
        BenchFail("creating the archive");
    }
    for (int i = 0; i < entries; ++i) {
        CZipFileHeader header;
        wchar_t name[32];
        swprintf(name, 32, L"d%d\\f%05d.txt", i % 7, i);
        header.SetFileName(name);
        const std::string text = std::to_string(i);
        if (!archive.OpenNewFile(header, 0) || !archive.WriteNewFile(text.data(), text.size()) ||
            !archive.CloseNewFile()) {
            BenchFail("adding an entry");
        }
    }
    archive.Close();
    MessageBlob blob;
    if (!blob.Allocate(static_cast<DWORD>(memory.GetLength()))) {
        BenchFail("allocating the archive");
    }
    std::copy_n(memory.GetBuffer(), static_cast<size_t>(memory.GetLength()), blob.Data());
    return blob;
}

void PumpWhile(const std::function<bool()>& busy) {
    MSG message;
    while (busy()) {
        if (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        } else {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
}

// The longest time `window` took to answer while the watch ran, in milliseconds.
class Watch {
public:
    explicit Watch(HWND window)
        : thread_([this, window] {
              while (!stop_) {
                  const double start = Now();
                  DWORD_PTR answer = 0;
                  ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 600000, &answer);
                  const double took = (Now() - start) * 1000.0;
                  if (took > longest_) {
                      longest_ = took;
                  }
                  ::Sleep(10);
              }
              finished_ = true;
          }) {}
    ~Watch() { Stop(); }
    double Stop() {
        stop_ = true;
        // The watch may be waiting for the window to answer.
        PumpWhile([this] { return !finished_; });
        if (thread_.joinable()) {
            thread_.join();
        }
        return longest_;
    }

private:
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::atomic<double> longest_{0.0};
    std::thread thread_;
};

int ListCount(HWND list) {
    return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

// One row at a time with its two other columns, as the list was filled before.
double InsertRowByRow(int entries) {
    HWND list = ::CreateWindowExW(0, WC_LISTVIEWW, nullptr, WS_OVERLAPPEDWINDOW | LVS_REPORT, 0, 0,
                                  500, 400, nullptr, nullptr, nullptr, nullptr);
    for (int i = 0; i < 3; ++i) {
        LVCOLUMNW column = {};
        column.mask = LVCF_WIDTH;
        column.cx = 100;
        ::SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    const double start = Now();
    for (int i = 0; i < entries; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"f%05d.txt", i);
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = name;
        const int index = static_cast<int>(
            ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        LVITEMW sub = {};
        sub.pszText = name;
        for (sub.iSubItem = 1; sub.iSubItem < 3; ++sub.iSubItem) {
            ::SendMessageW(list, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&sub));
        }
    }
    const double took = Now() - start;
    ::DestroyWindow(list);
    return took;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const int entries = argc > 1 ? _wtoi(argv[1]) : 50000;
    if (entries <= 0 || entries > 65535) {
        std::printf("usage: list_bench.exe [entries, 1 to 65535]\n");
        return 2;
    }
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    ::LoadLibraryW(L"RICHED20.DLL");
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // As the program does at start-up.
    ReportMessages::Register();
    MHFX::Thread::StartedMessage();
    MHFX::Thread::EndedMessage();
    Preferences::Instance().Load();

    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring path =
        std::wstring(temp) + L"list_bench_" + std::to_wstring(::GetCurrentProcessId()) + L".snx";
    {
        BenchCertificate certificate(L"dossiq-list-bench-" +
                                     std::to_wstring(::GetCurrentProcessId()));
        MessageBlob message;
        if (!SignArchive(Archive(entries), certificate.certificate.get(), message) ||
            !WriteContainer(message, path)) {
            BenchFail("signing the container");
        }
    }

    double start = Now();
    {
        Document document(path);
        const size_t listed = GetEntries(document).size();
        std::printf("open and read %zu entries (GetEntries): %.0f ms\n", listed,
                    (Now() - start) * 1000.0);
    }

    Dossiq::Manager::MessageLoop loop;
    Dossiq::Manager::ManagerWindow window(L"");
    if (!window.Create()) {
        BenchFail("creating the window");
    }
    ::ShowWindow(window.Handle(), SW_SHOW);
    const HWND list = window.ListView();
    {
        Watch watch(window.Handle());
        start = Now();
        window.OpenPath(path);
        PumpWhile([&] { return ListCount(list) < entries; });
        const double listed = Now() - start;
        // The first screen of rows is drawn too.
        ::UpdateWindow(window.Handle());
        std::printf("manager: %d entries listed in %.0f ms; longest wait for an answer %.0f ms\n",
                    ListCount(list), listed * 1000.0, watch.Stop());
    }
    ::DestroyWindow(window.Handle());
    std::printf("row by row into a plain list view: %.0f ms\n", InsertRowByRow(entries) * 1000.0);
    ::DeleteFileW(path.c_str());
    return 0;
}
