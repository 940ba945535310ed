#include "manager/manager_test_support.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <richedit.h>
#include <shlobj.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <sstream>

#include "common/test_support.h"
#include "config/localization.h"
#include "document/container/container_writer.h"
#include "document/container/message_blob.h"
#include "document/container/message_builder.h"
#include "manager/about_dialog.h"
#include "pki/test_pki.h"

using namespace Dossiq::Config;
using namespace Dossiq::Documents;

namespace ManagerTest {

using TestSupport::Narrow;
using TestSupport::ShellQuote;

std::string MakeArchive(const std::vector<std::string>& entries) {
    const std::wstring folder = TestSupport::MakeTempDir(L"zip");
    const std::wstring path = folder + L"\\archive.zip";
    std::ostringstream command;
    command << "python3 " << ShellQuote(DOSSIQ_SOURCE_DIR "/tests/manager/make_zip.py") << ' '
            << ShellQuote(TestSupport::UnixPath(path));
    for (const std::string& entry : entries) {
        command << ' ' << ShellQuote(entry);
    }
    const auto result = TestSupport::RunHost(command.str());
    EXPECT_EQ(0, result.exitCode) << result.output;
    return TestSupport::ReadFileBytes(path);
}

void WriteSignedContainer(const std::wstring& path, const std::string& archive,
                          const std::string& signer, const std::string& hashOid) {
    MessageBlob archiveBlob;
    ASSERT_TRUE(archiveBlob.Allocate(static_cast<DWORD>(archive.size())));
    std::copy(archive.begin(), archive.end(), archiveBlob.Data());
    MHFX::CertContextHandle certificate = TestPki::Pki::Get().Certificate(signer);
    ASSERT_TRUE(certificate.valid()) << signer;
    MessageBlob message;
    ASSERT_TRUE(hashOid.empty() ? SignArchive(archiveBlob, certificate.get(), message)
                                : SignArchive(archiveBlob, certificate.get(), hashOid, message))
        << ::GetLastError();
    ASSERT_TRUE(WriteContainer(message, path));
}

std::wstring CopyIntoLongFolder(const std::wstring& container, size_t folderLength,
                                const std::wstring& name) {
    std::wstring folder = TestSupport::MakeTempDir(L"long") + L"\\";
    EXPECT_LT(folder.size(), folderLength);
    folder += std::wstring(folderLength - folder.size(), L'L');
    EXPECT_TRUE(::CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr)) << ::GetLastError();
    const std::wstring path = folder + L"\\" + name;
    EXPECT_TRUE(::CopyFileW(container.c_str(), (L"\\\\?\\" + path).c_str(), FALSE))
        << ::GetLastError();
    return path;
}

std::wstring LineText(UINT id) {
    return LoadLocalizedString(id);
}

std::vector<ListRow> ReadList(HWND list) {
    std::vector<ListRow> rows;
    const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        rows.push_back(
            {TestSupport::ListViewText(list, i, 0), TestSupport::ListViewText(list, i, 1),
             TestSupport::ListViewText(list, i, 2), TestSupport::ListViewImage(list, i)});
    }
    return rows;
}

namespace {

void Idle() {
    if (auto* loop = Dossiq::Manager::MessageLoop::Current()) {
        loop->RunIdleHandlers();
    }
}

} // namespace

int LastQuitCode() {
    return TestSupport::LastQuitCode();
}

void Pump(DWORD milliseconds) {
    TestSupport::Pump(milliseconds, Idle);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs,
               const std::function<void(const MSG&)>& observer) {
    return TestSupport::PumpUntil(done, timeoutMs, observer, Idle);
}

ShownWindow::ShownWindow(const std::wstring& path) : window(path) {
    // As the program does at start-up; the library stays loaded for the whole run.
    static const HMODULE richEdit = ::LoadLibraryW(L"RICHED20.DLL");
    EXPECT_NE(nullptr, richEdit);
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_BAR_CLASSES | ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&controls);
    EXPECT_NE(nullptr, window.Create());
    Dossiq::Manager::CenterWindow(window.Handle(), nullptr);
    ::ShowWindow(window.Handle(), SW_SHOW);
    // Nothing is pumped here: the tests see the window as its creation left it.
    ::UpdateWindow(window.Handle());
}

ShownWindow::~ShownWindow() {
    if (window.Handle()) {
        ::SendMessageW(window.Handle(), WM_CLOSE, 0, 0);
    }
    Pump(50);
}

Opened::Opened(const std::vector<std::string>& entries, const wchar_t* name)
    : folder(TestSupport::MakeTempDir(L"extract")), path(folder + L"\\" + name) {
    WriteSignedContainer(path, MakeArchive(entries), "qualified");
    shown = std::make_unique<ShownWindow>(path);
    EXPECT_TRUE(PumpUntil(
        [&] { return ::SendMessageW(shown->window.ListView(), LVM_GETITEMCOUNT, 0, 0) > 0; }));
    // View waits for the finished report.
    EXPECT_TRUE(WaitForFinalReport(*shown));
}

void Opened::Command(UINT id) {
    ::SendMessageW(shown->Handle(), WM_COMMAND, id, 0);
}

void Opened::Select(int row) {
    SelectRow(shown->window.ListView(), row);
    Pump(20);
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int CountFiles(const std::wstring& folder) {
    int count = 0;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return 0;
    }
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        count += (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                     ? CountFiles(folder + L"\\" + name)
                     : 1;
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return count;
}

bool WaitForFinalReport(ShownWindow& shown, DWORD timeoutMs) {
    return PumpUntil(
        [&] {
            const ReportPicture state = shown.window.Pane().Report().PictureState();
            return state == ReportPicture::Tampered || state == ReportPicture::Qualified ||
                   state == ReportPicture::Warning;
        },
        timeoutMs);
}

} // namespace ManagerTest
