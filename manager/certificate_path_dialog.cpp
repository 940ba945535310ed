#include "manager/certificate_path_dialog.h"

#include <commctrl.h>

#include "certificates/x509_certificate.h"
#include "config/localization.h"
#include "document/report/report_details.h"
#include "foundation/exception.h"
#include "foundation/handle.h"
#include "resources/manager/resource.h"
#include "ui/window.h"
#include "foundation/text/readable_text.h"

using namespace Dossiq::Config;
using namespace Dossiq::Documents;

using MHFX::Security::Cryptography::X509::X509Certificate;

namespace Dossiq::Manager {

std::vector<CertificatePathDialog::Row>
CertificatePathDialog::RowsOf(const SignatureFacts& signature) {
    std::vector<Row> rows;
    for (size_t i = signature.chain.size(); i-- > 0;) {
        const ChainElementReport& element = signature.chain[i];
        rows.push_back({element.name, ChainElementStatusText(element), element.errors != 0});
    }
    if (rows.empty() && signature.signer.present) {
        // No chain was built (the content did not match): the signer alone, unchecked.
        rows.push_back({signature.signerName, LoadLocalizedString(IDS_HTML_NOT_CHECKED), true});
    }
    return rows;
}

INT_PTR CertificatePathDialog::Show(HWND owner) {
    const LocalizedResource found = FindLocalizedResource(RT_DIALOG, IDD_CERTIFICATE_PATH);
    if (!found) {
        return -1;
    }
    return RunModal(static_cast<const DLGTEMPLATE*>(found.data), owner);
}

void CertificatePathDialog::OnInitDialog() {
    Ui::CenterWindow(Handle(), ::GetParent(Handle()));
    rows_ = RowsOf(signature_);
    const HWND tree = ::GetDlgItem(Handle(), IDC_PATH_TREE);
    HTREEITEM parent = TVI_ROOT;
    HTREEITEM last = nullptr;
    for (size_t i = 0; i < rows_.size(); ++i) {
        // A cross marks an element with a problem, as the system's path view does.
        std::wstring text =
            (rows_[i].problem ? L"\u2716 " : L"") + MHFX::ReadableText(rows_[i].name);
        TVINSERTSTRUCTW insert = {};
        insert.hParent = parent;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_STATE;
        insert.item.pszText = text.data();
        insert.item.lParam = static_cast<LPARAM>(i);
        insert.item.state = TVIS_EXPANDED;
        insert.item.stateMask = TVIS_EXPANDED;
        last = reinterpret_cast<HTREEITEM>(
            ::SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
        parent = last;
    }
    // The signer is what the user asked about.
    if (last) {
        ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(last));
    }
    ::EnableWindow(::GetDlgItem(Handle(), IDC_PATH_VIEW), !signature_.chain.empty());
    ShowStatus();
}

int CertificatePathDialog::SelectedRow() const {
    const HWND tree = ::GetDlgItem(Handle(), IDC_PATH_TREE);
    TVITEMW item = {};
    item.mask = TVIF_PARAM;
    item.hItem = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (!item.hItem || !::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) {
        return -1;
    }
    return static_cast<int>(item.lParam);
}

void CertificatePathDialog::ShowStatus() {
    const int row = SelectedRow();
    const std::wstring text = row >= 0 ? rows_[static_cast<size_t>(row)].status : L"";
    ::SetDlgItemTextW(Handle(), IDC_PATH_STATUS, text.c_str());
}

void CertificatePathDialog::OnView() {
    const int row = SelectedRow();
    if (row < 0 || static_cast<size_t>(row) >= signature_.chain.size()) {
        return;
    }
    // Rows run from the root; the report's chain from the signer.
    const ChainElementReport& element = signature_.chain[signature_.chain.size() - 1 - row];
    MHFX::CertContextHandle context(::CertCreateCertificateContext(
        X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, element.encoded.data(),
        static_cast<DWORD>(element.encoded.size())));
    if (!context) {
        return;
    }
    try {
        X509Certificate(context.get()).ShowCertificate(Handle());
    } catch (const MHFX::Exception&) {
    }
}

bool CertificatePathDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        result = TRUE;
        return true;
    case WM_NOTIFY: {
        const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
        if (header.idFrom != IDC_PATH_TREE) {
            return false;
        }
        if (header.code == TVN_SELCHANGEDW) {
            ShowStatus();
        } else if (header.code == NM_DBLCLK) {
            OnView();
        }
        result = 0;
        return true;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_PATH_VIEW) {
            OnView();
        } else if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) {
            ::EndDialog(Handle(), LOWORD(wParam));
        } else {
            return false;
        }
        result = TRUE;
        return true;
    default:
        return false;
    }
}

} // namespace Dossiq::Manager
