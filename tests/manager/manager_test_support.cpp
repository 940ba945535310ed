#include "manager/manager_test_support.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <richedit.h>
#include <shlobj.h>
#include <zlib.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <sstream>

#include "common/test_support.h"
#include "config/localization.h"
#include "document/container_writer.h"
#include "document/message_blob.h"
#include "document/message_builder.h"
#include "manager/about_dialog.h"
#include "pki/test_pki.h"

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

void ForgetCachedRevocations() {
    // FOLDERID_LocalAppDataLow
    static const GUID localLow = {
        0xA520A1A4, 0x1780, 0x4FF6, {0xBD, 0x18, 0x16, 0x73, 0x43, 0xC5, 0xAF, 0x16}};
    wchar_t* root = nullptr;
    if (FAILED(::SHGetKnownFolderPath(localLow, 0, nullptr, &root))) {
        return;
    }
    const std::wstring folder = std::wstring(root) + L"\\Microsoft\\CryptnetUrlCache\\Content\\";
    ::CoTaskMemFree(root);
    static const char signature[] = "Wine cached revocation";
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((folder + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::wstring path = folder + data.cFileName;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            TestSupport::ReadFileBytes(path).compare(0, sizeof signature, signature,
                                                     sizeof signature) == 0) {
            ::DeleteFileW(path.c_str());
        }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
}

std::wstring LineText(UINT id) {
    return LoadLocalizedString(id);
}

std::vector<ReportLineRead> ReadReport(HWND richEdit) {
    std::vector<ReportLineRead> lines;
    const int count = static_cast<int>(::SendMessageW(richEdit, EM_GETLINECOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const int start = static_cast<int>(::SendMessageW(richEdit, EM_LINEINDEX, i, 0));
        const int length = static_cast<int>(::SendMessageW(richEdit, EM_LINELENGTH, start, 0));
        ReportLineRead line;
        if (length > 0) {
            std::wstring buffer(length + 8, L'\0');
            *reinterpret_cast<WORD*>(buffer.data()) = static_cast<WORD>(buffer.size());
            const int got = static_cast<int>(
                ::SendMessageW(richEdit, EM_GETLINE, i, reinterpret_cast<LPARAM>(buffer.data())));
            buffer.resize(got);
            while (!buffer.empty() && (buffer.back() == L'\r' || buffer.back() == L'\n')) {
                buffer.pop_back();
            }
            line.text = buffer;
        }
        ::SendMessageW(richEdit, EM_SETSEL, start, start + length);
        CHARFORMAT2W format = {};
        format.cbSize = sizeof(format);
        ::SendMessageW(richEdit, EM_GETCHARFORMAT, SCF_SELECTION,
                       reinterpret_cast<LPARAM>(&format));
        line.colour = (format.dwEffects & CFE_AUTOCOLOR) ? ::GetSysColor(COLOR_WINDOWTEXT)
                                                         : format.crTextColor;
        line.bold = (format.dwEffects & CFE_BOLD) != 0;
        lines.push_back(line);
    }
    // The last line break leaves an empty last line.
    if (!lines.empty() && lines.back().text.empty()) {
        lines.pop_back();
    }
    ::SendMessageW(richEdit, EM_SETSEL, 0, 0);
    return lines;
}

std::vector<ListRow> ReadList(HWND list) {
    std::vector<ListRow> rows;
    const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        ListRow row;
        std::wstring* texts[] = {&row.name, &row.location, &row.size};
        for (int column = 0; column < 3; ++column) {
            wchar_t buffer[512] = {};
            LVITEMW item = {};
            item.iSubItem = column;
            item.pszText = buffer;
            item.cchTextMax = 512;
            ::SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
            *texts[column] = buffer;
        }
        LVITEMW item = {};
        item.mask = LVIF_IMAGE;
        item.iItem = i;
        ::SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        row.image = item.iImage;
        rows.push_back(row);
    }
    return rows;
}

void SelectRow(HWND list, int index) {
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = 0;
    ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                   reinterpret_cast<LPARAM>(&item));
    if (index >= 0) {
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageW(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
    }
}

namespace {

int g_quitCode = -1;

bool DispatchOne(const std::function<void(const MSG&)>& observer) {
    MSG message;
    if (!::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        return false;
    }
    if (message.message == WM_QUIT) {
        g_quitCode = static_cast<int>(message.wParam);
        return true; // a closed ManagerWindow's; the tests' loop goes on
    }
    if (observer) {
        observer(message);
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
    return true;
}

void Idle() {
    if (auto* loop = Manager::MessageLoop::Current()) {
        loop->RunIdleHandlers();
    }
}

} // namespace

int LastQuitCode() {
    return g_quitCode;
}

void Pump(DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    do {
        while (DispatchOne({})) {
        }
        Idle();
        ::Sleep(10);
    } while (::GetTickCount() - start < milliseconds);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs,
               const std::function<void(const MSG&)>& observer) {
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > timeoutMs) {
            return false;
        }
        if (!DispatchOne(observer)) {
            Idle();
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
    }
    Idle();
    return true;
}

struct DialogWatcher::State {
    std::vector<std::wstring> titles;
    Answer answer;
    mutable std::mutex lock;
    std::vector<SeenDialog> seen;
    std::set<HWND> handled;
    volatile bool stop = false;
};

namespace {

struct EnumContext {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialogs(HWND hwnd, LPARAM parameter) {
    auto* context = reinterpret_cast<EnumContext*>(parameter);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    wchar_t className[64] = {};
    ::GetClassNameW(hwnd, className, 64);
    if (pid == context->pid && ::IsWindowVisible(hwnd) && lstrcmpW(className, L"#32770") == 0) {
        context->found.push_back(hwnd);
    }
    return TRUE;
}

DWORD WINAPI WatchDialogs(void* parameter) {
    auto state = *static_cast<std::shared_ptr<DialogWatcher::State>*>(parameter);
    delete static_cast<std::shared_ptr<DialogWatcher::State>*>(parameter);
    while (!state->stop) {
        EnumContext context = {::GetCurrentProcessId(), {}};
        ::EnumWindows(&CollectDialogs, reinterpret_cast<LPARAM>(&context));
        for (HWND dialog : context.found) {
            wchar_t title[256] = {};
            ::GetWindowTextW(dialog, title, 256);
            const auto& titles = state->titles;
            const bool wanted = std::find(titles.begin(), titles.end(), title) != titles.end() ||
                                std::find(titles.begin(), titles.end(), L"*") != titles.end();
            std::unique_lock<std::mutex> guard(state->lock);
            if (!wanted || state->handled.count(dialog)) {
                continue;
            }
            state->handled.insert(dialog);
            wchar_t text[1024] = {};
            ::GetDlgItemTextW(dialog, 0xFFFF, text, 1024);
            state->seen.push_back({title, text});
            guard.unlock();
            ::Sleep(150); // let the dialog finish coming up
            if (state->answer) {
                state->answer(dialog);
            } else {
                ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            }
        }
        ::Sleep(50);
    }
    return 0;
}

} // namespace

DialogWatcher::DialogWatcher(std::vector<std::wstring> titles, Answer answer)
    : state_(std::make_shared<State>()) {
    state_->titles = std::move(titles);
    state_->answer = std::move(answer);
    thread_ =
        ::CreateThread(nullptr, 0, &WatchDialogs, new std::shared_ptr<State>(state_), 0, nullptr);
}

DialogWatcher::~DialogWatcher() {
    state_->stop = true;
    ::WaitForSingleObject(thread_, 5000);
    ::CloseHandle(thread_);
}

std::vector<SeenDialog> DialogWatcher::Seen() const {
    std::lock_guard<std::mutex> guard(state_->lock);
    return state_->seen;
}

namespace {

void AppendChunk(std::string& png, const char* type, const std::string& data) {
    auto be32 = [&png](uLong value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            png += static_cast<char>((value >> shift) & 0xFF);
    };
    be32(static_cast<uLong>(data.size()));
    const std::string body = std::string(type, 4) + data;
    png += body;
    be32(::crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size())));
}

} // namespace

void SaveScreenshot(HWND window, const std::wstring& name) {
    ::RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    // Only painting: the state to be pictured must not move on meanwhile.
    MSG message;
    while (::PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) {
        ::DispatchMessageW(&message);
    }
    ::GdiFlush();
    ::Sleep(100);
    RECT rect;
    ::GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    ::GdiFlush();
    std::string raw;
    const BYTE* pixels = static_cast<const BYTE*>(bits);
    for (int y = 0; y < height; ++y) {
        raw += '\0';
        for (int x = 0; x < width; ++x) {
            const BYTE* p = pixels + (y * width + x) * 4;
            raw += static_cast<char>(p[2]);
            raw += static_cast<char>(p[1]);
            raw += static_cast<char>(p[0]);
        }
    }
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);

    uLongf size = ::compressBound(static_cast<uLong>(raw.size()));
    std::string packed(size, '\0');
    ::compress(reinterpret_cast<Bytef*>(packed.data()), &size,
               reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()));
    packed.resize(size);
    std::string header;
    for (int value : {width, height}) {
        for (int shift = 24; shift >= 0; shift -= 8)
            header += static_cast<char>((value >> shift) & 0xFF);
    }
    header += std::string("\x08\x02\x00\x00\x00", 5);
    std::string png("\x89PNG\r\n\x1a\n", 8);
    AppendChunk(png, "IHDR", header);
    AppendChunk(png, "IDAT", packed);
    AppendChunk(png, "IEND", "");
    const std::wstring folder = TestSupport::BuildDir() + L"\\tests\\manager\\screenshots";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    TestSupport::WriteFileBytes(folder + L"\\" + name + L".png", png);
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
    Manager::CenterWindow(window.Handle(), nullptr);
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
