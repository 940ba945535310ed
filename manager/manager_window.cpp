#include "manager/manager_window.h"

#include <shellapi.h>
#include <shlobj.h>

#include <vector>

#include "certificates/validation_result.h"
#include "config/localization.h"
#include "config/preferences.h"
#include "document/container/document.h"
#include "document/container/document_entries.h"
#include "document/container/document_kind.h"
#include "document/container/entry_target.h"
#include "document/container/extraction_command.h"
#include "document/container/visible_name.h"
#include "document/report/document_parse_thread.h"
#include "document/report/report_details.h"
#include "document/report/report_html.h"
#include "document/report/validation_report.h"
#include "document/report/report_messages.h"
#include "foundation/environment.h"
#include "foundation/exception.h"
#include "foundation/handle.h"
#include "foundation/io/file.h"
#include "foundation/io/path.h"
#include "foundation/resource_string.h"
#include "foundation/win32_exception.h"
#include "manager/about_dialog.h"
#include "manager/listing_thread.h"
#include "manager/open_with_care.h"
#include "manager/certificate_path_dialog.h"
#include "resources/manager/resource.h"
#include "ui/drop_list.h"

using MHFX::IO::Path;
using MHFX::Security::Cryptography::X509::ValidationResult;

namespace Manager {

namespace {

constexpr int kWidth = 555;
constexpr int kHeight = 600;
constexpr int kReportPaneReserve = 153;
constexpr int kMinPaneSize = 108;
// How much higher the report pane grows while it shows details.
constexpr int kDetailsHeight = 190;

constexpr UINT kActions[] = {ID_ACTION_VIEW, ID_ACTION_EXTRACT, ID_ACTION_EXTRACT_TO,
                             ID_ACTION_EXTRACT_ALL, ID_ACTION_EXTRACT_ALL_TO};

struct LanguageCommand {
    UINT command;
    WORD language;
};
constexpr LanguageCommand kLanguages[] = {{ID_LANGUAGE_ENGLISH, LanguageEnglish},
                                          {ID_LANGUAGE_SERBIAN_LATIN, LanguageSerbianLatin},
                                          {ID_LANGUAGE_SERBIAN_CYRILLIC, LanguageSerbianCyrillic}};

const std::initializer_list<DocumentKind> kOpenableKinds = {DocumentKind::Signed,
                                                            DocumentKind::Protected};

std::wstring Caption() {
    return LoadLocalizedString(IDS_MANAGER_CAPTION);
}

std::wstring ModulePath() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

} // namespace

std::wstring DocumentPathFromCommandLine(const wchar_t* commandLine) {
    if (!commandLine) {
        return {};
    }
    std::wstring line = commandLine;
    size_t i = 0;
    // The program name: quoted, or up to the first blank.
    if (i < line.size() && line[i] == L'"') {
        const size_t close = line.find(L'"', 1);
        i = close == std::wstring::npos ? line.size() : close + 1;
    } else {
        while (i < line.size() && line[i] != L' ' && line[i] != L'\t') {
            ++i;
        }
    }
    std::wstring rest = Path::TrimWhiteSpace(line.substr(i));
    const size_t first = rest.find_first_not_of(L'"');
    if (first == std::wstring::npos) {
        return {};
    }
    const size_t last = rest.find_last_not_of(L'"');
    return rest.substr(first, last - first + 1);
}

std::wstring BrowseForFolder(HWND owner) {
    const std::wstring title = LoadLocalizedString(IDS_SELECT_DESTINATION);
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&info);
    if (!chosen) {
        return {};
    }
    wchar_t path[MAX_PATH] = {};
    const BOOL hasPath = ::SHGetPathFromIDListW(chosen, path);
    ::CoTaskMemFree(chosen);
    return hasPath ? std::wstring(path) : std::wstring();
}

bool ResolveContainerPath(const std::wstring& path, std::wstring& fullPath, std::wstring& folder) {
    try {
        std::wstring full = Path::GetFullPath(path);
        folder = Path::GetDirectoryName(full);
        fullPath = std::move(full);
        return true;
    } catch (const MHFX::Exception&) {
        fullPath.clear();
        folder.clear();
        return false;
    }
}

std::wstring ChooseReportFile(HWND owner, const std::wstring& proposed) {
    std::wstring filter = LoadLocalizedString(IDS_SAVE_REPORT_FILTER);
    filter += L'\0';
    filter += L"*.html";
    filter += L'\0';
    wchar_t file[MAX_PATH] = {};
    lstrcpynW(file, proposed.c_str(), MAX_PATH);
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = L"html";
    dialog.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
    return ::GetSaveFileNameW(&dialog) ? std::wstring(file) : std::wstring();
}

ManagerWindow::ManagerWindow(const std::wstring& documentPath)
    : chooseFolder(&BrowseForFolder), chooseReportFile(&ChooseReportFile),
      initialPath_(documentPath) {}

ManagerWindow::~ManagerWindow() {
    if (Handle()) {
        ::DestroyWindow(Handle());
    }
}

HMENU ManagerWindow::LoadContextMenu() {
    return ::LoadMenuW(MHFX::CurrentModule(), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

HWND ManagerWindow::Create() {
    const LocalizedResource menuTemplate = FindLocalizedResource(RT_MENU, IDR_MAINFRAME);
    HMENU menu = menuTemplate
                     ? ::LoadMenuIndirectW(static_cast<const MENUTEMPLATEW*>(menuTemplate.data))
                     : nullptr;
    HICON icon = ::LoadIconW(MHFX::CurrentModule(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    const RECT rect = {0, 0, kWidth, kHeight};
    HWND hwnd =
        Window::Create(kManagerWindowClass, nullptr, Caption().c_str(),
                       WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, WS_EX_ACCEPTFILES,
                       rect, menu, icon, ::GetSysColorBrush(COLOR_BTNFACE));
    if (!hwnd && menu) {
        ::DestroyMenu(menu);
    }
    return hwnd;
}

void ManagerWindow::OnCreate() {
    const MHFX::OperatingSystem& os = MHFX::Environment::OSVersion();
    const UINT toolbarId =
        ToolbarResourceFor(os.Major, os.Minor, IDR_MAINFRAME, IDR_TOOLBAR_CLASSIC);
    toolbar_.Create(Handle(), toolbarId, toolbarId == IDR_MAINFRAME);

    loop_ = MessageLoop::Current();
    if (loop_) {
        loop_->AddMessageFilter(this);
        loop_->AddIdleHandler(this);
    }

    SHFILEINFOW info = {};
    systemImages_ = reinterpret_cast<HIMAGELIST>(
        ::SHGetFileInfoW(L"C:\\", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));

    RECT client;
    ::GetClientRect(Handle(), &client);
    splitter_.Create(Handle(), client);
    // A virtual list: tens of thousands of entries are shown without inserting a row each.
    list_ =
        ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, nullptr,
                          WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | LVS_REPORT |
                              LVS_SINGLESEL | LVS_NOSORTHEADER | LVS_SHOWSELALWAYS | LVS_OWNERDATA,
                          0, 0, 0, 0, splitter_.Handle(), nullptr, MHFX::CurrentModule(), nullptr);
    pane_.Create(splitter_.Handle());
    ::ShowWindow(pane_.Handle(), SW_SHOW);

    ::SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                   LVS_EX_FULLROWSELECT | LVS_EX_SUBITEMIMAGES);
    const struct {
        UINT text;
        int width;
    } columns[] = {{IDS_COLUMN_FILE_NAME, 200}, {IDS_COLUMN_LOCATION, 235}, {IDS_COLUMN_SIZE, 100}};
    for (int i = 0; i < 3; ++i) {
        std::wstring text = LoadLocalizedString(columns[i].text);
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = columns[i].width;
        column.pszText = text.data();
        column.iSubItem = i;
        ::SendMessageW(list_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    ::SendMessageW(list_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(systemImages_));

    splitter_.SetPanes(list_, pane_.Handle());
    Layout();
    ::GetClientRect(Handle(), &client);
    splitter_.SetSplitterPos(client.bottom - kReportPaneReserve);
    defaultSplit_ = splitter_.GetSplitterPos();
    splitter_.SetMinPaneSize(kMinPaneSize);
    splitter_.SetDraggable(false);

    RECT outer;
    ::GetWindowRect(Handle(), &outer);
    minTrackSize_ = {outer.right - outer.left, outer.bottom - outer.top};

    commands_.SetToolbar(toolbar_.Handle());
    for (UINT id : kActions) {
        commands_.Add(id, CommandStateTable::InMenu | CommandStateTable::InToolbar);
    }
    for (const LanguageCommand& entry : kLanguages) {
        commands_.Add(entry.command, CommandStateTable::InMenu);
    }
    commands_.Add(ID_ACTION_CERTIFICATE_PATH, CommandStateTable::InMenu);
    commands_.Add(ID_ACTION_SAVE_REPORT, CommandStateTable::InMenu);
    EnableActions(false, false, false);
    const WORD language = Preferences::Instance().Language();
    for (const LanguageCommand& entry : kLanguages) {
        commands_.Check(entry.command, entry.language == language);
    }
    commands_.UpdateToolbar();

    if (!initialPath_.empty()) {
        OpenPath(initialPath_);
    }
}

void ManagerWindow::Layout() {
    RECT client;
    ::GetClientRect(Handle(), &client);
    int top = 0;
    if (toolbar_.Handle()) {
        ::SendMessageW(toolbar_.Handle(), TB_AUTOSIZE, 0, 0);
        RECT bar;
        ::GetWindowRect(toolbar_.Handle(), &bar);
        top = bar.bottom - bar.top;
    }
    if (splitter_.Handle()) {
        ::MoveWindow(splitter_.Handle(), 0, top, client.right, std::max(0L, client.bottom - top),
                     TRUE);
    }
}

void ManagerWindow::EnableActions(bool view, bool extract, bool extractAll) {
    commands_.Enable(ID_ACTION_VIEW, view);
    commands_.Enable(ID_ACTION_EXTRACT, extract);
    commands_.Enable(ID_ACTION_EXTRACT_TO, extract);
    commands_.Enable(ID_ACTION_EXTRACT_ALL, extractAll);
    commands_.Enable(ID_ACTION_EXTRACT_ALL_TO, extractAll);
}

void ManagerWindow::OpenPath(const std::wstring& path) {
    // Everything is worked out before the window switches, so that it never shows one
    // document and acts on another's folder.
    std::wstring fullPath;
    std::wstring folder;
    const bool usable = ResolveContainerPath(path, fullPath, folder);
    auto document = std::make_shared<Document>(usable ? fullPath : path);
    if (!usable) {
        document->Refuse();
    }
    // The old document lives on while its parse worker holds it.
    document_ = std::move(document);
    documentFolder_ = std::move(folder);
    OpenDocument();
}

void ManagerWindow::OpenDocument() {
    if (!document_) {
        return;
    }
    ++generation_;
    const std::wstring title = MHFX::FormatString(LoadLocalizedString(IDS_MANAGER_TITLE_FORMAT),
                                                  Path::GetFileName(document_->Path()).c_str());
    ::SetWindowTextW(Handle(), title.c_str());
    EnableActions(false, false, false);
    ClearFileList();
    report_.reset();
    reportReady_ = false;
    ShowFinishedReport();
    pane_.Report().ShowVerifying();
    parsePending_ = true;
    listing_ = std::make_shared<Listing>();
    if (!ListingThread::Start(Handle(), document_, generation_, listing_)) {
        // No worker: parse here, as the message handler would.
        ::PostMessageW(Handle(), ReportMessages::DocumentParsed(), 0, generation_);
    }
}

void ManagerWindow::OnDocumentParsed(LPARAM generation) {
    if (generation != generation_ || !document_ || !parsePending_) {
        return;
    }
    parsePending_ = false;
    if (!listing_ || !listing_->done) {
        // No worker could be made: the window does its work, once.
        listing_ = std::make_shared<Listing>();
        listing_->parsed.Parse(*document_);
        listing_->entries = EntriesOf(listing_->parsed.listing);
    }
    report_ =
        listing_->parsed.report ? listing_->parsed.report : std::make_shared<ValidationReport>();
    // The worker fills the report; it is read here only after its message.
    pane_.Report().OnDocumentParsed(*document_, Handle(), generation_, report_);
    if (report_->decoding == DecodingOutcome::Tampered) {
        reportReady_ = true;
        ShowFinishedReport();
    }
    FillFileList();
}

void ManagerWindow::OnCertificateValidated(WPARAM result, LPARAM generation) {
    if (generation != generation_ || !document_ || parsePending_) {
        return;
    }
    pane_.Report().ShowValidated(static_cast<ValidationResult>(result));
    reportReady_ = report_ && report_->validated;
    ShowFinishedReport();
}

void ManagerWindow::ShowFinishedReport() {
    const ValidationReport* report = FinishedReport();
    commands_.Enable(ID_ACTION_CERTIFICATE_PATH, report && report->signer.present);
    commands_.Enable(ID_ACTION_SAVE_REPORT, report != nullptr);
    const bool shown = pane_.ShowDetails(report ? DetailsOf(*report) : std::vector<ReportDetail>());
    if (defaultSplit_ >= 0) {
        splitter_.SetSplitterPos(shown ? std::max(kMinPaneSize, defaultSplit_ - kDetailsHeight)
                                       : defaultSplit_);
    }
}

void ManagerWindow::OnCertificatePath() {
    if (const ValidationReport* report = FinishedReport()) {
        CertificatePathDialog dialog(*report);
        dialog.Show(Handle());
    }
}

void ManagerWindow::OnSaveReport() {
    const ValidationReport* report = FinishedReport();
    if (!report || !chooseReportFile) {
        return;
    }
    std::wstring proposed = ReportFileName(report->path);
    try {
        proposed = Path::Combine(documentFolder_, proposed);
    } catch (const MHFX::Exception&) {
    }
    const std::wstring file = chooseReportFile(Handle(), proposed);
    if (file.empty()) {
        return;
    }
    if (!SaveReportHtml(*report, file)) {
        const std::wstring text =
            MHFX::FormatString(LoadLocalizedString(IDS_REPORT_NOT_SAVED), file.c_str());
        ::MessageBoxW(Handle(), text.c_str(), Caption().c_str(), MB_OK | MB_ICONERROR);
    }
}

void ManagerWindow::ClearFileList() {
    if (list_) {
        ::SendMessageW(list_, LVM_SETITEMCOUNT, 0, 0);
    }
    entries_.clear();
}

void ManagerWindow::FillFileList() {
    ClearFileList();
    if (!document_) {
        return;
    }
    entries_ = listing_ ? std::move(listing_->entries) : std::vector<EntryInfo>();
    listing_.reset();
    if (entries_.empty()) {
        return;
    }
    EnableActions(true, false, true);
    filling_ = true;
    ::SendMessageW(list_, LVM_SETITEMCOUNT, entries_.size(), 0);
    filling_ = false;
}

void ManagerWindow::GetDisplayInfo(LVITEMW& item) const {
    if (item.iItem < 0 || static_cast<size_t>(item.iItem) >= entries_.size()) {
        return;
    }
    const EntryInfo& entry = entries_[static_cast<size_t>(item.iItem)];
    if (item.mask & LVIF_IMAGE) {
        // Without this the list would show the system list's first picture.
        item.iImage = item.iSubItem == 0 && entry.iconIndex != -1 ? entry.iconIndex : I_IMAGENONE;
    }
    if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) {
        return;
    }
    // The split is the list's own: names Windows would refuse are shown as they are.
    const size_t separator = entry.path.find_last_of(L'\\');
    const size_t nameStart = separator == std::wstring::npos ? 0 : separator + 1;
    std::wstring text;
    switch (item.iSubItem) {
    case 0:
        text = MakeBidiVisible(entry.path.substr(nameStart));
        break;
    case 1:
        text = separator == std::wstring::npos ? std::wstring()
                                               : MakeBidiVisible(entry.path.substr(0, separator));
        break;
    case 2:
        text = std::to_wstring(entry.size);
        break;
    default:
        break;
    }
    lstrcpynW(item.pszText, text.c_str(), item.cchTextMax);
}

int ManagerWindow::FindEntry(const NMLVFINDITEMW& find) const {
    // Typing in the list goes to the next file whose name starts with what was typed.
    if (!(find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find.lvfi.psz || entries_.empty()) {
        return -1;
    }
    const std::wstring typed = find.lvfi.psz;
    const size_t count = entries_.size();
    const size_t start = find.iStart >= 0 ? static_cast<size_t>(find.iStart) % count : 0;
    const size_t span = (find.lvfi.flags & LVFI_WRAP) ? count : count - start;
    const bool partial = (find.lvfi.flags & LVFI_PARTIAL) != 0;
    for (size_t n = 0; n < span; ++n) {
        const size_t i = (start + n) % count;
        const std::wstring& path = entries_[i].path;
        const size_t separator = path.find_last_of(L'\\');
        const size_t nameStart = separator == std::wstring::npos ? 0 : separator + 1;
        const size_t length = path.size() - nameStart;
        if ((partial ? length >= typed.size() : length == typed.size()) &&
            ::CompareStringOrdinal(path.c_str() + nameStart, static_cast<int>(typed.size()),
                                   typed.c_str(), static_cast<int>(typed.size()),
                                   TRUE) == CSTR_EQUAL) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::wstring ManagerWindow::SelectedEntryPath() const {
    const int index = static_cast<int>(
        ::SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (index < 0 || static_cast<size_t>(index) >= entries_.size()) {
        return {};
    }
    return entries_[static_cast<size_t>(index)].path;
}

bool ManagerWindow::PreTranslateMessage(MSG&) {
    return false;
}

void ManagerWindow::OnIdle() {
    commands_.UpdateToolbar();
}

bool ManagerWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == ReportMessages::DocumentParsed()) {
        OnDocumentParsed(lParam);
        return true;
    }
    if (message == ReportMessages::CertificateValidated()) {
        OnCertificateValidated(wParam, lParam);
        return true;
    }
    switch (message) {
    case WM_CREATE:
        OnCreate();
        return true;
    case WM_SIZE:
        Layout();
        return true;
    case WM_GETMINMAXINFO:
        if (minTrackSize_.cx > 0) {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize = {minTrackSize_.cx, minTrackSize_.cy};
            return true;
        }
        return false;
    case WM_INITMENUPOPUP:
        commands_.UpdateMenu(reinterpret_cast<HMENU>(wParam));
        return true;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        return true;
    case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<NMHDR*>(lParam), result);
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return true;
    case WM_CLOSE:
        OnClose();
        return true;
    case WM_DESTROY:
        ClearFileList();
        viewCopies_.RemoveAll();
        if (loop_) {
            loop_->RemoveMessageFilter(this);
            loop_->RemoveIdleHandler(this);
            loop_ = nullptr;
        }
        ::PostQuitMessage(1);
        return true;
    default:
        return false;
    }
}

void ManagerWindow::OnClose() {
    ClearFileList();
    // The list does not share its image lists; the system's list must outlive it.
    ::SendMessageW(list_, LVM_SETIMAGELIST, LVSIL_SMALL, 0);
    ::DestroyWindow(Handle());
}

bool ManagerWindow::OnNotify(NMHDR& header, LRESULT& result) {
    if (header.code == TTN_GETDISPINFOW) {
        auto& info = reinterpret_cast<NMTTDISPINFOW&>(header);
        const std::wstring tip =
            Toolbar::TooltipText(LoadLocalizedString(static_cast<UINT>(header.idFrom)));
        lstrcpynW(info.szText, tip.c_str(), 80);
        info.lpszText = info.szText;
        result = 0;
        return true;
    }
    if (header.hwndFrom != list_) {
        return false;
    }
    switch (header.code) {
    case NM_DBLCLK:
        OnCommand(ID_ACTION_VIEW);
        return true;
    case NM_RCLICK:
        ShowContextMenu();
        return true;
    case LVN_GETDISPINFOW:
        GetDisplayInfo(reinterpret_cast<NMLVDISPINFOW&>(header).item);
        return true;
    case LVN_ODFINDITEMW:
        result = FindEntry(reinterpret_cast<NMLVFINDITEMW&>(header));
        return true;
    case LVN_ITEMCHANGED:
    case LVN_ODSTATECHANGED:
        if (!filling_) {
            const bool selected = ::SendMessageW(list_, LVM_GETSELECTEDCOUNT, 0, 0) > 0;
            commands_.Enable(ID_ACTION_VIEW, selected);
            commands_.Enable(ID_ACTION_EXTRACT, selected);
            commands_.Enable(ID_ACTION_EXTRACT_TO, selected);
        }
        return true;
    default:
        return false;
    }
}

void ManagerWindow::ShowContextMenu() {
    MHFX::MenuHandle menu(LoadContextMenu());
    HMENU popup = menu ? ::GetSubMenu(menu.get(), 1) : nullptr;
    if (!popup) {
        return;
    }
    POINT cursor;
    ::GetCursorPos(&cursor);
    ::TrackPopupMenu(popup, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, Handle(), nullptr);
}

void ManagerWindow::OnCommand(UINT id) {
    if (!commands_.IsEnabled(id)) {
        return;
    }
    switch (id) {
    case ID_FILE_OPEN:
        OnFileOpen();
        break;
    case ID_APP_EXIT:
        ::PostMessageW(Handle(), WM_CLOSE, 0, 0);
        break;
    case ID_ACTION_VIEW:
        OnView();
        break;
    case ID_ACTION_EXTRACT:
        OnExtract(false);
        break;
    case ID_ACTION_EXTRACT_TO:
        OnExtract(true);
        break;
    case ID_ACTION_EXTRACT_ALL:
        OnExtractAll(false);
        break;
    case ID_ACTION_EXTRACT_ALL_TO:
        OnExtractAll(true);
        break;
    case ID_LANGUAGE_ENGLISH:
        OnLanguage(LanguageEnglish);
        break;
    case ID_LANGUAGE_SERBIAN_LATIN:
        OnLanguage(LanguageSerbianLatin);
        break;
    case ID_LANGUAGE_SERBIAN_CYRILLIC:
        OnLanguage(LanguageSerbianCyrillic);
        break;
    case ID_HELP_MANUAL:
        OnManual();
        break;
    case ID_APP_ABOUT:
        OnAbout();
        break;
    case ID_ACTION_CERTIFICATE_PATH:
        OnCertificatePath();
        break;
    case ID_ACTION_SAVE_REPORT:
        OnSaveReport();
        break;
    case IDC_REPORT_PICTURE:
        OnPicture();
        break;
    default:
        break;
    }
}

void ManagerWindow::OnPicture() {
    // While the worker has the document, it is not touched here.
    if (document_ && !parsePending_) {
        ShowSignerCertificate(*document_, Handle());
    }
}

void ManagerWindow::OnDropFiles(HDROP drop) {
    const std::vector<std::wstring> names = Ui::ReadDropList(drop);
    const std::wstring path = names.size() == 1 ? names.front() : std::wstring();
    ::DragFinish(drop);
    if (path.empty()) {
        return;
    }
    std::wstring extension;
    try {
        extension = Path::GetExtension(path);
    } catch (const MHFX::Exception&) {
        return;
    }
    if (!extension.empty() && extension[0] == L'.') {
        extension.erase(0, 1);
    }
    for (DocumentKind kind : kOpenableKinds) {
        if (extension == KindExtension(kind)) {
            OpenPath(path);
            return;
        }
    }
}

void ManagerWindow::OnFileOpen() {
    std::wstring filter = FilterText(kOpenableKinds);
    filter.resize(std::min<size_t>(filter.size(), 1024));

    wchar_t file[260] = {};
    wchar_t title[256] = {};
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = Handle();
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = 260;
    dialog.lpstrFileTitle = title;
    dialog.nMaxFileTitle = 256;
    dialog.Flags = OFN_EXPLORER | OFN_ENABLESIZING;
    if (::GetOpenFileNameW(&dialog)) {
        OpenPath(file);
    }
}

void ManagerWindow::OnView() {
    const std::wstring entry = SelectedEntryPath();
    if (entry.empty() || !document_) {
        return;
    }
    try {
        const EntryTargetFault fault = CheckEntryTarget(entry, Path::GetTempPath(), false);
        if (fault != EntryTargetFault::None) {
            ShowUnwritableEntry(Handle(), entry, fault);
            return;
        }
        // Asked before anything is written: a copy the user declines never exists.
        document_->OpenOnce();
        const std::wstring shown = MakeBidiVisible(Path::GetFileName(entry));
        const ValidationReport* report = FinishedReport();
        if (!ConfirmOpening(Handle(), shown, report && HasPassed(*report))) {
            return;
        }
        ExtractionCommand command(*document_, Handle());
        if (!command.ExtractOne(entry, viewCopies_.NewFolder(), false)) {
            return;
        }
        const std::wstring copy = command.LastWritten();
        const DWORD attributes = MHFX::IO::File::GetAttributes(copy);
        MHFX::ThrowLastErrorIf(
            !::SetFileAttributesW(copy.c_str(), attributes | FILE_ATTRIBUTE_READONLY));
        // The default verb of the type: what a double click in Explorer would do.
        ::ShellExecuteW(Handle(), nullptr, copy.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    } catch (const MHFX::Exception& e) {
        ::MessageBoxW(Handle(), e.Message().c_str(), Caption().c_str(), MB_OK | MB_ICONERROR);
    }
}

void ManagerWindow::OnExtract(bool choose) {
    const std::wstring entry = SelectedEntryPath();
    if (entry.empty() || !document_) {
        return;
    }
    if (!choose) {
        ExtractEntry(*document_, entry, documentFolder_, true, Handle());
        return;
    }
    const std::wstring folder = chooseFolder ? chooseFolder(Handle()) : std::wstring();
    if (!folder.empty()) {
        ExtractEntry(*document_, entry, folder, false, Handle());
    }
}

void ManagerWindow::OnExtractAll(bool choose) {
    if (!document_) {
        return;
    }
    if (!choose) {
        ExtractAllEntries(*document_, documentFolder_, Handle());
        return;
    }
    const std::wstring folder = chooseFolder ? chooseFolder(Handle()) : std::wstring();
    if (!folder.empty()) {
        ExtractAllEntries(*document_, folder, Handle());
    }
}

void ManagerWindow::OnLanguage(WORD language) {
    Preferences& preferences = Preferences::Instance();
    if (language == preferences.Language()) {
        return;
    }
    ::MessageBoxW(Handle(), LoadLocalizedString(IDS_RESTART_FOR_LANGUAGE).c_str(),
                  Caption().c_str(), MB_OK | MB_ICONINFORMATION);
    preferences.SetLanguage(language);
    preferences.Write();
    // Quoted, so that the new instance takes a path with blanks whole.
    const std::wstring parameters = document_ ? L"\"" + document_->Path() + L"\"" : std::wstring();
    ::ShellExecuteW(nullptr, L"open", ModulePath().c_str(),
                    parameters.empty() ? nullptr : parameters.c_str(), nullptr, SW_SHOW);
    ::PostMessageW(Handle(), WM_CLOSE, 0, 0);
}

void ManagerWindow::OnManual() {
    const std::wstring folder = Path::GetDirectoryName(ModulePath());
    ::ShellExecuteW(nullptr, L"open", L"signer.pdf", nullptr, folder.c_str(), SW_SHOWMAXIMIZED);
}

void ManagerWindow::OnAbout() {
    AboutDialog about;
    about.Show(::GetActiveWindow());
}

} // namespace Manager
