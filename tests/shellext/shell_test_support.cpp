#include "shell_test_support.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <zlib.h>

#include <atomic>
#include <cstring>

#include "common/test_support.h"
#include "foundation/handle.h"

namespace ShellTest {

const CLSID kContextMenuClass = {
    0xACE88176, 0x2E46, 0x4D4C, {0x84, 0x9F, 0xD4, 0xD8, 0x65, 0x1B, 0x6B, 0x29}};
const CLSID kPropertySheetClass = {
    0x1798D8B8, 0x6825, 0x4610, {0xA1, 0xEF, 0x02, 0x36, 0x3E, 0xA2, 0xC3, 0x4C}};

std::wstring DllPath() {
    return TestSupport::WindowsPath(DOSSIQSHELL_PATH);
}

HMODULE Dll() {
    static const HMODULE module = ::LoadLibraryW(DllPath().c_str());
    return module;
}

void* Export(const char* name) {
    return Dll() ? reinterpret_cast<void*>(::GetProcAddress(Dll(), name)) : nullptr;
}

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** result) {
    using Function = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    const auto function = reinterpret_cast<Function>(Export("DllGetClassObject"));
    return function ? function(clsid, iid, result) : E_FAIL;
}

HRESULT CanUnloadNow() {
    using Function = HRESULT(WINAPI*)();
    const auto function = reinterpret_cast<Function>(Export("DllCanUnloadNow"));
    return function ? function() : E_FAIL;
}

namespace {

// The smallest data object the handlers accept: GetData of CF_HDROP, nothing else.
class DropDataObject : public IDataObject {
public:
    explicit DropDataObject(std::vector<BYTE> drop) : drop_(std::move(drop)) {}

    IFACEMETHODIMP QueryInterface(REFIID iid, void** result) override {
        *result = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDataObject) {
            *result = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    IFACEMETHODIMP_(ULONG) Release() override {
        const ULONG count = --references_;
        if (count == 0)
            delete this;
        return count;
    }
    IFACEMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (drop_.empty() || format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL)) {
            return DV_E_FORMATETC;
        }
        HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, drop_.size());
        std::memcpy(::GlobalLock(memory), drop_.data(), drop_.size());
        ::GlobalUnlock(memory);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    IFACEMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    IFACEMETHODIMP QueryGetData(FORMATETC* format) override {
        return !drop_.empty() && format->cfFormat == CF_HDROP ? S_OK : DV_E_FORMATETC;
    }
    IFACEMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    IFACEMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    IFACEMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    IFACEMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    IFACEMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    IFACEMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    virtual ~DropDataObject() = default;
    std::atomic<ULONG> references_{1};
    std::vector<BYTE> drop_;
};

MHFX::ComPtr<IDataObject> Adopt(IDataObject* object) {
    MHFX::ComPtr<IDataObject> result;
    result.attach(object);
    return result;
}

} // namespace

MHFX::ComPtr<IDataObject> DropObject(const std::vector<std::wstring>& paths) {
    std::vector<BYTE> drop(sizeof(DROPFILES));
    auto* header = reinterpret_cast<DROPFILES*>(drop.data());
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    for (const std::wstring& path : paths) {
        const BYTE* bytes = reinterpret_cast<const BYTE*>(path.c_str());
        drop.insert(drop.end(), bytes, bytes + (path.size() + 1) * sizeof(wchar_t));
    }
    // The list ends with an empty name; an empty list is that name alone, twice over so
    // that a reader looking one past the end still finds it.
    drop.insert(drop.end(), (paths.empty() ? 2 : 1) * sizeof(wchar_t), 0);
    return Adopt(new DropDataObject(std::move(drop)));
}

MHFX::ComPtr<IDataObject> EmptyObject() {
    return Adopt(new DropDataObject({}));
}

namespace {

const wchar_t kShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

// The application-data folder (and so the preferences file) is a scratch folder for the
// whole program; the prefix's own value comes back at the end.
class AppDataEnvironment : public testing::Environment {
public:
    void SetUp() override {
        ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(HKEY_CURRENT_USER, kShellFolders, 0,
                                                 KEY_QUERY_VALUE | KEY_SET_VALUE, key_.put()));
        DWORD size = sizeof(old_);
        hadOld_ = ::RegQueryValueExW(key_.get(), L"AppData", nullptr, &oldType_,
                                     reinterpret_cast<BYTE*>(old_), &size) == ERROR_SUCCESS;
        oldSize_ = size;
        folder() = TestSupport::MakeTempDir(L"appdata");
        ::RegSetValueExW(key_.get(), L"AppData", 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(folder().c_str()),
                         static_cast<DWORD>((folder().size() + 1) * sizeof(wchar_t)));
    }
    void TearDown() override {
        if (hadOld_) {
            ::RegSetValueExW(key_.get(), L"AppData", 0, oldType_, reinterpret_cast<BYTE*>(old_),
                             oldSize_);
        } else {
            ::RegDeleteValueW(key_.get(), L"AppData");
        }
    }
    static std::wstring& folder() {
        static std::wstring value;
        return value;
    }

private:
    MHFX::RegKeyHandle key_;
    bool hadOld_ = false;
    DWORD oldType_ = 0;
    DWORD oldSize_ = 0;
    wchar_t old_[MAX_PATH * 2] = {};
};

[[maybe_unused]] testing::Environment* const g_appData =
    testing::AddGlobalTestEnvironment(new AppDataEnvironment);

} // namespace

std::wstring AppData() {
    return AppDataEnvironment::folder();
}

void WritePreferences(WORD language) {
    const std::wstring folder = AppData() + L"\\Korvane\\Dossiq_VS";
    ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    TestSupport::WriteFileBytes(folder + L"\\Config.xml",
                                "<?xml version='1.0'?>\r\n<Preferences><Language>" +
                                    std::to_string(language) +
                                    "</Language><QualifiedCAsURL/><CertChainsURL/>"
                                    "</Preferences>\r\n");
}

void Pump(DWORD milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        if (done())
            return true;
        if (::GetTickCount64() > deadline)
            return done();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
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
    Pump(300);
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
    MHFX::BitmapHandle bitmap(::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    ASSERT_TRUE(bitmap);
    const HGDIOBJ old = ::SelectObject(memory, bitmap.get());
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
    const std::wstring folder = TestSupport::BuildDir() + L"\\tests\\shellext\\screenshots";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    TestSupport::WriteFileBytes(folder + L"\\" + name + L".png", png);
}

} // namespace ShellTest
