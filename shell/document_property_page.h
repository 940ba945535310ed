// The "Document" page of a container's property sheet: whether the signature verifies,
// who signed, and the outcome of the certificate checks, filled by the parse and the
// validation workers. Its window belongs to the property sheet; the page object lives
// inside its owner (the property-sheet handler), which the page keeps alive until the sheet
// lets it go.
#pragma once

#include <windows.h>
#include <prsht.h>
#include <shlobj.h>

#include <memory>
#include <string>

#include "document/report/timestamp_evaluation.h"
#include "certificates/validation_result.h"
#include "ui/dialog.h"

namespace Dossiq::Documents {
class Document;
struct ParsedDocument;
struct ValidationReport;
} // namespace Dossiq::Documents

namespace Dossiq::Shell {

class DocumentPropertyPage : public Ui::Dialog {
public:
    explicit DocumentPropertyPage(IUnknown& owner) noexcept : owner_(owner) {}

    // The page for `document`, titled `title` (the dialog's caption when empty); null
    // when the page cannot be made. The page holds one reference on its owner until the
    // sheet releases it.
    HPROPSHEETPAGE Create(std::shared_ptr<Documents::Document> document, const std::wstring& title);
    // The page for `document` titled after its kind, handed to `addPage`; a page the sheet
    // refuses is destroyed again. False when there is no page on the sheet.
    bool AddTo(std::shared_ptr<Documents::Document> document, LPFNSVADDPROPSHEETPAGE addPage,
               LPARAM parameter);

    // The tab caption for a container path: the kind's name for "snx", "pnx" and "enx" in
    // exactly these letters, else empty (the page's own caption shows).
    static std::wstring Title(const std::wstring& path);

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    static UINT CALLBACK PageCallback(HWND window, UINT message, PROPSHEETPAGEW* page);

    void OnInitialize();
    void OnDocumentParsed();
    void OnCertificateValidated(MHFX::Security::Cryptography::X509::ValidationResult result);
    void OnViewCertificate();
    void ShowPicture(UINT iconId);
    // Repaints the page after the report has been written, the report box sized to its lines.
    void Repaint();
    void FitReport(const RECT& needed);
    void ShowDetails();
    void ShowSigner();
    // The signature the choice above the report names becomes the one shown.
    void OnSignatureChosen();

    IUnknown& owner_;
    std::shared_ptr<Documents::Document> document_;
    // Filled by the validation worker, read after its message.
    std::shared_ptr<Documents::ParsedDocument> parsed_; // the worker's, read after its message
    std::shared_ptr<Documents::ValidationReport> report_;
    // The report's timestamp, for the line drawn after the six.
    Documents::TimestampReport timestamp_;
    std::wstring title_;
    HWND window_ = nullptr;
    // The report and details boxes as the dialog places them.
    RECT reportRect_ = {};
    RECT detailsRect_ = {};
    // Tells this page's worker messages from anything else posted to a reused handle.
    LPARAM tag_ = 0;
};

} // namespace Dossiq::Shell
