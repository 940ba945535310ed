#include "shellext/document_property_page.h"

#include <richedit.h>

#include <memory>

#include "certificates/x509_certificate.h"
#include "config/localization.h"
#include "document/certificate_validation_thread.h"
#include "document/document.h"
#include "document/document_parse_thread.h"
#include "document/report_messages.h"
#include "document/signature_report.h"
#include "foundation/exception.h"
#include "resources/shellext/resource.h"
#include "shellext/property_sheet_handler.h"
#include "shellext/shell_module.h"

using MHFX::Security::Cryptography::X509::ValidationResult;
using MHFX::Security::Cryptography::X509::X509Certificate;

namespace {

const ReportTexts kPageTexts = {IDS_PAGE_NOT_TAMPERED, IDS_PAGE_TAMPERED,
                                IDS_PAGE_VERIFYING_SIGNATURE, IDS_PAGE_VALIDATING_CERTIFICATE,
                                true};
constexpr int kPictureSize = 48;
const wchar_t kOriginalProcedure[] = L"Dossiq.RichEditProcedure";

// The workers keep the module loaded while they run: the sheet may close under them.
class PageParseThread : public DocumentParseThread {
public:
    using DocumentParseThread::DocumentParseThread;

private:
    ModuleLock lock_;
};

class PageValidationThread : public CertificateValidationThread {
public:
    using CertificateValidationThread::CertificateValidationThread;

private:
    ModuleLock lock_;
};

template <typename Worker, typename... Arguments> void StartWorker(Arguments&&... arguments) {
    try {
        std::unique_ptr<Worker> worker(new Worker(std::forward<Arguments>(arguments)...));
        worker->Resume();
        worker.release(); // it deletes itself
    } catch (const MHFX::Exception&) {
        // The page stays in its in-progress state.
    }
}

// The report and signer boxes take no mouse input: their text can be neither clicked nor
// selected, and the cursor stays an arrow over them.
LRESULT CALLBACK MouseDeafProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto original = reinterpret_cast<WNDPROC>(::GetPropW(window, kOriginalProcedure));
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
        return 0;
    case WM_SETCURSOR:
        ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
        return TRUE;
    case WM_NCDESTROY:
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        ::RemovePropW(window, kOriginalProcedure);
        break;
    default:
        break;
    }
    return original ? ::CallWindowProcW(original, window, message, wParam, lParam)
                    : ::DefWindowProcW(window, message, wParam, lParam);
}

void MakeMouseDeaf(HWND control) {
    if (control == nullptr || ::GetPropW(control, kOriginalProcedure) != nullptr) {
        return;
    }
    const LONG_PTR original = ::GetWindowLongPtrW(control, GWLP_WNDPROC);
    if (::SetPropW(control, kOriginalProcedure, reinterpret_cast<HANDLE>(original))) {
        ::SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MouseDeafProc));
    }
}

LPARAM NextTag() {
    static volatile LONG counter = 0;
    return ::InterlockedIncrement(&counter);
}

} // namespace

HPROPSHEETPAGE DocumentPropertyPage::Create(std::shared_ptr<Document> document,
                                            const std::wstring& title) {
    const LocalizedResource dialog = FindLocalizedResource(RT_DIALOG, IDD_DOCUMENT_PAGE);
    if (!dialog) {
        return nullptr;
    }
    document_ = std::move(document);
    title_ = title;

    PROPSHEETPAGEW description = {};
    description.dwSize = sizeof(description);
    description.dwFlags = PSP_DLGINDIRECT | PSP_USECALLBACK | PSP_USEREFPARENT;
    description.hInstance = Module().Handle();
    description.pResource = static_cast<LPCDLGTEMPLATEW>(dialog.data);
    description.pfnDlgProc = &DocumentPropertyPage::DialogProc;
    description.pfnCallback = &DocumentPropertyPage::PageCallback;
    description.lParam = reinterpret_cast<LPARAM>(this);
    description.pcRefParent = Module().LockCountAddress();
    if (!title_.empty()) {
        description.dwFlags |= PSP_USETITLE;
        description.pszTitle = title_.c_str();
    }
    if (const HANDLE context = Module().ActivationContext()) {
        description.dwFlags |= PSP_USEFUSIONCONTEXT;
        description.hActCtx = context;
    }

    using CreateFunction = HPROPSHEETPAGE(WINAPI*)(LPCPROPSHEETPAGEW);
    const auto create = reinterpret_cast<CreateFunction>(reinterpret_cast<void*>(
        Module().FindCommonFunction(L"comctl32.dll", "CreatePropertySheetPageW")));
    if (create == nullptr) {
        return nullptr;
    }
    owner_.AddRef();
    HPROPSHEETPAGE page = nullptr;
    {
        ActivationScope scope;
        page = create(&description);
    }
    if (page == nullptr) {
        owner_.Release();
    }
    return page;
}

UINT CALLBACK DocumentPropertyPage::PageCallback(HWND, UINT message, PROPSHEETPAGEW* page) {
    if (message == PSPCB_RELEASE && page != nullptr) {
        reinterpret_cast<DocumentPropertyPage*>(page->lParam)->owner_.Release();
    }
    return 1;
}

INT_PTR CALLBACK DocumentPropertyPage::DialogProc(HWND window, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
    DocumentPropertyPage* page = nullptr;
    if (message == WM_INITDIALOG) {
        const auto* description = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
        page = reinterpret_cast<DocumentPropertyPage*>(description->lParam);
        ::SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(page));
        page->window_ = window;
    } else {
        page = reinterpret_cast<DocumentPropertyPage*>(::GetWindowLongPtrW(window, DWLP_USER));
    }
    if (page == nullptr) {
        return FALSE;
    }
    try {
        return page->HandleMessage(message, wParam, lParam);
    } catch (...) {
        return FALSE;
    }
}

INT_PTR DocumentPropertyPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        OnInitialize();
        return TRUE;
    }
    if (message == ReportMessages::DocumentParsed()) {
        if (lParam == tag_) {
            OnDocumentParsed();
        }
        return TRUE;
    }
    if (message == ReportMessages::CertificateValidated()) {
        if (lParam == tag_) {
            OnCertificateValidated(static_cast<ValidationResult>(wParam));
        }
        return TRUE;
    }
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_PAGE_VIEW_CERTIFICATE && HIWORD(wParam) == BN_CLICKED) {
            OnViewCertificate();
            return TRUE;
        }
        break;
    case WM_DESTROY: {
        const auto icon = reinterpret_cast<HICON>(
            ::SendDlgItemMessageW(window_, IDC_PAGE_PICTURE, STM_SETICON, 0, 0));
        if (icon) {
            ::DestroyIcon(icon);
        }
        ::SetWindowLongPtrW(window_, DWLP_USER, 0);
        window_ = nullptr;
        tag_ = 0;
        break;
    }
    default:
        break;
    }
    return FALSE;
}

void DocumentPropertyPage::OnInitialize() {
    for (int id :
         {IDC_PAGE_HEADING, IDC_PAGE_REPORT, IDC_PAGE_SIGNER_NAME, IDC_PAGE_SIGNER_EMAIL}) {
        MakeMouseDeaf(::GetDlgItem(window_, id));
    }
    const HWND heading = ::GetDlgItem(window_, IDC_PAGE_HEADING);
    CHARFORMAT2W bold = {};
    bold.cbSize = sizeof(bold);
    bold.dwMask = CFM_BOLD;
    bold.dwEffects = CFE_BOLD;
    ::SendMessageW(heading, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&bold));
    ::SetWindowTextW(heading, LoadLocalizedString(IDS_PAGE_HEADING).c_str());

    WriteReportLines(::GetDlgItem(window_, IDC_PAGE_REPORT), VerifyingReportLines(kPageTexts));
    ShowPicture(IDI_PAGE_PROGRESS);

    tag_ = NextTag();
    StartWorker<PageParseThread>(window_, document_, tag_);
}

void DocumentPropertyPage::OnDocumentParsed() {
    Document& document = *document_;
    if (!document.IsOpened() && !document.HasFailed()) {
        document.Open(0);
    }
    const X509Certificate signer(document.SignerCertificate());
    const bool verified = document.IsSignatureValid() && signer.IsInitialized();
    WriteReportLines(::GetDlgItem(window_, IDC_PAGE_REPORT),
                     ParsedReportLines(verified, kPageTexts));
    if (verified) {
        const struct {
            int control;
            DWORD nameType;
        } fields[] = {{IDC_PAGE_SIGNER_NAME, CERT_NAME_FRIENDLY_DISPLAY_TYPE},
                      {IDC_PAGE_SIGNER_EMAIL, CERT_NAME_EMAIL_TYPE}};
        for (const auto& field : fields) {
            const HWND control = ::GetDlgItem(window_, field.control);
            ::EnableWindow(control, TRUE);
            ::SetWindowTextW(control, signer.GetNameInfo(field.nameType, nullptr).c_str());
        }
        ::EnableWindow(::GetDlgItem(window_, IDC_PAGE_VIEW_CERTIFICATE), TRUE);
        StartWorker<PageValidationThread>(window_, signer, tag_);
    } else {
        ShowPicture(IDI_PAGE_TAMPERED);
    }
    Repaint();
}

void DocumentPropertyPage::OnCertificateValidated(ValidationResult result) {
    WriteReportLines(::GetDlgItem(window_, IDC_PAGE_REPORT),
                     ValidatedReportLines(result, kPageTexts,
                                          document_ && document_->IsSignatureAlgorithmOutdated()));
    ShowPicture(ValidatedReportPicture(result) == ReportPicture::Qualified ? IDI_PAGE_PASSED
                                                                           : IDI_PAGE_WARNING);
    Repaint();
}

void DocumentPropertyPage::OnViewCertificate() {
    ActivationScope scope;
    ShowSignerCertificate(*document_, window_);
}

void DocumentPropertyPage::ShowPicture(UINT iconId) {
    const auto icon =
        static_cast<HICON>(::LoadImageW(Module().Handle(), MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                                        kPictureSize, kPictureSize, LR_DEFAULTCOLOR));
    const auto old = reinterpret_cast<HICON>(::SendDlgItemMessageW(
        window_, IDC_PAGE_PICTURE, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0));
    if (old && old != icon) {
        ::DestroyIcon(old);
    }
}

void DocumentPropertyPage::Repaint() {
    ::RedrawWindow(window_, nullptr, nullptr,
                   RDW_ERASE | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}
