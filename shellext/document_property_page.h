// The "Document" page of a container's property sheet: whether the signature verifies,
// who signed, and the outcome of the certificate checks, filled by the parse and the
// validation workers. Its window belongs to the property sheet; the page object lives
// inside its PropertySheetHandler, which the page keeps alive until the sheet lets it go.
#pragma once

#include <windows.h>
#include <prsht.h>

#include <memory>
#include <string>

#include "certificates/validation_result.h"

class Document;
class PropertySheetHandler;

class DocumentPropertyPage {
public:
    explicit DocumentPropertyPage(PropertySheetHandler& owner) noexcept : owner_(owner) {}
    DocumentPropertyPage(const DocumentPropertyPage&) = delete;
    DocumentPropertyPage& operator=(const DocumentPropertyPage&) = delete;

    // The page for `document`, titled `title` (the dialog's caption when empty); null
    // when the page cannot be made. The page holds one reference on its owner until the
    // sheet releases it.
    HPROPSHEETPAGE Create(std::shared_ptr<Document> document, const std::wstring& title);

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static UINT CALLBACK PageCallback(HWND window, UINT message, PROPSHEETPAGEW* page);

    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitialize();
    void OnDocumentParsed();
    void OnCertificateValidated(MHFX::Security::Cryptography::X509::ValidationResult result);
    void OnViewCertificate();
    void ShowPicture(UINT iconId);
    void Repaint();

    PropertySheetHandler& owner_;
    std::shared_ptr<Document> document_;
    std::wstring title_;
    HWND window_ = nullptr;
    // Tells this page's worker messages from anything else posted to a reused handle.
    LPARAM tag_ = 0;
};
