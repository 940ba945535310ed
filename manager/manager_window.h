// The main window of VantorManager: toolbar, a fixed splitter with the file list above and
// the signature report below, the command states, and what the user does with the open
// container (open, drop, view, extract, language, manual, about).
//
// Each container opened gets a new generation number. Its workers carry that number in
// their messages and keep their own reference to the document, so a container that is
// replaced while its workers still run is neither used after it is gone nor shown in place
// of the new one.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "manager/document_entries.h"
#include "foundation/handle.h"

#include "manager/command_state.h"
#include "manager/message_loop.h"
#include "manager/report_pane.h"
#include "manager/splitter.h"
#include "manager/toolbar.h"
#include "manager/view_copies.h"
#include "ui/window.h"

namespace Dossiq::Documents {
class Document;
struct ValidationReport;
} // namespace Dossiq::Documents

namespace Dossiq::Manager {

struct Listing;

constexpr wchar_t kManagerWindowClass[] = L"Dossiq.VantorManager";

// `path` made full, and its folder; false when the path rules refuse it. A path too long
// for them is kept as given, without a folder.
bool ResolveContainerPath(const std::wstring& path, std::wstring& fullPath, std::wstring& folder);

// The path the command line names: everything after the program name as one string, without
// surrounding white space and without every leading and trailing double quote.
std::wstring DocumentPathFromCommandLine(const wchar_t* commandLine);

class ManagerWindow : public Ui::Window, public MessageFilter, public IdleHandler {
public:
    // `documentPath`, unless it is empty, is opened as the window is created.
    explicit ManagerWindow(const std::wstring& documentPath);
    ~ManagerWindow() override;

    // The 555 x 600 frame with the localized menu; null on failure.
    HWND Create();

    // Drops the current document, makes one for `path` and opens it. A path the system's
    // path rules refuse (characters, a folder of 248 or more) gives a failed opening.
    void OpenPath(const std::wstring& path);

    // What the tests look at.
    HWND ListView() const { return list_; }
    HWND ToolbarWindow() const { return toolbar_.Handle(); }
    ReportPane& Pane() { return pane_; }
    Splitter& SplitterWindow() { return splitter_; }
    const CommandStateTable& Commands() const { return commands_; }
    const std::wstring& DocumentFolder() const { return documentFolder_; }
    std::shared_ptr<Dossiq::Documents::Document> CurrentDocument() const { return document_; }
    // The report of the current document once its checks are done (or it was found
    // tampered); null before.
    const Dossiq::Documents::ValidationReport* FinishedReport() const {
        return reportReady_ ? report_.get() : nullptr;
    }
    SIZE MinTrackSize() const { return minTrackSize_; }
    UINT Dpi() const { return dpi_; }
    ViewCopies& Copies() { return viewCopies_; }
    // The menu the right-click in the list shows: the Action popup of menu 128.
    static HMENU LoadContextMenu();

    // The folder browser; replaceable so that a test can answer it.
    std::function<std::wstring(HWND owner)> chooseFolder;
    // The save-as dialog for the report, given the proposed file name; replaceable so that a
    // test can answer it. Empty when the user cancelled.
    std::function<std::wstring(HWND owner, const std::wstring& proposed)> chooseReportFile;

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool PreTranslateMessage(MSG& message) override;
    void OnIdle() override;

private:
    void OnCreate();
    void OnCommand(UINT id);
    bool OnNotify(NMHDR& header, LRESULT& result);
    void OnDropFiles(HDROP drop);
    void OnClose();
    void OnDocumentParsed(LPARAM generation);
    void OnCertificateValidated(WPARAM result, LPARAM generation);
    void Layout();
    int Px(int pixelsAt96) const;
    void CreateToolbar();
    void OnDpiChanged(UINT dpi, const RECT& suggested);
    // The report pane's height: the default, or higher while it shows details.
    void PlaceSplitter(bool details);
    std::vector<HWND> TabOrder() const;
    void SelectAllEntries();

    void OpenDocument();
    void FillFileList();
    void ClearFileList();
    void GetDisplayInfo(LVITEMW& item) const;
    int FindEntry(const NMLVFINDITEMW& find) const;
    void EnableActions(bool view, bool extract, bool extractAll);
    // The row selected, null for none.
    const Manager::EntryInfo* SelectedEntry() const;
    void ShowContextMenu(bool fromKeyboard);
    void OnPicture();

    void OnFileOpen();
    void OnView();
    void OnExtract(bool choose);
    void OnExtractAll(bool choose);
    void OnLanguage(WORD language);
    void OnManual();
    void OnAbout();
    void OnCertificatePath();
    void OnSaveReport();
    void OnAddLongTermData();
    void OnAddSignature();
    void OnSignatureChosen();
    void ShowFinishedReport();

    // A command is running (its questions may be up).
    bool busy_ = false;
    // The certificate check of the open document has not ended yet.
    bool checkPending_ = false;
    std::wstring initialPath_;
    ViewCopies viewCopies_; // outlives the document and the window
    std::shared_ptr<Dossiq::Documents::Document> document_;
    std::wstring documentFolder_;
    std::wstring tipText_; // a tooltip too long for the tip's own buffer
    // What the list shows, row for row: the list asks for its texts.
    std::vector<Manager::EntryInfo> entries_;
    // The entries the parse worker read for the current document.
    std::shared_ptr<Listing> listing_;
    std::shared_ptr<Dossiq::Documents::ValidationReport> report_;
    bool reportReady_ = false;
    int defaultSplit_ = -1;
    LPARAM generation_ = 0;
    bool parsePending_ = false;
    bool filling_ = false;

    Toolbar toolbar_;
    Splitter splitter_;
    ReportPane pane_;
    HWND list_ = nullptr;
    MHFX::FontHandle listFont_; // only once the scale has changed
    UINT dpi_ = 96;
    HIMAGELIST systemImages_ = nullptr;
    CommandStateTable commands_;
    SIZE minTrackSize_ = {0, 0};
    MessageLoop* loop_ = nullptr;
};

// The folder browser of the shell: file-system folders only, from the desktop.
std::wstring BrowseForFolder(HWND owner);
// The common save-as dialog for a web page, starting from `proposed`.
std::wstring ChooseReportFile(HWND owner, const std::wstring& proposed);

} // namespace Dossiq::Manager
