// The pane under the file list (dialog 101): the signature report's picture button, its
// rich-edit box and, under them, the details box that fills the rest of the pane when a
// report has details. The box ignores the mouse buttons and always shows the arrow, so its text
// cannot be selected. Commands and notifications of the controls go to the parent.
//
// Above the report, a document with several signatures shows which one it describes.
//
// The picture, the report and the details tell assistive technology their names (the picture
// its verdict in words) and their text; the box that has the focus is framed.
#pragma once

#include "views/signature_report.h"
#include "foundation/handle.h"
#include "ui/dialog.h"

namespace Dossiq::Manager {

class ReportPane : public Ui::Dialog {
public:
    // The pane at `dpi`: the dialog's own scaling and the pictures made for it.
    HWND Create(HWND parent, UINT dpi = 96);
    Views::SignatureReport& Report() { return report_; }
    const Views::SignatureReport& Report() const { return report_; }
    // Shows the details (hidden when there are none); true when the box is shown.
    bool ShowDetails(const std::vector<Dossiq::Documents::ReportDetail>& details);
    HWND DetailsBox() const;
    // The choice of the signature shown, above the report when the document has several
    // (hidden without a report).
    void ShowSignatures(const Dossiq::Documents::ValidationReport* report);
    HWND SignatureChoice() const;
    // The pane moved to a monitor of another scale.
    void SetDpi(UINT oldDpi, UINT newDpi);

    // The picture size for `dpi`, of those the pictures were made in.
    static int PictureSizeFor(UINT dpi);

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void Layout();
    void Describe();
    void PaintFocus();

    Views::SignatureReport report_;
    UINT dpi_ = 96;
    int baseHeight_ = 0;    // the report box's own height, at dpi_
    int textTop_ = 0;       // where the report box starts without the choice, at dpi_
    int neededHeight_ = 0;  // what its lines need, as it last asked
    int wrapWidth_ = 0;     // the width they were wrapped at
    MHFX::FontHandle font_; // only once the scale has changed
};

} // namespace Dossiq::Manager
