// Pictures of the About box and of the "Document" property page in each language, taken
// from the screen (Xvfb under test) and saved as PNG files in the build folder for review.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <zlib.h>

#include <set>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "config/localization.h"
#include "config/preferences.h"
#include "document/container/document_kind.h"
#include "foundation/handle.h"
#include "foundation/resource_string.h"
#include "resources/manager/resource.h"
#include "resources/shellext/resource.h"

namespace {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<BYTE> bgra; // top-down rows
};

// Without a window manager on the virtual display nobody draws the frame and caption, so
// the system's own caption drawing of the window's title is put where they belong.
void DrawFrame(HWND window, HDC dc, const RECT& windowRect) {
    POINT client = {0, 0};
    ::ClientToScreen(window, &client);
    RECT clientRect;
    ::GetClientRect(window, &clientRect);
    const int left = client.x - windowRect.left;
    const int top = client.y - windowRect.top;
    const int width = windowRect.right - windowRect.left;
    const int height = windowRect.bottom - windowRect.top;
    if (top <= 0) {
        return;
    }
    const HBRUSH face = ::GetSysColorBrush(COLOR_BTNFACE);
    RECT strips[] = {{0, 0, width, top},
                     {0, top, left, height},
                     {left + clientRect.right, top, width, height},
                     {0, top + clientRect.bottom, width, height}};
    for (const RECT& strip : strips) {
        ::FillRect(dc, &strip, face);
    }
    RECT frame = {0, 0, width, height};
    ::DrawEdge(dc, &frame, EDGE_RAISED, BF_RECT);
    RECT caption = {left, left, width - left, top - 1};
    ::DrawCaption(window, dc, &caption, DC_ACTIVE | DC_TEXT | DC_GRADIENT);
}

Picture CaptureWindow(HWND window) {
    RECT rect;
    ::GetWindowRect(window, &rect);
    Picture picture;
    picture.width = rect.right - rect.left;
    picture.height = rect.bottom - rect.top;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    MHFX::BitmapHandle bitmap(::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (bitmap) {
        HGDIOBJ old = ::SelectObject(memory, bitmap.get());
        ::BitBlt(memory, 0, 0, picture.width, picture.height, screen, rect.left, rect.top, SRCCOPY);
        DrawFrame(window, memory, rect);
        ::GdiFlush();
        const BYTE* first = static_cast<const BYTE*>(bits);
        picture.bgra.assign(first, first + picture.width * picture.height * 4);
        ::SelectObject(memory, old);
    }
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return picture;
}

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

void SavePng(const Picture& picture, const std::wstring& path) {
    std::string raw;
    for (int y = 0; y < picture.height; ++y) {
        raw += '\0';
        for (int x = 0; x < picture.width; ++x) {
            const BYTE* p = &picture.bgra[(y * picture.width + x) * 4];
            raw += static_cast<char>(p[2]);
            raw += static_cast<char>(p[1]);
            raw += static_cast<char>(p[0]);
        }
    }
    uLongf size = ::compressBound(static_cast<uLong>(raw.size()));
    std::string packed(size, '\0');
    ::compress(reinterpret_cast<Bytef*>(packed.data()), &size,
               reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()));
    packed.resize(size);

    std::string header;
    for (int value : {picture.width, picture.height}) {
        for (int shift = 24; shift >= 0; shift -= 8)
            header += static_cast<char>((value >> shift) & 0xFF);
    }
    header += std::string("\x08\x02\x00\x00\x00", 5); // 8-bit RGB
    std::string png("\x89PNG\r\n\x1a\n", 8);
    AppendChunk(png, "IHDR", header);
    AppendChunk(png, "IDAT", packed);
    AppendChunk(png, "IEND", "");
    TestSupport::WriteFileBytes(path, png);
}

size_t DistinctColours(const Picture& picture) {
    std::set<UINT32> colours;
    for (size_t i = 0; i + 3 < picture.bgra.size(); i += 4) {
        colours.insert(picture.bgra[i] | picture.bgra[i + 1] << 8 | picture.bgra[i + 2] << 16);
    }
    return colours.size();
}

void Pump(DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < milliseconds) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        ::Sleep(10);
    }
}

std::wstring ScreenshotPath(const wchar_t* what, WORD language) {
    const std::wstring folder = TestSupport::BuildDir() + L"\\tests\\config\\screenshots";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\" + what + L"_" + std::to_wstring(language) + L".png";
}

void ShowAndSave(HWND window, const wchar_t* what, WORD language) {
    RECT rect;
    ::GetWindowRect(window, &rect);
    ::SetWindowPos(window, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    ::RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump(400);
    const Picture picture = CaptureWindow(window);
    EXPECT_GT(DistinctColours(picture), 8u) << "nothing drawn";
    SavePng(picture, ScreenshotPath(what, language));
}

INT_PTR CALLBACK AboutProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

// Fills the page roughly as the shell extension does once a document has been validated.
INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM, LPARAM) {
    if (message != WM_INITDIALOG) {
        return FALSE;
    }
    ::SetDlgItemTextW(page, IDC_PAGE_HEADING, LoadLocalizedString(IDS_PAGE_HEADING).c_str());
    std::wstring report = LoadLocalizedString(IDS_PAGE_NOT_TAMPERED);
    for (UINT id : {IDS_VALIDITY_PASSED, IDS_CHAIN_PASSED, IDS_CRL_PASSED, IDS_REVOCATION_PASSED,
                    IDS_QUALIFIED_FAILED}) {
        report += L"\r\n" + LoadLocalizedString(id);
    }
    ::SetDlgItemTextW(page, IDC_PAGE_REPORT, report.c_str());
    ::SetDlgItemTextW(page, IDC_PAGE_SIGNER_NAME, L"Petar Petrovi\u0107");
    ::SetDlgItemTextW(page, IDC_PAGE_SIGNER_EMAIL, L"petar@example.rs");
    HICON icon = static_cast<HICON>(::LoadImageW(
        MHFX::CurrentModule(), MAKEINTRESOURCEW(IDI_PAGE_WARNING), IMAGE_ICON, 48, 48, LR_SHARED));
    ::SendDlgItemMessageW(page, IDC_PAGE_PICTURE, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    return TRUE;
}

TEST(Screenshots, AboutBoxAndPropertyPageInEachLanguage) {
    ASSERT_NE(nullptr, ::LoadLibraryW(L"riched20.dll"));
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
    const WORD saved = Preferences::Instance().Language();
    for (WORD language : {LanguageEnglish, LanguageSerbianLatin, LanguageSerbianCyrillic}) {
        SCOPED_TRACE(language);
        Preferences::Instance().SetLanguage(language);

        const LocalizedResource about = FindLocalizedResource(RT_DIALOG, IDD_ABOUTBOX);
        ASSERT_TRUE(about);
        HWND box = ::CreateDialogIndirectParamW(
            MHFX::CurrentModule(), static_cast<LPCDLGTEMPLATEW>(about.data), nullptr, AboutProc, 0);
        ASSERT_NE(nullptr, box);
        ShowAndSave(box, L"about", language);
        ::DestroyWindow(box);

        const LocalizedResource pageTemplate = FindLocalizedResource(RT_DIALOG, IDD_DOCUMENT_PAGE);
        ASSERT_TRUE(pageTemplate);
        const std::wstring title = KindDisplayName(DocumentKind::Signed);
        PROPSHEETPAGEW page = {};
        page.dwSize = sizeof(page);
        page.dwFlags = PSP_DLGINDIRECT | PSP_USETITLE;
        page.hInstance = MHFX::CurrentModule();
        page.pResource = static_cast<LPCDLGTEMPLATEW>(pageTemplate.data);
        page.pfnDlgProc = PageProc;
        page.pszTitle = title.c_str();
        PROPSHEETHEADERW header = {};
        header.dwSize = sizeof(header);
        header.dwFlags = PSH_MODELESS | PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
        header.pszCaption = L"report.snx";
        header.nPages = 1;
        header.ppsp = &page;
        HWND sheet = reinterpret_cast<HWND>(::PropertySheetW(&header));
        ASSERT_NE(nullptr, sheet);
        HWND tab = PropSheet_GetTabControl(sheet);
        wchar_t tabText[64] = {};
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = tabText;
        item.cchTextMax = 64;
        TabCtrl_GetItem(tab, 0, &item);
        EXPECT_EQ(title, tabText);
        ShowAndSave(sheet, L"property_page", language);
        ::DestroyWindow(sheet);
    }
    Preferences::Instance().SetLanguage(saved);
}

} // namespace
