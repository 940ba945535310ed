#include "shell/document_property_page.h"

#include <richedit.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "certificates/x509_certificate.h"
#include "config/localization.h"
#include "document/container/document.h"
#include "document/container/document_kind.h"
#include "document/report/timestamp_line.h"
#include "document/report/certificate_validation_thread.h"
#include "document/report/document_parse_thread.h"
#include "document/report/report_details.h"
#include "document/report/report_messages.h"
#include "views/signature_choice.h"
#include "views/signature_report.h"
#include "document/report/validation_report.h"
#include "foundation/io/path.h"
#include "foundation/text/readable_text.h"
#include "foundation/threading/thread.h"
#include "resources/shellext/resource.h"
#include "shell/shell_module.h"
#include "ui/dpi.h"
#include "ui/mouse_deaf.h"

using namespace Dossiq::Config;
using namespace Dossiq::Documents;
using namespace Dossiq::Views;

namespace Dossiq::Shell {

using MHFX::Security::Cryptography::X509::ValidationResult;
using MHFX::Security::Cryptography::X509::X509Certificate;

namespace {

const ReportTexts kPageTexts = {IDS_PAGE_NOT_TAMPERED, IDS_PAGE_TAMPERED,
                                IDS_PAGE_VERIFYING_SIGNATURE, IDS_PAGE_VALIDATING_CERTIFICATE,
                                true};

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
    PreparePage(description);
    description.pfnCallback = &DocumentPropertyPage::PageCallback;
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

bool DocumentPropertyPage::AddTo(std::shared_ptr<Document> document, LPFNSVADDPROPSHEETPAGE addPage,
                                 LPARAM parameter) {
    const std::wstring title = Title(document->Path());
    const HPROPSHEETPAGE page = Create(std::move(document), title);
    if (page == nullptr) {
        return false;
    }
    // The page's reference on the owner is taken with the page; destroying a page the sheet
    // refused gives it back through the page's release notification.
    if (!addPage(page, parameter)) {
        using DestroyFunction = BOOL(WINAPI*)(HPROPSHEETPAGE);
        const auto destroy = reinterpret_cast<DestroyFunction>(reinterpret_cast<void*>(
            Module().FindCommonFunction(L"comctl32.dll", "DestroyPropertySheetPage")));
        if (destroy) {
            destroy(page);
        }
        return false;
    }
    return true;
}

std::wstring DocumentPropertyPage::Title(const std::wstring& path) {
    std::wstring extension = MHFX::IO::Path::GetExtension(path);
    if (!extension.empty()) {
        extension.erase(0, 1);
    }
    if (extension == L"snx")
        return KindDisplayName(DocumentKind::Signed);
    if (extension == L"enx")
        return KindDisplayName(DocumentKind::Encrypted);
    if (extension == L"pnx")
        return KindDisplayName(DocumentKind::Protected);
    return std::wstring();
}

UINT CALLBACK DocumentPropertyPage::PageCallback(HWND, UINT message, PROPSHEETPAGEW* page) {
    if (message == PSPCB_RELEASE && page != nullptr) {
        reinterpret_cast<DocumentPropertyPage*>(page->lParam)->owner_.Release();
    }
    return 1;
}

bool DocumentPropertyPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    result = TRUE;
    if (message == WM_INITDIALOG) {
        window_ = Handle();
        OnInitialize();
        return true;
    }
    if (message == ReportMessages::DocumentParsed()) {
        if (lParam == tag_) {
            OnDocumentParsed();
        }
        return true;
    }
    if (message == ReportMessages::CertificateValidated()) {
        if (lParam == tag_) {
            OnCertificateValidated(static_cast<ValidationResult>(wParam));
        }
        return true;
    }
    switch (message) {
    case WM_NOTIFY: {
        const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
        if (header.idFrom == IDC_PAGE_REPORT && header.code == EN_REQUESTRESIZE) {
            FitReport(reinterpret_cast<const REQRESIZE*>(lParam)->rc);
            return true;
        }
        break;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_PAGE_VIEW_CERTIFICATE && HIWORD(wParam) == BN_CLICKED) {
            OnViewCertificate();
            return true;
        }
        if (LOWORD(wParam) == IDC_PAGE_SIGNATURE && HIWORD(wParam) == CBN_SELCHANGE) {
            OnSignatureChosen();
            return true;
        }
        break;
    case WM_DESTROY: {
        const auto icon = reinterpret_cast<HICON>(
            ::SendDlgItemMessageW(window_, IDC_PAGE_PICTURE, STM_SETICON, 0, 0));
        if (icon) {
            ::DestroyIcon(icon);
        }
        window_ = nullptr;
        tag_ = 0;
        break;
    }
    default:
        break;
    }
    return false;
}

void DocumentPropertyPage::OnInitialize() {
    for (int id :
         {IDC_PAGE_HEADING, IDC_PAGE_REPORT, IDC_PAGE_SIGNER_NAME, IDC_PAGE_SIGNER_EMAIL}) {
        Ui::MakeMouseDeaf(::GetDlgItem(window_, id));
    }
    const HWND heading = ::GetDlgItem(window_, IDC_PAGE_HEADING);
    CHARFORMAT2W bold = {};
    bold.cbSize = sizeof(bold);
    bold.dwMask = CFM_BOLD;
    bold.dwEffects = CFE_BOLD;
    ::SendMessageW(heading, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&bold));
    ::SetWindowTextW(heading, LoadLocalizedString(IDS_PAGE_HEADING).c_str());

    // The report grows into the details' room when its lines need more than its own.
    for (auto [id, rect] :
         {std::pair{IDC_PAGE_REPORT, &reportRect_}, std::pair{IDC_PAGE_DETAILS, &detailsRect_}}) {
        ::GetWindowRect(::GetDlgItem(window_, id), rect);
        ::MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(rect), 2);
    }
    const HWND report = ::GetDlgItem(window_, IDC_PAGE_REPORT);
    const LRESULT events = ::SendMessageW(report, EM_GETEVENTMASK, 0, 0);
    ::SendMessageW(report, EM_SETEVENTMASK, 0, events | ENM_REQUESTRESIZE);

    WriteReportLines(::GetDlgItem(window_, IDC_PAGE_REPORT), VerifyingReportLines(kPageTexts));
    ShowPicture(IDI_PAGE_PROGRESS);
    NameSignatureChoice(::GetDlgItem(window_, IDC_PAGE_SIGNATURE));

    tag_ = NextTag();
    // Without a worker the page opens the document itself rather than wait for ever.
    parsed_ = std::make_shared<ParsedDocument>();
    if (!MHFX::StartWorker<PageParseThread>(window_, document_, tag_, parsed_)) {
        ::PostMessageW(window_, ReportMessages::DocumentParsed(), 0, tag_);
    }
}

void DocumentPropertyPage::OnDocumentParsed() {
    Document& document = *document_;
    if (!parsed_ || !parsed_->report) {
        // No worker could be made: the page does its work, once.
        parsed_ = std::make_shared<ParsedDocument>();
        parsed_->Parse(document);
    }
    report_ = parsed_->report ? parsed_->report : std::make_shared<ValidationReport>();
    const X509Certificate signer(document.SignerCertificate());
    const bool verified = document.IsSignatureValid() && signer.IsInitialized();
    const bool unsupported = document.SignatureCheck() == SignatureStatus::Unsupported;
    WriteReportLines(::GetDlgItem(window_, IDC_PAGE_REPORT),
                     ParsedReportLines(verified, kPageTexts, unsupported));
    if (verified) {
        ShowSigner();
        // The worker judges at the time the report's timestamp proves, when there is one.
        timestamp_ = report_->Selected().timestamp;
        if (!MHFX::StartWorker<PageValidationThread>(window_, signer, tag_, report_)) {
            ::PostMessageW(window_, ReportMessages::CertificateValidated(),
                           static_cast<WPARAM>(ValidationResult::ChainInvalidOther), tag_);
        }
    } else {
        ShowPicture(unsupported ? IDI_PAGE_WARNING : IDI_PAGE_TAMPERED);
        ShowDetails();
    }
    Repaint();
}

void DocumentPropertyPage::OnCertificateValidated(ValidationResult result) {
    // A worker that ended without a result leaves the check in progress, the details say why.
    const bool checked = !report_ || report_->Selected().validated;
    WriteReportLines(::GetDlgItem(window_, IDC_PAGE_REPORT),
                     checked ? ValidatedReportLines(
                                   result, kPageTexts,
                                   report_ ? report_->Selected().outdatedAlgorithm
                                           : document_ && document_->IsSignatureAlgorithmOutdated())
                             : ReportLinesOf(*report_, kPageTexts));
    const std::wstring timestampLine = checked ? TimestampLineText(timestamp_) : std::wstring();
    if (!timestampLine.empty()) {
        AppendLine(::GetDlgItem(window_, IDC_PAGE_REPORT), timestampLine, ReportBlack, false);
    }
    const ReportPicture picture = FinishedReportPicture(result, report_.get());
    ShowPicture(picture == ReportPicture::Qualified  ? IDI_PAGE_PASSED
                : picture == ReportPicture::Tampered ? IDI_PAGE_TAMPERED
                                                     : IDI_PAGE_WARNING);
    if (report_) {
        ShowDetails();
        // The choice takes the report's first lines; the report starts below it.
        const HWND choice = ::GetDlgItem(window_, IDC_PAGE_SIGNATURE);
        if (ShowSignatureChoice(choice, *report_)) {
            RECT box;
            ::GetWindowRect(choice, &box);
            ::MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&box), 2);
            reportRect_.top = std::max(reportRect_.top, box.bottom + 3);
        }
    }
    Repaint();
}

void DocumentPropertyPage::ShowSigner() {
    // The signature shown, once the report lists them (a countersigner is in it alone).
    const X509Certificate signer(report_ && report_->Selected().certificate.IsInitialized()
                                     ? report_->Selected().certificate.Handle()
                                     : document_->SignerCertificate());
    const struct {
        int control;
        DWORD nameType;
    } fields[] = {{IDC_PAGE_SIGNER_NAME, CERT_NAME_FRIENDLY_DISPLAY_TYPE},
                  {IDC_PAGE_SIGNER_EMAIL, CERT_NAME_EMAIL_TYPE}};
    for (const auto& field : fields) {
        const HWND control = ::GetDlgItem(window_, field.control);
        ::EnableWindow(control, TRUE);
        ::SetWindowTextW(control,
                         MHFX::ReadableText(signer.GetNameInfo(field.nameType, nullptr)).c_str());
    }
    ::EnableWindow(::GetDlgItem(window_, IDC_PAGE_VIEW_CERTIFICATE), TRUE);
}

void DocumentPropertyPage::OnSignatureChosen() {
    const LRESULT chosen = ::SendDlgItemMessageW(window_, IDC_PAGE_SIGNATURE, CB_GETCURSEL, 0, 0);
    if (!report_ || chosen < 0 || static_cast<size_t>(chosen) >= report_->signatures.size()) {
        return;
    }
    report_->selectedSignature = static_cast<size_t>(chosen);
    timestamp_ = report_->Selected().timestamp;
    ShowSigner();
    OnCertificateValidated(report_->Selected().result);
}

void DocumentPropertyPage::ShowDetails() {
    const std::vector<ReportDetail> details =
        report_ ? DetailsOf(*report_) : std::vector<ReportDetail>();
    const HWND box = ::GetDlgItem(window_, IDC_PAGE_DETAILS);
    WriteDetails(box, details);
    ::ShowWindow(box, details.empty() ? SW_HIDE : SW_SHOW);
}

void DocumentPropertyPage::OnViewCertificate() {
    ActivationScope scope;
    if (report_ && report_->Selected().certificate.IsInitialized()) {
        report_->Selected().certificate.ShowCertificate(window_);
    } else {
        ShowSignerCertificate(*document_, window_);
    }
}

void DocumentPropertyPage::ShowPicture(UINT iconId) {
    // 48 pixels at 96 DPI, in the size made for the scale Explorer shows the page at.
    const int size = Ui::FittingSize(48, Ui::WindowDpi(window_), {48, 60, 72, 96});
    const auto icon = static_cast<HICON>(::LoadImageW(Module().Handle(), MAKEINTRESOURCEW(iconId),
                                                      IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    const auto old = reinterpret_cast<HICON>(::SendDlgItemMessageW(
        window_, IDC_PAGE_PICTURE, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0));
    if (old && old != icon) {
        ::DestroyIcon(old);
    }
}

void DocumentPropertyPage::FitReport(const RECT& needed) {
    RECT report = reportRect_;
    report.bottom = std::max(report.bottom, report.top + (needed.bottom - needed.top));
    RECT details = detailsRect_;
    details.top = std::max(details.top, report.bottom + (detailsRect_.top - reportRect_.bottom));
    details.bottom = std::max(details.bottom, details.top);
    for (auto [id, rect] :
         {std::pair{IDC_PAGE_REPORT, report}, std::pair{IDC_PAGE_DETAILS, details}}) {
        ::MoveWindow(::GetDlgItem(window_, id), rect.left, rect.top, rect.right - rect.left,
                     rect.bottom - rect.top, TRUE);
    }
}

void DocumentPropertyPage::Repaint() {
    ::SendDlgItemMessageW(window_, IDC_PAGE_REPORT, EM_REQUESTRESIZE, 0, 0);
    ::RedrawWindow(window_, nullptr, nullptr,
                   RDW_ERASE | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

} // namespace Dossiq::Shell
