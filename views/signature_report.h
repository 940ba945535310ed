// The signature report: coloured result lines in a rich-edit box and a state picture,
// filled in three phases (verifying the signature, the document parsed, the certificate
// validated). The line tables (report_lines.h) are kept apart from the controls so that
// every window that shows a report of this kind writes the same lines.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "certificates/validation_result.h"
#include "document/report/report_lines.h"
#include "document/report/timestamp_evaluation.h"
#include "ui/picture_button.h"

namespace Dossiq::Documents {
class Document;
struct ReportDetail;
struct ValidationReport;
} // namespace Dossiq::Documents

namespace Dossiq::Views {

// The colour a report line is written in: its own, or the theme's text colour while a
// high-contrast theme is on (the words and the bold type still tell the lines apart).
COLORREF ShownColour(COLORREF colour, bool highContrast);
bool HighContrastOn();

// The box's default format becomes bold in `colour`; the whole content is replaced by the
// text and a line break.
void SetFirstLine(HWND richEdit, const std::wstring& text, COLORREF colour);
// The text and a line break appended in `colour`, bold or not.
void AppendLine(HWND richEdit, const std::wstring& text, COLORREF colour, bool bold);
// The lines, texts loaded in the preference language.
void WriteReportLines(HWND richEdit, const std::vector<Documents::ReportLine>& lines);
// The "Details" heading and each detail (title in bold, text, advice) in black, replacing
// the box's content; the box is emptied when there are none.
void WriteDetails(HWND richEdit, const std::vector<Documents::ReportDetail>& details);

class SignatureReport {
public:
    // Image-list order of the state pictures: qualified, qualified hot, warning, warning hot,
    // tampered, in progress.
    using IconIds = UINT[6];

    explicit SignatureReport(const Documents::ReportTexts& texts = {});
    ~SignatureReport();
    SignatureReport(const SignatureReport&) = delete;
    SignatureReport& operator=(const SignatureReport&) = delete;

    // Binds the report to its text box and picture button (hidden until the first phase);
    // the icons are loaded at `pictureSize` (48 at 96 DPI) from the running module.
    void Attach(HWND textBox, HWND pictureButton, const IconIds& icons, int pictureSize = 48);
    // The pictures in another size (another scale); the shown one keeps its state.
    void SetPictureSize(int pictureSize);
    int PictureSize() const { return pictureSize_; }

    HWND TextBox() const { return text_; }
    PictureButton& Picture() { return picture_; }
    const PictureButton& Picture() const { return picture_; }
    Documents::ReportPicture PictureState() const { return state_; }

    // Phase 1: the signature is being verified.
    void ShowVerifying();
    // Phase 2 for a document whose parse worker has posted (and described it into `report`):
    // shows whether it was tampered with and, when it was not, starts the validation worker
    // for `owner` with `tag`, judging at the time the report's valid timestamp proves. False
    // when the document is reported tampered.
    // With `report`, the worker runs the checks into it (see CertificateValidationThread).
    bool OnDocumentParsed(Documents::Document& document, HWND owner, LPARAM tag,
                          std::shared_ptr<Documents::ValidationReport> report = nullptr);
    void ShowParsed(bool verified, bool unsupported = false);
    // Phase 3; the six lines, the outdated-algorithm note and the timestamp line. With the
    // report the worker ran the checks into, its lines: a worker that ended without a result
    // leaves the check shown as in progress (the details say why), never as a pass.
    void ShowValidated(MHFX::Security::Cryptography::X509::ValidationResult result,
                       const Documents::ValidationReport* report = nullptr);

    // The report's selected signature in place of the one shown: its lines, timestamp line
    // and the document's picture.
    void ShowSignature(const Documents::ValidationReport& report);

    // For the parent's WM_DRAWITEM; true when the item was the picture button.
    bool DrawItem(const DRAWITEMSTRUCT& item) const;

private:
    void SetPicture(Documents::ReportPicture picture);
    void RedrawPane() const;

    Documents::ReportTexts texts_;
    HWND text_ = nullptr;
    HIMAGELIST images_ = nullptr;
    UINT icons_[6] = {};
    int pictureSize_ = 48;
    PictureButton picture_;
    Documents::ReportPicture state_ = Documents::ReportPicture::None;
    bool outdatedAlgorithm_ = false;
    Documents::TimestampReport timestamp_;
};

// Shows the signer's certificate of `document` (opening it first if nobody has) in the
// system's viewer owned by `owner`; false when the document has no signer.
bool ShowSignerCertificate(Documents::Document& document, HWND owner);

} // namespace Dossiq::Views
