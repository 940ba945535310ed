#include "views/signature_report.h"

#include <richedit.h>

#include <algorithm>
#include <climits>
#include <iterator>

#include "certificates/x509_certificate.h"
#include "config/localization.h"
#include "document/report/certificate_validation_thread.h"
#include "document/report/report_messages.h"
#include "document/report/timestamp_line.h"
#include "document/report/validation_report.h"
#include "document/container/document.h"
#include "document/report/report_details.h"
#include "foundation/resource_string.h"
#include "resources/common/localized_ids.h"

using namespace Dossiq::Config;
using namespace Dossiq::Documents;

namespace Dossiq::Views {

using MHFX::Security::Cryptography::X509::ValidationResult;
using MHFX::Security::Cryptography::X509::X509Certificate;

namespace {

// Image-list indexes of the pictures.
enum Image {
    QualifiedImage,
    QualifiedHotImage,
    WarningImage,
    WarningHotImage,
    TamperedImage,
    ProgressImage
};

CHARFORMAT2W Format(COLORREF colour, bool bold) {
    CHARFORMAT2W format = {};
    format.cbSize = sizeof(format);
    format.dwMask = CFM_COLOR | CFM_BOLD;
    format.dwEffects = bold ? CFE_BOLD : 0;
    format.crTextColor = ShownColour(colour, HighContrastOn());
    return format;
}

} // namespace

COLORREF ShownColour(COLORREF colour, bool highContrast) {
    return highContrast ? ::GetSysColor(COLOR_WINDOWTEXT) : colour;
}

bool HighContrastOn() {
    HIGHCONTRASTW contrast = {};
    contrast.cbSize = sizeof(contrast);
    return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

void SetFirstLine(HWND richEdit, const std::wstring& text, COLORREF colour) {
    CHARFORMAT2W format = Format(colour, true);
    ::SendMessageW(richEdit, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    ::SetWindowTextW(richEdit, (text + L"\r\n").c_str());
}

void AppendLine(HWND richEdit, const std::wstring& text, COLORREF colour, bool bold) {
    // Past the end is taken as the end.
    ::SendMessageW(richEdit, EM_SETSEL, INT_MAX, INT_MAX);
    CHARFORMAT2W format = Format(colour, bold);
    ::SendMessageW(richEdit, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    ::SendMessageW(richEdit, EM_REPLACESEL, FALSE,
                   reinterpret_cast<LPARAM>((text + L"\r\n").c_str()));
}

void WriteReportLines(HWND richEdit, const std::vector<ReportLine>& lines) {
    for (size_t i = 0; i < lines.size(); ++i) {
        const ReportLine& line = lines[i];
        const std::wstring text = line.textId ? LoadLocalizedString(line.textId) : std::wstring();
        if (i == 0) {
            SetFirstLine(richEdit, text, line.colour);
        } else {
            AppendLine(richEdit, text, line.colour, line.bold);
        }
    }
}

void WriteDetails(HWND richEdit, const std::vector<ReportDetail>& details) {
    if (details.empty()) {
        ::SetWindowTextW(richEdit, L"");
        return;
    }
    SetFirstLine(richEdit, DetailsHeading(), ReportBlack);
    for (const ReportDetail& detail : details) {
        const DetailText text = DetailTextOf(detail);
        AppendLine(richEdit, text.title, ReportBlack, true);
        AppendLine(richEdit, text.text, ReportBlack, false);
        if (!text.advice.empty()) {
            AppendLine(richEdit, AdviceLabel() + L" " + text.advice, ReportBlack, false);
        }
    }
    // The start in view, not the end the last append scrolled to.
    ::SendMessageW(richEdit, EM_SETSEL, 0, 0);
    ::SendMessageW(richEdit, EM_SCROLLCARET, 0, 0);
}

SignatureReport::SignatureReport(const ReportTexts& texts) : texts_(texts) {}

SignatureReport::~SignatureReport() {
    if (images_) {
        ::ImageList_Destroy(images_);
    }
}

void SignatureReport::Attach(HWND textBox, HWND pictureButton, const IconIds& icons,
                             int pictureSize) {
    text_ = textBox;
    std::copy(std::begin(icons), std::end(icons), std::begin(icons_));
    if (!images_) {
        SetPictureSize(pictureSize);
    }
    picture_.Attach(pictureButton, images_);
    ::ShowWindow(pictureButton, SW_HIDE);
    state_ = ReportPicture::None;
}

void SignatureReport::SetPictureSize(int pictureSize) {
    const HIMAGELIST images =
        ::ImageList_Create(pictureSize, pictureSize, ILC_COLOR32 | ILC_MASK, 6, 0);
    if (!images) {
        return;
    }
    for (UINT id : icons_) {
        HICON icon = static_cast<HICON>(::LoadImageW(MHFX::CurrentModule(), MAKEINTRESOURCEW(id),
                                                     IMAGE_ICON, pictureSize, pictureSize, 0));
        ::ImageList_AddIcon(images, icon);
        if (icon) {
            ::DestroyIcon(icon);
        }
    }
    if (images_) {
        ::ImageList_Destroy(images_);
    }
    images_ = images;
    pictureSize_ = pictureSize;
    picture_.SetImageList(images_);
    if (picture_.Handle() && ::IsWindowVisible(picture_.Handle())) {
        picture_.SizeToImage();
    }
}

void SignatureReport::SetPicture(ReportPicture picture) {
    state_ = picture;
    switch (picture) {
    case ReportPicture::InProgress:
        picture_.SetImages(ProgressImage, ProgressImage, ProgressImage, ProgressImage);
        break;
    case ReportPicture::Tampered:
        picture_.SetImages(TamperedImage, TamperedImage, TamperedImage, TamperedImage);
        break;
    case ReportPicture::Qualified:
        picture_.SetImages(QualifiedImage, QualifiedImage, QualifiedHotImage, QualifiedImage);
        break;
    case ReportPicture::Warning:
        picture_.SetImages(WarningImage, WarningImage, WarningHotImage, WarningImage);
        break;
    case ReportPicture::None:
        break;
    }
    ::ShowWindow(picture_.Handle(), SW_SHOW);
    picture_.SizeToImage();
}

void SignatureReport::RedrawPane() const {
    const HWND pane = ::GetParent(text_);
    ::RedrawWindow(pane ? pane : text_, nullptr, nullptr,
                   RDW_ERASE | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void SignatureReport::ShowVerifying() {
    WriteReportLines(text_, VerifyingReportLines(texts_));
    picture_.SetEffects(0);
    SetPicture(ReportPicture::InProgress);
    RedrawPane();
}

void SignatureReport::ShowParsed(bool verified, bool unsupported) {
    WriteReportLines(text_, ParsedReportLines(verified, texts_, unsupported));
    if (!verified) {
        SetPicture(unsupported ? ReportPicture::Warning : ReportPicture::Tampered);
    }
    RedrawPane();
}

bool SignatureReport::OnDocumentParsed(Document& document, HWND owner, LPARAM tag,
                                       std::shared_ptr<ValidationReport> report) {
    document.OpenOnce();
    const bool verified = document.IsSignatureValid();
    outdatedAlgorithm_ = document.IsSignatureAlgorithmOutdated();
    // The worker evaluated the timestamp; nothing here may wait for the network.
    timestamp_ = verified && report ? report->Selected().timestamp : TimestampReport{};
    ShowParsed(verified, document.SignatureCheck() == SignatureStatus::Unsupported);
    if (verified) {
        const X509Certificate signer(document.SignerCertificate());
        if (signer.IsInitialized() && !CertificateValidationThread::Start(
                                          owner, signer, tag, std::move(report),
                                          timestamp_.used ? &timestamp_.provenTime : nullptr)) {
            // No worker: the checks could not run, which reads as a failed chain.
            ::PostMessageW(owner, ReportMessages::CertificateValidated(),
                           static_cast<WPARAM>(ValidationResult::ChainInvalidOther), tag);
        }
    }
    return verified;
}

void SignatureReport::ShowValidated(ValidationResult result, const ValidationReport* report) {
    const bool checked = !report || report->Selected().validated;
    WriteReportLines(text_, checked ? ValidatedReportLines(result, texts_, outdatedAlgorithm_)
                                    : ReportLinesOf(*report, texts_));
    const std::wstring timestampLine = checked ? TimestampLineText(timestamp_) : std::wstring();
    if (!timestampLine.empty()) {
        AppendLine(text_, timestampLine, ReportBlack, false);
    }
    picture_.SetEffects(PictureButton::HoverTracking | PictureButton::Frame3D);
    SetPicture(FinishedReportPicture(result, report));
    RedrawPane();
}

void SignatureReport::ShowSignature(const ValidationReport& report) {
    timestamp_ = report.Selected().timestamp;
    outdatedAlgorithm_ = report.Selected().outdatedAlgorithm;
    ShowValidated(report.Selected().result, &report);
}

bool SignatureReport::DrawItem(const DRAWITEMSTRUCT& item) const {
    if (item.hwndItem != picture_.Handle()) {
        return false;
    }
    picture_.Draw(item);
    return true;
}

bool ShowSignerCertificate(Document& document, HWND owner) {
    document.OpenOnce();
    const X509Certificate signer(document.SignerCertificate());
    if (!signer.IsInitialized()) {
        return false;
    }
    signer.ShowCertificate(owner);
    return true;
}

} // namespace Dossiq::Views
