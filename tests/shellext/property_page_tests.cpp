// The "Document" page shown in a real property sheet for containers that OpenSSL signs
// with the test PKI's certificates, read back from its controls.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <richedit.h>
#include <shlobj.h>

#include <cstdio>
#include <stdexcept>

#include "common/control_readers.h"
#include "common/dialog_driver.h"
#include "common/scale_child.h"
#include "common/test_support.h"
#include "common/vanishing_file.h"
#include "document/operations/co_signing.h"
#include "document/report/report_details.h"
#include "document/report/report_builder.h"
#include "document/container/container_writer.h"
#include "document/container/message_builder.h"
#include "document/timestamp/signature_stamper.h"
#include "foundation/handle.h"
#include "pki/test_pki.h"
#include "shell_test_support.h"

using namespace Dossiq::Documents;

using namespace ShellTest;

namespace {

constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlack = RGB(0, 0, 0);

using Line = TestSupport::StyledLine;

std::vector<Line> Lines(HWND box) {
    return TestSupport::StyledLines(box);
}

std::string IconBits(HICON icon) {
    ICONINFO info = {};
    if (icon == nullptr || !::GetIconInfo(icon, &info))
        return {};
    MHFX::BitmapHandle color(info.hbmColor);
    MHFX::BitmapHandle mask(info.hbmMask);
    BITMAPINFO header = {};
    header.bmiHeader.biSize = sizeof(header.bmiHeader);
    header.bmiHeader.biWidth = 48;
    header.bmiHeader.biHeight = 48;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    std::string bits(48 * 48 * 4, '\0');
    HDC dc = ::GetDC(nullptr);
    ::GetDIBits(dc, color.get(), 0, 48, bits.data(), &header, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, dc);
    return bits;
}

// Which of the page's pictures 106 to 109 control 208 shows; 0 for none.
UINT Picture(HWND page) {
    const auto shown = reinterpret_cast<HICON>(::SendDlgItemMessageW(page, 208, STM_GETICON, 0, 0));
    const std::string bits = IconBits(shown);
    for (UINT id = 106; id <= 109; ++id) {
        MHFX::IconHandle icon(static_cast<HICON>(
            ::LoadImageW(Dll(), MAKEINTRESOURCEW(id), IMAGE_ICON, 48, 48, LR_DEFAULTCOLOR)));
        if (!bits.empty() && IconBits(icon.get()) == bits)
            return id;
    }
    return 0;
}

std::wstring Text(HWND page, int id) {
    wchar_t text[256] = {};
    ::GetDlgItemTextW(page, id, text, 256);
    return text;
}

bool Enabled(HWND page, int id) {
    return ::IsWindowEnabled(::GetDlgItem(page, id)) != FALSE;
}

BOOL CALLBACK CollectPage(HPROPSHEETPAGE page, LPARAM parameter) {
    reinterpret_cast<std::vector<HPROPSHEETPAGE>*>(parameter)->push_back(page);
    return TRUE;
}

BOOL CALLBACK RefusePage(HPROPSHEETPAGE, LPARAM) {
    return FALSE;
}

// A property sheet with the page the handler hands over, as the Explorer shows it.
class Sheet {
public:
    // A handler or sheet that does not come up stops the test at once (gtest reports the
    // exception), rather than every wait below running into its timeout.
    explicit Sheet(const std::wstring& path) {
        Require(Create(kPropertySheetClass, handler_), "the handler's class object");
        MHFX::ComPtr<IShellExtInit> init;
        Require(handler_.As(init), "IShellExtInit");
        Require(init->Initialize(nullptr, DropObject({path}).get(), nullptr),
                "IShellExtInit::Initialize");
        std::vector<HPROPSHEETPAGE> pages;
        Require(handler_->AddPages(&CollectPage, reinterpret_cast<LPARAM>(&pages)),
                "IShellPropSheetExt::AddPages");
        if (pages.size() != 1u) {
            throw std::runtime_error("AddPages handed over " + std::to_string(pages.size()) +
                                     " pages");
        }
        PROPSHEETHEADERW header = {};
        header.dwSize = sizeof(header);
        header.dwFlags = PSH_MODELESS | PSH_NOAPPLYNOW;
        header.pszCaption = L"Properties";
        header.nPages = static_cast<UINT>(pages.size());
        header.phpage = pages.data();
        window_ = reinterpret_cast<HWND>(::PropertySheetW(&header));
        if (window_ == nullptr) {
            throw std::runtime_error("PropertySheetW showed no sheet");
        }
        ::SetWindowPos(window_, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
        page_ = PropSheet_GetCurrentPageHwnd(window_);
        if (page_ == nullptr) {
            Close();
            throw std::runtime_error("the sheet shows no page");
        }
        // The shell lets the extension go once the pages are added.
        handler_.reset();
    }
    ~Sheet() { Close(); }
    void Close() {
        if (window_)
            ::DestroyWindow(window_);
        window_ = nullptr;
    }

    HWND Window() const { return window_; }
    HWND Page() const { return page_; }
    std::wstring Tab() const {
        wchar_t text[64] = {};
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = 64;
        TabCtrl_GetItem(PropSheet_GetTabControl(window_), 0, &item);
        return text;
    }
    bool WaitForPicture(UINT id) {
        return PumpUntil([&] { return Picture(page_) == id; }, 120000);
    }
    // Until the page shows its final picture, whichever.
    UINT WaitForEnd() {
        PumpUntil([&] { return Picture(page_) != 109 && Picture(page_) != 0; }, 120000);
        return Picture(page_);
    }

private:
    static void Require(HRESULT hr, const char* what) {
        if (hr != S_OK) {
            char text[160];
            std::snprintf(text, sizeof(text), "%s returned 0x%08lX", what,
                          static_cast<unsigned long>(hr));
            throw std::runtime_error(text);
        }
    }

    MHFX::ComPtr<IShellPropSheetExt> handler_;
    HWND window_ = nullptr;
    HWND page_ = nullptr;
};

class PropertyPage : public testing::Test {
protected:
    static void SetUpTestSuite() {
        TestPki::Pki::Get();
        ::LoadLibraryW(L"riched20.dll");
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&controls);
        dir_ = new std::wstring(TestSupport::MakeTempDir(L"page"));
        TestSupport::WriteFileBytes(*dir_ + L"\\content.zip",
                                    "PK\x05\x06" + std::string(18, '\0') + "Dossiq test content");
    }
    static void TearDownTestSuite() { delete dir_; }
    void SetUp() override { WritePreferences(1033); }

    // A Signed Document of `signer` made by OpenSSL.
    static std::wstring Signed(const std::string& signer, const std::wstring& name,
                               const std::string& options = "",
                               const std::wstring& content = L"content.zip") {
        const TestPki::Pki& pki = TestPki::Pki::Get();
        const std::wstring path = *dir_ + L"\\" + name;
        const auto result = TestSupport::RunHost(
            "openssl cms -sign -binary -nodetach -md sha256 -outform DER" + options + " -in " +
            TestSupport::ShellQuote(TestSupport::UnixPath(*dir_ + L"\\" + content)) + " -signer " +
            TestSupport::ShellQuote(pki.UnixCertPath(signer)) + " -inkey " +
            TestSupport::ShellQuote(pki.UnixKeyPath(signer)) + " -out " +
            TestSupport::ShellQuote(TestSupport::UnixPath(path)));
        EXPECT_EQ(0, result.exitCode) << result.output;
        return path;
    }

    // A Signed Document with a timestamp of the kit's authority, signed with `hashOid`.
    static std::wstring Stamped(const std::wstring& name, const char* hashOid) {
        const TestPki::Pki& pki = TestPki::Pki::Get();
        const std::string zip = TestSupport::ReadFileBytes(*dir_ + L"\\content.zip");
        MessageBlob archive;
        EXPECT_TRUE(archive.Allocate(static_cast<DWORD>(zip.size())));
        std::copy(zip.begin(), zip.end(), archive.Data());
        MessageBlob message;
        EXPECT_TRUE(
            SignArchive(archive, pki.Certificate("qualified").get(), hashOid, message,
                        TimestampStamper(TestSupport::Widen(pki.BaseUrl() + "/tsa/tsa"), nullptr)));
        const std::wstring path = *dir_ + L"\\" + name;
        EXPECT_TRUE(WriteContainer(message, path));
        return path;
    }

    static std::wstring* dir_;
};

std::wstring* PropertyPage::dir_ = nullptr;

const Line kNotTampered = {L"- Document has not been tampered", kBlue, true};
const Line kValidityPassed = {L"- Certificate validity check passed", kBlue, true};
const Line kChainPassed = {L"- Certificate chain check passed", kBlue, true};
const Line kCrlPassed = {L"- Up to date CRL exist", kBlue, true};
const Line kNotRevoked = {L"- Certificate has not been revoked", kBlue, true};
const Line kValiditySkipped = {L"- Certificate validity check has been skipped", kBlack, false};
const Line kChainSkipped = {L"- Certificate chain check has been skipped", kBlack, false};
const Line kCrlSkipped = {L"- CRL check has been skipped", kBlack, false};
const Line kRevocationSkipped = {L"- Certificate revocation check has been skipped", kBlack, false};
const Line kQualifiedSkipped = {L"- It has not been checked whether certificate is qualified",
                                kBlack, false};

TEST_F(PropertyPage, ReportsEachValidationResultAsTheManagerDoes) {
    const struct {
        const char* signer;
        int result;
        UINT picture;
        std::vector<Line> lines;
    } cases[] = {
        {"qualified",
         6,
         106,
         {kNotTampered,
          kValidityPassed,
          kChainPassed,
          kCrlPassed,
          kNotRevoked,
          {L"- Certificate is qualified", kBlue, true}}},
        {"no_qc",
         5,
         108,
         {kNotTampered,
          kValidityPassed,
          kChainPassed,
          kCrlPassed,
          kNotRevoked,
          {L"- Certificate is not qualified", kRed, true}}},
        {"revoked",
         4,
         108,
         {kNotTampered,
          kValidityPassed,
          kChainPassed,
          kCrlPassed,
          {L"- Certificate has been revoked", kRed, true},
          kQualifiedSkipped}},
        {"crl_dead",
         3,
         108,
         {kNotTampered,
          kValidityPassed,
          kChainPassed,
          {L"- CRL cannot be accessed", kRed, true},
          kRevocationSkipped,
          kQualifiedSkipped}},
        {"expired",
         2,
         108,
         {kNotTampered,
          {L"- Certificate is not valid", kRed, true},
          kChainSkipped,
          kCrlSkipped,
          kRevocationSkipped,
          kQualifiedSkipped}},
        {"partial",
         1,
         108,
         {kNotTampered,
          kValidityPassed,
          {L"- Certificate chain check failed", kRed, true},
          kCrlSkipped,
          kRevocationSkipped,
          kQualifiedSkipped}},
        // Qualified statements that do not decode: the checks end, as not qualified.
        {"qc_malformed",
         5,
         108,
         {kNotTampered,
          kValidityPassed,
          kChainPassed,
          kCrlPassed,
          kNotRevoked,
          {L"- Certificate is not qualified", kRed, true}}},
        // A chain refused for another reason reads as a failed chain, never as qualified.
        {"critical_unknown",
         0,
         108,
         {kNotTampered,
          kValidityPassed,
          {L"- Certificate chain check failed", kRed, true},
          kCrlSkipped,
          kRevocationSkipped,
          kQualifiedSkipped}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.signer);
        Sheet sheet(Signed(c.signer, TestSupport::Widen(c.signer) + L".snx"));
        EXPECT_EQ(L"Signed Document", sheet.Tab());
        EXPECT_EQ(L"Document Signature Information", Text(sheet.Page(), 209));
        ASSERT_TRUE(sheet.WaitForPicture(c.picture)) << Picture(sheet.Page());
        EXPECT_EQ(c.lines, Lines(::GetDlgItem(sheet.Page(), 215)));
        EXPECT_TRUE(Enabled(sheet.Page(), 207));
        EXPECT_TRUE(Enabled(sheet.Page(), 212));
        EXPECT_TRUE(Enabled(sheet.Page(), 213));
        if (std::string(c.signer) == "qualified") {
            EXPECT_EQ(L"Marko Markovi\u0107 1234567", Text(sheet.Page(), 212));
            EXPECT_EQ(L"qualified@dossiq.test", Text(sheet.Page(), 213));
        }
        SaveScreenshot(sheet.Window(), L"result_" + std::to_wstring(c.result) + L"_" +
                                           TestSupport::Widen(c.signer));
    }
}

// Shown three times in one process, a revoked container reads revoked every time, whatever
// the platform cached from the first look.
TEST_F(PropertyPage, RevokedContainerReadsRevokedOnEveryOpening) {
    const std::wstring path = Signed("revoked", L"revoked_again.snx");
    for (int time = 0; time < 3; ++time) {
        SCOPED_TRACE(time);
        Sheet sheet(path);
        ASSERT_TRUE(sheet.WaitForPicture(108)) << Picture(sheet.Page());
        const std::vector<Line> lines = Lines(::GetDlgItem(sheet.Page(), 215));
        ASSERT_EQ(6u, lines.size());
        EXPECT_EQ((Line{L"- Certificate has been revoked", kRed, true}), lines[4]);
    }
}

// Of a document two parties signed, the second revoked, the page shows the chosen signature.
TEST_F(PropertyPage, TheSignatureChoiceShowsTheSecondSignature) {
    const std::wstring path = Signed("qualified", L"two.snx");
    ASSERT_EQ(Dossiq::Documents::CoSigningOutcome::Signed,
              Dossiq::Documents::AddSignature(path, path,
                                              TestPki::Pki::Get().Certificate("revoked").get())
                  .outcome);
    Sheet sheet(path);
    ASSERT_TRUE(sheet.WaitForPicture(108)) << Picture(sheet.Page());
    const HWND choice = ::GetDlgItem(sheet.Page(), 217);
    ASSERT_TRUE(::IsWindowVisible(choice));
    EXPECT_EQ(kNotRevoked, Lines(::GetDlgItem(sheet.Page(), 215))[4]);
    ::SendMessageW(choice, CB_SETCURSEL, 1, 0);
    ::SendMessageW(sheet.Page(), WM_COMMAND, MAKEWPARAM(217, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(choice));
    PumpUntil([] { return false; }, 200);
    EXPECT_EQ((Line{L"- Certificate has been revoked", kRed, true}),
              Lines(::GetDlgItem(sheet.Page(), 215))[4]);
    EXPECT_TRUE(sheet.WaitForPicture(108));
    SaveScreenshot(sheet.Window(), L"second_signature");
}

TEST_F(PropertyPage, Sha1SignatureGetsANoteAfterTheSixLines) {
    Sheet sheet(Signed("qualified", L"sha1.snx", " -md sha1"));
    ASSERT_TRUE(sheet.WaitForPicture(106)) << Picture(sheet.Page());
    const std::vector<Line> expected = {
        kNotTampered,
        kValidityPassed,
        kChainPassed,
        kCrlPassed,
        kNotRevoked,
        {L"- Certificate is qualified", kBlue, true},
        {L"- The document was signed with an outdated algorithm", kBlack, false}};
    EXPECT_EQ(expected, Lines(::GetDlgItem(sheet.Page(), 215)));
    SaveScreenshot(sheet.Window(), L"result_sha1");
}

// The box under the report explains an expired, a revoked and an untrusted signer with the
// texts a report made apart for the same file renders to.
TEST_F(PropertyPage, DetailsBoxExplainsWhatIsWrong) {
    for (const char* signer : {"expired", "revoked", "self_signed", "qualified"}) {
        SCOPED_TRACE(signer);
        const std::wstring path = Signed(signer, TestSupport::Widen(signer) + L"_details.snx");
        Sheet sheet(path);
        sheet.WaitForEnd();
        PumpUntil([] { return false; }, 300);
        const HWND box = ::GetDlgItem(sheet.Page(), 216);
        const std::wstring text = TestSupport::WindowText(box);
        const auto details = DetailsOf(BuildValidationReport(path));
        EXPECT_EQ(!details.empty(), ::IsWindowVisible(box) != FALSE);
        for (const ReportDetail& detail : details) {
            const DetailText expected = DetailTextOf(detail);
            EXPECT_NE(std::wstring::npos, text.find(expected.title)) << TestSupport::Narrow(text);
            EXPECT_NE(std::wstring::npos, text.find(expected.advice));
            if (detail.kind != DetailKind::Expired) { // its text names the minute of the check
                EXPECT_NE(std::wstring::npos, text.find(expected.text));
            }
        }
        SaveScreenshot(sheet.Window(), L"details_" + TestSupport::Widen(signer));
    }
}

TEST_F(PropertyPage, StampedSignatureNamesItsAuthorityAfterTheSixLines) {
    const std::wstring path = Stamped(L"stamped.snx", kSignatureHashOid);
    Sheet sheet(path);
    ASSERT_TRUE(sheet.WaitForPicture(106)) << Picture(sheet.Page());
    SaveScreenshot(sheet.Window(), L"result_stamped");
    const std::vector<Line> lines = Lines(::GetDlgItem(sheet.Page(), 215));
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ((std::vector<Line>{kNotTampered,
                                 kValidityPassed,
                                 kChainPassed,
                                 kCrlPassed,
                                 kNotRevoked,
                                 {L"- Certificate is qualified", kBlue, true}}),
              std::vector<Line>(lines.begin(), lines.begin() + 6));
    // The page wraps the last line.
    std::wstring last;
    for (size_t i = 6; i < lines.size(); ++i) {
        last += lines[i].text;
        EXPECT_EQ(kBlack, lines[i].colour);
    }
    EXPECT_EQ(0u, last.rfind(L"- Checked at the signing time ", 0)) << TestSupport::Narrow(last);
    EXPECT_NE(std::wstring::npos, last.find(L"Dossiq Test TSA")) << TestSupport::Narrow(last);
}

TEST_F(PropertyPage, TamperedAndUnreadableContainersShowTheSkippedChecks) {
    // Without signed attributes, as the creation pipeline signs (Wine 8 does not compare
    // the message-digest attribute with the content).
    std::string bytes =
        TestSupport::ReadFileBytes(Signed("qualified", L"tampered.snx", " -noattr"));
    const std::size_t content = bytes.find("Dossiq test content");
    ASSERT_NE(std::string::npos, content);
    bytes[content] = 'X';
    TestSupport::WriteFileBytes(*dir_ + L"\\tampered.snx", bytes);
    TestSupport::WriteFileBytes(*dir_ + L"\\text.pnx", "not a container");
    const std::vector<Line> expected = {{L"- Document HAS BEEN TAMPERED", kRed, true},
                                        kValiditySkipped,
                                        kChainSkipped,
                                        kCrlSkipped,
                                        kRevocationSkipped,
                                        kQualifiedSkipped};
    for (const wchar_t* name : {L"tampered.snx", L"text.pnx", L"missing.enx"}) {
        SCOPED_TRACE(TestSupport::Narrow(name));
        Sheet sheet(*dir_ + L"\\" + name);
        ASSERT_EQ(107u, sheet.WaitForEnd())
            << testing::PrintToString(Lines(::GetDlgItem(sheet.Page(), 215)));
        EXPECT_EQ(expected, Lines(::GetDlgItem(sheet.Page(), 215)));
        EXPECT_FALSE(Enabled(sheet.Page(), 207)) << "View Certificate";
        EXPECT_FALSE(Enabled(sheet.Page(), 212));
        EXPECT_EQ(L"", Text(sheet.Page(), 212));
        if (name[0] == L't' && name[1] == L'a') {
            SaveScreenshot(sheet.Window(), L"tampered");
        }
    }
}

// A container cut to nothing while the page's worker reads it, as a network drive that
// drops does, reads as unreadable; Explorer (this program) stays. When the read was over
// before the watcher looked, a fresh copy is tried.
TEST_F(PropertyPage, ContainerThatVanishesWhileItIsReadIsUnreadable) {
    TestSupport::WriteFileBytes(*dir_ + L"\\big.zip", std::string(32 << 20, 'z'));
    const std::wstring source = Signed("qualified", L"big.snx", "", L"big.zip");
    int cut = 0;
    for (int attempt = 0; attempt < 3 && cut == 0; ++attempt) {
        const std::wstring path = *dir_ + L"\\vanishing" + std::to_wstring(attempt) + L".snx";
        ASSERT_TRUE(::CopyFileW(source.c_str(), path.c_str(), FALSE));
        TestSupport::VanishingFile vanishing(path);
        Sheet sheet(path);
        const UINT picture = sheet.WaitForEnd();
        if (!vanishing.WasCut(3000)) {
            continue;
        }
        ++cut;
        EXPECT_EQ(107u, picture);
        EXPECT_EQ((std::vector<Line>{{L"- Document HAS BEEN TAMPERED", kRed, true},
                                     kValiditySkipped,
                                     kChainSkipped,
                                     kCrlSkipped,
                                     kRevocationSkipped,
                                     kQualifiedSkipped}),
                  Lines(::GetDlgItem(sheet.Page(), 215)));
        EXPECT_FALSE(Enabled(sheet.Page(), 207)) << "View Certificate";
    }
    EXPECT_EQ(1, cut) << "the watcher never saw the container open";
}

TEST_F(PropertyPage, TabCaptionFollowsTheExactExtension) {
    const std::wstring source = Signed("qualified", L"caption.snx");
    const struct {
        const wchar_t* name;
        const wchar_t* tab;
    } cases[] = {{L"x.snx", L"Signed Document"},    {L"x.pnx", L"Protected Document"},
                 {L"x.enx", L"Encrypted Document"}, {L"x.SNX", L"Document"},
                 {L"x.Pnx", L"Document"},           {L"x.snx.txt", L"Document"}};
    for (const auto& c : cases) {
        const std::wstring path = *dir_ + L"\\caption\\" + c.name;
        ::CreateDirectoryW((*dir_ + L"\\caption").c_str(), nullptr);
        ::CopyFileW(source.c_str(), path.c_str(), FALSE);
        Sheet sheet(path);
        EXPECT_EQ(c.tab, sheet.Tab()) << TestSupport::Narrow(c.name);
        EXPECT_EQ(106u, sheet.WaitForEnd());
    }
    WritePreferences(3098);
    Sheet serbian(Signed("no_qc", L"serbian.snx"));
    EXPECT_NE(L"Signed Document", serbian.Tab());
    EXPECT_NE(L"Document Signature Information", Text(serbian.Page(), 209));
    ASSERT_TRUE(serbian.WaitForPicture(108));
    SaveScreenshot(serbian.Window(), L"serbian_cyrillic");
}

TEST_F(PropertyPage, NoPageForSeveralFilesOrWithoutPreferences) {
    MHFX::ComPtr<IShellPropSheetExt> handler;
    ASSERT_EQ(S_OK, Create(kPropertySheetClass, handler));
    MHFX::ComPtr<IShellExtInit> init;
    ASSERT_EQ(S_OK, handler.As(init));
    std::vector<HPROPSHEETPAGE> pages;
    EXPECT_EQ(E_INVALIDARG,
              init->Initialize(nullptr, DropObject({*dir_ + L"\\a.snx", *dir_ + L"\\b.snx"}).get(),
                               nullptr));
    EXPECT_EQ(E_INVALIDARG, init->Initialize(nullptr, DropObject({}).get(), nullptr));
    EXPECT_EQ(E_INVALIDARG, init->Initialize(nullptr, nullptr, nullptr));
    EXPECT_EQ(E_INVALIDARG, handler->AddPages(&CollectPage, reinterpret_cast<LPARAM>(&pages)));
    EXPECT_TRUE(pages.empty());
    EXPECT_EQ(E_NOTIMPL, handler->ReplacePage(0, &CollectPage, 0));

    const std::wstring korvane = AppData() + L"\\Korvane";
    TestSupport::RemoveTree(korvane);
    TestSupport::WriteFileBytes(korvane, "not a folder");
    EXPECT_EQ(E_INVALIDARG,
              init->Initialize(nullptr, DropObject({*dir_ + L"\\a.snx"}).get(), nullptr));
    ::DeleteFileW(korvane.c_str());

    // A page the sheet refuses is destroyed again and holds nothing.
    ASSERT_EQ(S_OK, init->Initialize(nullptr, DropObject({*dir_ + L"\\a.snx"}).get(), nullptr));
    EXPECT_EQ(E_INVALIDARG, handler->AddPages(&RefusePage, 0));
    init.reset();
    handler.reset();
    EXPECT_EQ(S_OK, CanUnloadNow());
}

TEST_F(PropertyPage, ReportAndSignerBoxesIgnoreTheMouse) {
    Sheet sheet(Signed("no_qc", L"mouse.snx"));
    ASSERT_TRUE(sheet.WaitForPicture(108));
    for (int id : {209, 215, 212, 213}) {
        const HWND box = ::GetDlgItem(sheet.Page(), id);
        ::SendMessageW(box, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, 5));
        ::SendMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 5));
        ::SendMessageW(box, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(120, 40));
        ::SendMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(120, 40));
        CHARRANGE range = {-1, -1};
        ::SendMessageW(box, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
        EXPECT_EQ(range.cpMin, range.cpMax) << id;
        ::SetCursor(::LoadCursorW(nullptr, IDC_IBEAM));
        EXPECT_EQ(TRUE, ::SendMessageW(box, WM_SETCURSOR, reinterpret_cast<WPARAM>(box),
                                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
        EXPECT_EQ(::LoadCursorW(nullptr, IDC_ARROW), ::GetCursor()) << id;
    }
}

// The certificate viewer comes up (Wine 8 shows it without owner) and is closed again from
// outside.
TEST_F(PropertyPage, ViewCertificateShowsTheSignersCertificate) {
    Sheet sheet(Signed("qualified", L"view.snx"));
    ASSERT_EQ(106u, sheet.WaitForEnd())
        << testing::PrintToString(Lines(::GetDlgItem(sheet.Page(), 215)));
    struct Watch {
        DWORD thread;
        HWND sheet;
        HWND found = nullptr;
        wchar_t title[128] = {};
    } watch{::GetCurrentThreadId(), sheet.Window()};
    HANDLE closer = ::CreateThread(
        nullptr, 0,
        [](void* parameter) -> DWORD {
            auto* w = static_cast<Watch*>(parameter);
            for (int i = 0; i < 300 && w->found == nullptr; ++i) {
                ::Sleep(100);
                ::EnumThreadWindows(
                    w->thread,
                    [](HWND window, LPARAM p) -> BOOL {
                        auto* self = reinterpret_cast<Watch*>(p);
                        if (window != self->sheet && ::IsWindowVisible(window)) {
                            self->found = window;
                            return FALSE;
                        }
                        return TRUE;
                    },
                    reinterpret_cast<LPARAM>(w));
            }
            if (w->found) {
                ::GetWindowTextW(w->found, w->title, 128);
                ::PostMessageW(w->found, WM_CLOSE, 0, 0);
            }
            return 0;
        },
        &watch, 0, nullptr);
    ::SendMessageW(sheet.Page(), WM_COMMAND, MAKEWPARAM(207, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(sheet.Page(), 207)));
    ::WaitForSingleObject(closer, 40000);
    ::CloseHandle(closer);
    ASSERT_NE(nullptr, watch.found) << "no certificate viewer";
    EXPECT_NE(std::wstring::npos, std::wstring(watch.title).find(L"Certificate"))
        << TestSupport::Narrow(watch.title);
}

// Checks that run into an undecodable extension still end, and the workers give the
// module back, so that the Explorer can unload the extension.
TEST_F(PropertyPage, MalformedStatementsEndTheChecksAndLetTheModuleGo) {
    ASSERT_TRUE(PumpUntil([] { return CanUnloadNow() == S_OK; }, 60000));
    {
        Sheet sheet(Signed("qc_malformed", L"unload.snx"));
        EXPECT_EQ(108u, sheet.WaitForEnd());
    }
    EXPECT_TRUE(PumpUntil([] { return CanUnloadNow() == S_OK; }, 60000));
}

TEST_F(PropertyPage, ClosingTheSheetUnderRunningWorkersIsSafe) {
    ASSERT_TRUE(PumpUntil([] { return CanUnloadNow() == S_OK; }, 60000));
    const std::wstring path = Signed("crl_dead", L"closing.snx");
    {
        Sheet sheet(path);
        EXPECT_EQ(S_FALSE, CanUnloadNow()) << "the page keeps the module";
        ASSERT_TRUE(sheet.WaitForPicture(108));
    }
    ASSERT_TRUE(PumpUntil([] { return CanUnloadNow() == S_OK; }, 60000));

    // Closed before the workers could report: their late messages go nowhere, and the
    // module stays until they are done.
    for (int round = 0; round < 5; ++round) {
        {
            Sheet sheet(round % 2 ? path : Signed("qualified", L"closing2.snx"));
            if (round > 2)
                Pump(30 * round);
        }
        EXPECT_EQ(true, PumpUntil([] { return CanUnloadNow() == S_OK; }, 60000)) << round;
    }
}

} // namespace

namespace {

constexpr char kSha1Oid[] = "1.3.14.3.2.26";

// The report with the outdated-algorithm note and a timestamp line, both wrapped in Serbian,
// shows every line: the box grows into the room of the details.
TEST_F(PropertyPage, EveryReportLineShowsWithTheNoteAndTimestampInSerbian) {
    WritePreferences(3098);
    const std::wstring path = Stamped(L"sha1_stamped.snx", kSha1Oid);
    Sheet sheet(path);
    ASSERT_TRUE(sheet.WaitForPicture(106)) << Picture(sheet.Page());
    const HWND report = ::GetDlgItem(sheet.Page(), 215);
    EXPECT_GE(Lines(report).size(), 9u);
    EXPECT_TRUE(TestSupport::ShowsEveryLine(report));
    SaveScreenshot(sheet.Window(), L"serbian_sha1_stamped");
}

// At 144 and 192 DPI (the scale Explorer runs at) the page shows the picture made for the
// scale and every line of its report.
TEST_F(PropertyPage, FollowsTheScaleOfItsProcess) {
    for (UINT dpi : {144u, 192u}) {
        EXPECT_EQ(0u, TestSupport::RunAtDpi(dpi, "PropertyPage.ChildAtItsScale")) << dpi;
    }
}

TEST_F(PropertyPage, ChildAtItsScale) {
    const UINT dpi = TestSupport::ChildDpi();
    if (dpi == 0) {
        GTEST_SKIP() << "run by FollowsTheScaleOfItsProcess";
    }
    WritePreferences(3098);
    const std::wstring path = Stamped(L"scaled.snx", kSha1Oid);
    Sheet sheet(path);
    const HWND report = ::GetDlgItem(sheet.Page(), 215);
    ASSERT_TRUE(PumpUntil([&] { return Lines(report).size() >= 9u; }, 120000));
    PumpUntil([] { return false; }, 300);
    ICONINFO info = {};
    ASSERT_TRUE(::GetIconInfo(
        reinterpret_cast<HICON>(::SendDlgItemMessageW(sheet.Page(), 208, STM_GETICON, 0, 0)),
        &info));
    MHFX::BitmapHandle colour(info.hbmColor), mask(info.hbmMask);
    BITMAP bitmap = {};
    ::GetObjectW(colour.get(), sizeof(bitmap), &bitmap);
    EXPECT_EQ(dpi == 144 ? 72 : 96, bitmap.bmWidth);
    EXPECT_TRUE(TestSupport::ShowsEveryLine(report));
    SaveScreenshot(sheet.Window(), L"page_" + std::to_wstring(dpi) + L"dpi");
}

} // namespace
