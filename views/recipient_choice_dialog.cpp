#include "views/recipient_choice_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <cwctype>

#include "config/localization.h"
#include "document/container/envelope.h"
#include "foundation/exception.h"
#include "resources/common/localized_ids.h"
#include "ui/accessible_text.h"

using namespace Dossiq::Config;

namespace Dossiq::Views {

using MHFX::Security::Cryptography::X509::X509Certificate;

namespace {

std::wstring Folded(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return text;
}

std::wstring DateOf(const FILETIME& time) {
    SYSTEMTIME utc = {};
    ::FileTimeToSystemTime(&time, &utc);
    wchar_t text[16] = {};
    ::swprintf(text, 16, L"%04u-%02u-%02u", utc.wYear, utc.wMonth, utc.wDay);
    return text;
}

// A label's text as a screen reader says it: without the mnemonic's ampersand.
std::wstring Spoken(UINT id) {
    std::wstring text = LoadLocalizedString(id);
    text.erase(std::remove(text.begin(), text.end(), L'&'), text.end());
    return text;
}

} // namespace

RecipientChoiceDialog::RecipientChoiceDialog(const std::vector<X509Certificate>& candidates,
                                             bool forMe)
    : forMe_(forMe) {
    for (const X509Certificate& certificate : candidates) {
        Row row;
        row.certificate = certificate;
        try {
            row.name = certificate.GetNameInfo(CERT_NAME_SIMPLE_DISPLAY_TYPE, nullptr);
            row.email = certificate.GetNameInfo(CERT_NAME_EMAIL_TYPE, nullptr);
        } catch (const MHFX::Exception&) {
            // Listed without the names it does not give.
        }
        row.validTo = DateOf(certificate.Handle()->pCertInfo->NotAfter);
        rows_.push_back(std::move(row));
    }
}

bool RecipientChoiceDialog::Ask(HWND owner) {
    return RunModal(IDD_RECIPIENT_CHOICE, owner) == IDOK;
}

std::vector<X509Certificate> RecipientChoiceDialog::Chosen() const {
    std::vector<X509Certificate> chosen;
    for (const Row& row : rows_) {
        if (row.checked) {
            chosen.push_back(row.certificate);
        }
    }
    return chosen;
}

void RecipientChoiceDialog::Initialize() {
    const HWND dialog = Handle();
    ::SetWindowTextW(dialog, LoadLocalizedString(IDS_RECIPIENTS_TITLE).c_str());
    const struct {
        int control;
        UINT text;
    } texts[] = {{IDC_RECIPIENT_SEARCH_LABEL, IDS_RECIPIENTS_SEARCH},
                 {IDC_RECIPIENT_LIST_LABEL, IDS_RECIPIENTS_LIST},
                 {IDC_RECIPIENT_FOR_ME, IDS_RECIPIENTS_FOR_ME},
                 {IDOK, IDS_RECIPIENTS_OK},
                 {IDCANCEL, IDS_RECIPIENTS_CANCEL}};
    for (const auto& text : texts) {
        ::SetDlgItemTextW(dialog, text.control, LoadLocalizedString(text.text).c_str());
    }
    ::CheckDlgButton(dialog, IDC_RECIPIENT_FOR_ME, forMe_ ? BST_CHECKED : BST_UNCHECKED);

    const HWND list = ::GetDlgItem(dialog, IDC_RECIPIENT_LIST);
    ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                   LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    RECT client = {};
    ::GetClientRect(list, &client);
    const int width = client.right - client.left - ::GetSystemMetrics(SM_CXVSCROLL);
    const struct {
        UINT text;
        int share; // of the width, in eighths
    } columns[] = {
        {IDS_RECIPIENTS_NAME, 3}, {IDS_RECIPIENTS_EMAIL, 3}, {IDS_RECIPIENTS_VALID_TO, 2}};
    for (int i = 0; i < 3; ++i) {
        std::wstring text = LoadLocalizedString(columns[i].text);
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = width * columns[i].share / 8;
        column.pszText = text.data();
        column.iSubItem = i;
        ::SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    // Named after their labels, also where the system's proxies do not look at them.
    for (const auto& named : {std::make_pair(IDC_RECIPIENT_SEARCH, IDS_RECIPIENTS_SEARCH),
                              std::make_pair(IDC_RECIPIENT_LIST, IDS_RECIPIENTS_LIST)}) {
        Ui::AccessibleText text;
        text.name = [id = named.second] { return Spoken(id); };
        Ui::SetAccessibleText(::GetDlgItem(dialog, named.first), std::move(text));
    }
    Fill();
}

void RecipientChoiceDialog::Fill() {
    const HWND dialog = Handle();
    const HWND list = ::GetDlgItem(dialog, IDC_RECIPIENT_LIST);
    wchar_t typed[256] = {};
    ::GetDlgItemTextW(dialog, IDC_RECIPIENT_SEARCH, typed, 256);
    const std::wstring wanted = Folded(typed);

    filling_ = true;
    ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    int shown = 0;
    for (size_t i = 0; i < rows_.size(); ++i) {
        Row& row = rows_[i];
        if (!wanted.empty() && Folded(row.name).find(wanted) == std::wstring::npos &&
            Folded(row.email).find(wanted) == std::wstring::npos) {
            continue;
        }
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = shown;
        item.pszText = row.name.data();
        item.lParam = static_cast<LPARAM>(i);
        const int at = static_cast<int>(
            ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        const std::wstring* columns[] = {&row.email, &row.validTo};
        for (int column = 1; column <= 2; ++column) {
            LVITEMW sub = {};
            sub.iSubItem = column;
            sub.pszText = const_cast<wchar_t*>(columns[column - 1]->c_str());
            ::SendMessageW(list, LVM_SETITEMTEXTW, at, reinterpret_cast<LPARAM>(&sub));
        }
        ListView_SetCheckState(list, at, row.checked);
        ++shown;
    }
    if (shown > 0) {
        ListView_SetItemState(list, 0, LVIS_FOCUSED, LVIS_FOCUSED);
    }
    ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    filling_ = false;
    UpdateOk();
}

void RecipientChoiceDialog::OnItemChanged(const NMLISTVIEW& change) {
    if (filling_ || !(change.uChanged & LVIF_STATE) ||
        !((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK)) {
        return;
    }
    const size_t index = static_cast<size_t>(change.lParam);
    if (change.iItem >= 0 && index < rows_.size()) {
        rows_[index].checked = ListView_GetCheckState(change.hdr.hwndFrom, change.iItem) != FALSE;
        UpdateOk();
    }
}

void RecipientChoiceDialog::UpdateOk() {
    const size_t count =
        static_cast<size_t>(
            std::count_if(rows_.begin(), rows_.end(), [](const Row& row) { return row.checked; })) +
        (forMe_ ? 1 : 0);
    ::EnableWindow(::GetDlgItem(Handle(), IDOK), count > 0 && count <= Documents::kMostRecipients);
}

bool RecipientChoiceDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
    case WM_INITDIALOG:
        Initialize();
        result = TRUE;
        return true;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_RECIPIENT_LIST && header->code == LVN_ITEMCHANGED) {
            OnItemChanged(*reinterpret_cast<const NMLISTVIEW*>(lParam));
            result = 0;
            return true;
        }
        return false;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_RECIPIENT_SEARCH:
            if (HIWORD(wParam) == EN_CHANGE) {
                Fill();
            }
            return true;
        case IDC_RECIPIENT_FOR_ME:
            forMe_ = ::IsDlgButtonChecked(Handle(), IDC_RECIPIENT_FOR_ME) == BST_CHECKED;
            UpdateOk();
            return true;
        case IDOK:
            // Enter reaches here also while OK is disabled.
            if (::IsWindowEnabled(::GetDlgItem(Handle(), IDOK))) {
                ::EndDialog(Handle(), IDOK);
            }
            return true;
        case IDCANCEL:
            ::EndDialog(Handle(), IDCANCEL);
            return true;
        default:
            return false;
        }
    default:
        return false;
    }
}

} // namespace Dossiq::Views
