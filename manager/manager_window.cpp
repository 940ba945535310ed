#include "manager/manager_window.h"

#include <shellapi.h>
#include <oleacc.h>
#include <shlobj.h>

#include <vector>

#include "certificates/validation_result.h"
#include "config/localization.h"
#include "config/preferences.h"
#include "document/container/document.h"
#include "manager/document_entries.h"
#include "document/container/document_kind.h"
#include "document/container/entry_target.h"
#include "manager/extraction_command.h"
#include "document/container/visible_name.h"
#include "views/busy_dialog.h"
#include "views/co_signing_command.h"
#include "document/operations/long_term_extension.h"
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
#include "foundation/io/path_too_long_exception.h"
#include "foundation/resource_string.h"
#include "foundation/win32_exception.h"
#include "manager/about_dialog.h"
#include "manager/listing_thread.h"
#include "manager/open_with_care.h"
#include "manager/certificate_path_dialog.h"
#include "resources/manager/resource.h"
#include "ui/accessible_text.h"
#include "ui/dpi.h"
#include "ui/drop_list.h"
#include "foundation/text/readable_text.h"

using namespace Dossiq::Config;
using namespace Dossiq::Documents;
using namespace Dossiq::Views;

using MHFX::IO::Path;
using MHFX::Security::Cryptography::X509::ValidationResult;

namespace Dossiq::Manager {

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

// An intact Signed Document takes another signature; a Protected one is offered the command
// too, which says why it cannot.
bool MayAddSignature(const ValidationReport& report) {
    return report.decoding == DecodingOutcome::NotTampered &&
           (report.kind == L"signed" || report.kind == L"protected");
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
    } catch (const MHFX::IO::PathTooLongException&) {
        // Too long for the path rules, not for the platform: read as given, as Explorer's
        // page does, and never extracted beside itself.
        fullPath = path;
        folder.clear();
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
    // Placed on the primary monitor, whose scale is the system's.
    const UINT dpi = Ui::SystemDpi();
    const RECT rect = {0, 0, Ui::Scale(kWidth, dpi), Ui::Scale(kHeight, dpi)};
    HWND hwnd =
        Window::Create(kManagerWindowClass, nullptr, Caption().c_str(),
                       WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, WS_EX_ACCEPTFILES,
                       rect, menu, icon, ::GetSysColorBrush(COLOR_BTNFACE));
    if (!hwnd && menu) {
        ::DestroyMenu(menu);
    }
    return hwnd;
}

int ManagerWindow::Px(int pixelsAt96) const {
    return Ui::Scale(pixelsAt96, dpi_);
}

void ManagerWindow::CreateToolbar() {
    const MHFX::OperatingSystem& os = MHFX::Environment::OSVersion();
    const UINT toolbarId =
        ToolbarResourceFor(os.Major, os.Minor, IDR_MAINFRAME, IDR_TOOLBAR_CLASSIC);
    toolbar_.Create(Handle(), toolbarId, toolbarId == IDR_MAINFRAME, dpi_);
    Ui::AccessibleText text;
    const HWND toolbar = toolbar_.Handle();
    text.childCount = [toolbar] {
        return static_cast<long>(::SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
    };
    // A button is named by its tooltip: the command in words, in the user's language.
    text.childName = [toolbar](long child) {
        TBBUTTON button = {};
        ::SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(child - 1),
                       reinterpret_cast<LPARAM>(&button));
        return button.idCommand
                   ? Toolbar::TooltipText(LoadLocalizedString(static_cast<UINT>(button.idCommand)))
                   : std::wstring();
    };
    text.childRole = ROLE_SYSTEM_PUSHBUTTON;
    Ui::SetAccessibleText(toolbar, std::move(text));
}

void ManagerWindow::OnCreate() {
    dpi_ = Ui::WindowDpi(Handle());
    CreateToolbar();

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
    splitter_.SetDpi(dpi_);
    // A virtual list: tens of thousands of entries are shown without inserting a row each.
    // Ctrl+A selects every entry, so the list takes more than one; the commands for one entry
    // are enabled only while exactly one is selected.
    list_ =
        ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, nullptr,
                          WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | LVS_REPORT |
                              LVS_NOSORTHEADER | LVS_SHOWSELALWAYS | LVS_OWNERDATA,
                          0, 0, 0, 0, splitter_.Handle(), nullptr, MHFX::CurrentModule(), nullptr);
    pane_.Create(splitter_.Handle(), dpi_);
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
        column.cx = Px(columns[i].width);
        column.pszText = text.data();
        column.iSubItem = i;
        ::SendMessageW(list_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    ::SendMessageW(list_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(systemImages_));
    Ui::AccessibleText listText;
    listText.name = [] { return LoadLocalizedString(IDS_FILE_LIST_NAME); };
    Ui::SetAccessibleText(list_, std::move(listText));

    splitter_.SetPanes(list_, pane_.Handle());
    Layout();
    ::GetClientRect(Handle(), &client);
    splitter_.SetSplitterPos(client.bottom - Px(kReportPaneReserve));
    defaultSplit_ = splitter_.GetSplitterPos();
    splitter_.SetMinPaneSize(Px(kMinPaneSize));
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
    commands_.Add(ID_ACTION_ADD_LONG_TERM, CommandStateTable::InMenu);
    commands_.Add(ID_ACTION_ADD_SIGNATURE, CommandStateTable::InMenu);
    EnableActions(false, false, false);
    // Nothing to show or save until a report is finished.
    commands_.Enable(ID_ACTION_CERTIFICATE_PATH, false);
    commands_.Enable(ID_ACTION_SAVE_REPORT, false);
    commands_.Enable(ID_ACTION_ADD_LONG_TERM, false);
    commands_.Enable(ID_ACTION_ADD_SIGNATURE, false);
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
    // Without the container's folder only the commands that ask for one can extract.
    const bool besideContainer = !documentFolder_.empty();
    commands_.Enable(ID_ACTION_VIEW, view);
    commands_.Enable(ID_ACTION_EXTRACT, extract && besideContainer);
    commands_.Enable(ID_ACTION_EXTRACT_TO, extract);
    commands_.Enable(ID_ACTION_EXTRACT_ALL, extractAll && besideContainer);
    commands_.Enable(ID_ACTION_EXTRACT_ALL_TO, extractAll);
}

void ManagerWindow::OpenPath(const std::wstring& path) {
    if (busy_) {
        ::MessageBeep(MB_ICONWARNING);
        return;
    }
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
    checkPending_ = false;
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
    checkPending_ = pane_.Report().OnDocumentParsed(*document_, Handle(), generation_, report_) &&
                    document_->SignerCertificate();
    if (report_->decoding == DecodingOutcome::Tampered ||
        report_->decoding == DecodingOutcome::Unsupported) {
        reportReady_ = true;
        ShowFinishedReport();
    }
    FillFileList();
}

void ManagerWindow::OnCertificateValidated(WPARAM result, LPARAM generation) {
    if (generation != generation_ || !document_ || parsePending_) {
        return;
    }
    checkPending_ = false;
    pane_.Report().ShowValidated(static_cast<ValidationResult>(result), report_.get());
    // Finished whether or not the checks could run: the details say why they did not.
    reportReady_ = report_ != nullptr;
    ShowFinishedReport();
}

void ManagerWindow::ShowFinishedReport() {
    const ValidationReport* report = FinishedReport();
    pane_.ShowSignatures(report);
    commands_.Enable(ID_ACTION_CERTIFICATE_PATH, report && report->Selected().signer.present);
    commands_.Enable(ID_ACTION_SAVE_REPORT, report != nullptr);
    commands_.Enable(ID_ACTION_ADD_LONG_TERM, report && MayExtend(*report));
    commands_.Enable(ID_ACTION_ADD_SIGNATURE, report && MayAddSignature(*report));
    const bool shown = pane_.ShowDetails(report ? DetailsOf(*report) : std::vector<ReportDetail>());
    PlaceSplitter(shown);
}

void ManagerWindow::PlaceSplitter(bool details) {
    if (defaultSplit_ >= 0) {
        splitter_.SetSplitterPos(
            details ? std::max(Px(kMinPaneSize), defaultSplit_ - Px(kDetailsHeight))
                    : defaultSplit_);
    }
}

void ManagerWindow::OnCertificatePath() {
    if (const ValidationReport* report = FinishedReport()) {
        CertificatePathDialog dialog(report->Selected());
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

void ManagerWindow::OnAddLongTermData() {
    const ValidationReport* report = FinishedReport();
    if (!document_ || !report || !MayExtend(*report)) {
        return;
    }
    const std::wstring path = document_->Path();
    ExtensionResult result;
    {
        BusyDialog busy(IDS_EXTENDING_TITLE, IDS_EXTENDING_DESCRIPTION);
        busy.Start();
        result = ExtendLongTermData(path);
        busy.Close();
    }
    const std::wstring name = Path::GetFileName(path);
    std::wstring missing;
    for (const std::wstring& certificate : result.missing) {
        missing += (missing.empty() ? L"" : L", ") + certificate;
    }
    const bool done = result.outcome == ExtensionOutcome::Extended ||
                      result.outcome == ExtensionOutcome::Unchanged;
    const std::wstring text =
        !done             ? MHFX::FormatString(LoadLocalizedString(IDS_EXTEND_FAILED), name.c_str())
        : missing.empty() ? MHFX::FormatString(LoadLocalizedString(IDS_EXTENDED), name.c_str())
                          : MHFX::FormatString(LoadLocalizedString(IDS_EXTEND_INCOMPLETE),
                                               name.c_str(), missing.c_str());
    ::MessageBoxW(Handle(), text.c_str(), Caption().c_str(),
                  MB_OK | (done && missing.empty() ? MB_ICONINFORMATION : MB_ICONWARNING));
    if (result.outcome == ExtensionOutcome::Extended) {
        OpenPath(path); // the report reads the new data
    }
}

void ManagerWindow::OnAddSignature() {
    const ValidationReport* report = FinishedReport();
    if (!document_ || !report || !MayAddSignature(*report)) {
        return;
    }
    if (report->kind != L"signed") {
        ::MessageBoxW(Handle(), LoadLocalizedString(IDS_ADD_SIGNATURE_PROTECTED).c_str(),
                      Caption().c_str(), MB_OK | MB_ICONINFORMATION);
        return;
    }
    const std::wstring path = document_->Path();
    const bool added = CoSigningCommand(path, Handle(), IDS_MANAGER_NAME).Run();
    busy_ = false; // the command has ended: the document may be replaced
    if (added) {
        OpenPath(path); // the report shows the new signature
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
        text = MHFX::ReadableText(MakeBidiVisible(entry.path.substr(nameStart)));
        break;
    case 1:
        text = separator == std::wstring::npos
                   ? std::wstring()
                   : MHFX::ReadableText(MakeBidiVisible(entry.path.substr(0, separator)));
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

const EntryInfo* ManagerWindow::SelectedEntry() const {
    const int index = static_cast<int>(
        ::SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (index < 0 || static_cast<size_t>(index) >= entries_.size()) {
        return nullptr;
    }
    return &entries_[static_cast<size_t>(index)];
}

void ManagerWindow::OnDpiChanged(UINT dpi, const RECT& suggested) {
    const UINT old = dpi_;
    if (dpi == 0 || dpi == old) {
        return;
    }
    dpi_ = dpi;
    const auto rescale = [&](int value) {
        return ::MulDiv(value, static_cast<int>(dpi), static_cast<int>(old));
    };
    minTrackSize_ = {rescale(minTrackSize_.cx), rescale(minTrackSize_.cy)};
    CreateToolbar();
    commands_.SetToolbar(toolbar_.Handle());
    commands_.UpdateToolbar();
    // The old font goes only once the list has the new one.
    MHFX::FontHandle font(Ui::RescaledFont(list_, old, dpi));
    if (font) {
        ::SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
        listFont_ = std::move(font);
    }
    for (int i = 0; i < 3; ++i) {
        const int width = static_cast<int>(::SendMessageW(list_, LVM_GETCOLUMNWIDTH, i, 0));
        ::SendMessageW(list_, LVM_SETCOLUMNWIDTH, i, MAKELPARAM(rescale(width), 0));
    }
    splitter_.SetDpi(dpi);
    splitter_.SetMinPaneSize(Px(kMinPaneSize));
    pane_.SetDpi(old, dpi);
    if (defaultSplit_ >= 0) {
        defaultSplit_ = rescale(defaultSplit_);
    }
    ::SetWindowPos(Handle(), nullptr, suggested.left, suggested.top,
                   suggested.right - suggested.left, suggested.bottom - suggested.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    PlaceSplitter(::IsWindowVisible(pane_.DetailsBox()) != FALSE);
}

// The windows Tab moves through, in reading order: the list, the picture (it shows the
// signer's certificate), the report and the details, each when it can take the focus.
std::vector<HWND> ManagerWindow::TabOrder() const {
    std::vector<HWND> order;
    for (HWND window :
         {list_, pane_.Report().Picture().Handle(), pane_.Report().TextBox(), pane_.DetailsBox()}) {
        if (window && ::IsWindowVisible(window) && ::IsWindowEnabled(window)) {
            order.push_back(window);
        }
    }
    return order;
}

bool ManagerWindow::PreTranslateMessage(MSG& message) {
    if (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) {
        return false;
    }
    if (message.hwnd != Handle() && !::IsChild(Handle(), message.hwnd)) {
        return false; // a dialog of its own
    }
    const bool control = ::GetKeyState(VK_CONTROL) < 0;
    const bool shift = ::GetKeyState(VK_SHIFT) < 0;
    const bool alt = ::GetKeyState(VK_MENU) < 0;
    const UINT key = static_cast<UINT>(message.wParam);
    if (control && !alt && key == 'O') {
        OnCommand(ID_FILE_OPEN);
        return true;
    }
    if (!control && !alt && !shift && key == VK_F1) {
        OnCommand(ID_HELP_MANUAL);
        return true;
    }
    if (message.hwnd == list_ && control && !alt && key == 'A') {
        SelectAllEntries();
        return true;
    }
    if (message.hwnd == list_ && ((key == VK_F10 && shift && !control) || key == VK_APPS)) {
        ShowContextMenu(true);
        return true;
    }
    if (key == VK_TAB && !control && !alt) {
        const std::vector<HWND> order = TabOrder();
        const auto at = std::find(order.begin(), order.end(), message.hwnd);
        if (at == order.end() || order.empty()) {
            return false;
        }
        const size_t index = static_cast<size_t>(at - order.begin());
        const size_t next =
            shift ? (index + order.size() - 1) % order.size() : (index + 1) % order.size();
        ::SetFocus(order[next]);
        return true;
    }
    return false;
}

void ManagerWindow::SelectAllEntries() {
    if (entries_.empty()) {
        return;
    }
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    ::SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                   reinterpret_cast<LPARAM>(&item));
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
    case WM_SETFOCUS:
        // The keys act on the list from the start.
        if (list_) {
            ::SetFocus(list_);
        }
        return true;
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return true;
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) == list_ && lParam == -1) {
            ShowContextMenu(true);
            return true;
        }
        return false;
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
        if (LOWORD(wParam) == IDC_REPORT_SIGNATURE) {
            if (HIWORD(wParam) == CBN_SELCHANGE) {
                OnSignatureChosen();
            }
            return true;
        }
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
    if (busy_) {
        return;
    }
    ClearFileList();
    // The list does not share its image lists; the system's list must outlive it.
    ::SendMessageW(list_, LVM_SETIMAGELIST, LVSIL_SMALL, 0);
    ::DestroyWindow(Handle());
}

bool ManagerWindow::OnNotify(NMHDR& header, LRESULT& result) {
    if (header.code == TTN_GETDISPINFOW) {
        auto& info = reinterpret_cast<NMTTDISPINFOW&>(header);
        const UINT id = static_cast<UINT>(header.idFrom);
        if (document_ && documentFolder_.empty() &&
            (id == ID_ACTION_EXTRACT || id == ID_ACTION_EXTRACT_ALL)) {
            // Why the button is off; longer than the tip's own buffer.
            tipText_ = LoadLocalizedString(IDS_FOLDER_TOO_LONG);
            info.lpszText = tipText_.data();
        } else {
            const std::wstring tip = Toolbar::TooltipText(LoadLocalizedString(id));
            lstrcpynW(info.szText, tip.c_str(), 80);
            info.lpszText = info.szText;
        }
        result = 0;
        return true;
    }
    if (header.hwndFrom != list_) {
        return false;
    }
    switch (header.code) {
    case NM_DBLCLK:
    case NM_RETURN:
        OnCommand(ID_ACTION_VIEW);
        return true;
    case NM_RCLICK:
        ShowContextMenu(false);
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
            // View shows one file; Extract writes every one selected.
            const LRESULT selected = ::SendMessageW(list_, LVM_GETSELECTEDCOUNT, 0, 0);
            EnableActions(selected == 1, selected > 0,
                          commands_.IsEnabled(ID_ACTION_EXTRACT_ALL_TO));
        }
        return true;
    default:
        return false;
    }
}

void ManagerWindow::ShowContextMenu(bool fromKeyboard) {
    MHFX::MenuHandle menu(LoadContextMenu());
    HMENU popup = menu ? ::GetSubMenu(menu.get(), 1) : nullptr;
    if (!popup) {
        return;
    }
    POINT at;
    ::GetCursorPos(&at);
    if (fromKeyboard) {
        // Under the focused entry, or the list's corner when none has the focus.
        const int focused = static_cast<int>(
            ::SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
        RECT rect = {LVIR_LABEL, 0, 0, 0};
        if (focused < 0 ||
            !::SendMessageW(list_, LVM_GETITEMRECT, focused, reinterpret_cast<LPARAM>(&rect))) {
            rect = {0, 0, 0, 0};
        }
        at = {rect.left, rect.bottom};
        ::ClientToScreen(list_, &at);
    }
    ::TrackPopupMenu(popup, TPM_RIGHTBUTTON, at.x, at.y, 0, Handle(), nullptr);
}

void ManagerWindow::OnCommand(UINT id) {
    // A command's questions keep this window's messages flowing: nothing else runs, and
    // nothing replaces the document it reads from, until it ends.
    if (!commands_.IsEnabled(id) || busy_) {
        return;
    }
    // So does adding a signature, whose certificate choice and questions own no window here.
    const bool extracts = id == ID_ACTION_VIEW || id == ID_ACTION_EXTRACT ||
                          id == ID_ACTION_EXTRACT_TO || id == ID_ACTION_EXTRACT_ALL ||
                          id == ID_ACTION_EXTRACT_ALL_TO || id == ID_ACTION_ADD_SIGNATURE;
    const std::shared_ptr<Document> held = extracts ? document_ : nullptr;
    busy_ = extracts;
    struct Running {
        bool& busy;
        ~Running() { busy = false; }
    } running{busy_};
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
    case ID_ACTION_ADD_LONG_TERM:
        OnAddLongTermData();
        break;
    case ID_ACTION_ADD_SIGNATURE:
        OnAddSignature();
        break;
    case IDC_REPORT_PICTURE:
        OnPicture();
        break;
    default:
        break;
    }
}

void ManagerWindow::OnSignatureChosen() {
    const LRESULT chosen = ::SendMessageW(pane_.SignatureChoice(), CB_GETCURSEL, 0, 0);
    if (!report_ || !reportReady_ || chosen < 0 ||
        static_cast<size_t>(chosen) >= report_->signatures.size()) {
        return;
    }
    report_->selectedSignature = static_cast<size_t>(chosen);
    pane_.Report().ShowSignature(*report_);
    ShowFinishedReport();
}

void ManagerWindow::OnPicture() {
    // The certificate of the signature shown (a countersigner's is the report's alone).
    if (const ValidationReport* report = FinishedReport();
        report && report->Selected().certificate.IsInitialized()) {
        report->Selected().certificate.ShowCertificate(Handle());
        return;
    }
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
    const EntryInfo* selected = SelectedEntry();
    if (!selected || !document_) {
        return;
    }
    // By index: two rows may carry names that differ only in case.
    const unsigned index = selected->index;
    const std::wstring entry = selected->path;
    try {
        const EntryTargetFault fault = CheckEntryTarget(entry, Path::GetTempPath(), false);
        if (fault != EntryTargetFault::None) {
            ExtractionCommand::ShowUnwritable(Handle(), entry, fault);
            return;
        }
        // Asked before anything is written: a copy the user declines never exists.
        document_->OpenOnce();
        const std::wstring shown = MakeBidiVisible(Path::GetFileName(entry));
        // A document without a signer to check has no check to wait for.
        if (!ConfirmOpening(Handle(), shown, checkPending_ ? nullptr : report_.get())) {
            return;
        }
        ExtractionCommand command(*document_, Handle());
        if (!command.ExtractAt(index, viewCopies_.NewFolder(), false)) {
            return;
        }
        const std::wstring copy = command.LastWritten();
        const DWORD attributes = MHFX::IO::File::GetAttributes(copy);
        MHFX::ThrowLastErrorIf(
            !::SetFileAttributesW(copy.c_str(), attributes | FILE_ATTRIBUTE_READONLY));
        // "open", not the type's default verb: a stranger's file may come with a type whose
        // default prints, edits or runs it, and View only shows.
        ::ShellExecuteW(Handle(), L"open", copy.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    } catch (const MHFX::Exception& e) {
        ::MessageBoxW(Handle(), e.Message().c_str(), Caption().c_str(), MB_OK | MB_ICONERROR);
    }
}

void ManagerWindow::OnExtract(bool choose) {
    std::vector<unsigned> chosen;
    for (int row = -1;
         (row = static_cast<int>(::SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(row),
                                                LVNI_SELECTED))) >= 0;) {
        if (static_cast<size_t>(row) < entries_.size()) {
            chosen.push_back(entries_[static_cast<size_t>(row)].index);
        }
    }
    if (chosen.empty() || !document_) {
        return;
    }
    const std::wstring folder = !choose        ? documentFolder_
                                : chooseFolder ? chooseFolder(Handle())
                                               : std::wstring();
    if (folder.empty()) {
        return;
    }
    // Extract keeps the entries' folders below the container's, Extract To writes the files.
    if (chosen.size() == 1) {
        ExtractEntry(*document_, chosen[0], folder, !choose, Handle());
    } else {
        ExtractionCommand(*document_, Handle()).ExtractSome(chosen, folder, !choose);
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
    preferences.WriteLanguage(language);
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

} // namespace Dossiq::Manager
