// Helpers of the manager tests: containers signed with the test PKI, a message pump that
// runs the window layer's idle handlers, reading the report and the file list back from
// their controls, answering dialogs from a watcher thread, and screenshots.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/control_readers.h"
#include "common/dialog_driver.h"
#include "common/screenshot.h"
#include "common/window_pump.h"
#include "manager/manager_window.h"
#include "manager/message_loop.h"

namespace ManagerTest {

// A ZIP archive made by Python's zipfile from "name=text" entries (a name ending in "/" is
// a folder entry).
std::string MakeArchive(const std::vector<std::string>& entries);
// A Signed Document at `path` over `archive`, signed by the kit's certificate `signer` with
// the library's hash, or with `hashOid` when one is given.
void WriteSignedContainer(const std::wstring& path, const std::string& archive,
                          const std::string& signer, const std::string& hashOid = "");

// A copy of `container` named `name` in a new folder whose path is `folderLength` characters
// long (made through the long-path prefix, as the path rules refuse it); its path.
std::wstring CopyIntoLongFolder(const std::wstring& container, size_t folderLength,
                                const std::wstring& name);

using ReportLineRead = TestSupport::StyledLine;
inline std::vector<ReportLineRead> ReadReport(HWND richEdit) {
    return TestSupport::StyledLines(richEdit);
}
std::wstring LineText(UINT id); // the string in the preference language

struct ListRow {
    std::wstring name, location, size;
    int image = -1;
};
std::vector<ListRow> ReadList(HWND list);
inline void SelectRow(HWND list, int index) { // -1 deselects all
    TestSupport::SelectListViewRow(list, index);
}

// Handles queued messages (each seen by `observer` first, if given) and runs the idle
// handlers, for `milliseconds`.
void Pump(DWORD milliseconds);
// The exit code of the last WM_QUIT the pumps took out of the queue, -1 for none.
int LastQuitCode();
// Pumps until `done` holds, one message at a time; false on timeout.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 60000,
               const std::function<void(const MSG&)>& observer = {});

using TestSupport::DialogWatcher;
using TestSupport::SeenDialog;

using TestSupport::SaveScreenshot;

// A ManagerWindow shown on the screen with its own message loop object.
struct ShownWindow {
    explicit ShownWindow(const std::wstring& path = {});
    ~ShownWindow();
    Dossiq::Manager::MessageLoop loop;
    Dossiq::Manager::ManagerWindow window;
    HWND Handle() const { return window.Handle(); }
};

// A container in a folder of its own, opened in a window and listed.
struct Opened {
    explicit Opened(const std::vector<std::string>& entries, const wchar_t* name = L"box.snx");
    void Command(UINT id);
    void Select(int row);

    std::wstring folder;
    std::wstring path;
    std::unique_ptr<ShownWindow> shown;
};

bool Exists(const std::wstring& path);
// Files below `folder`, at any depth.
int CountFiles(const std::wstring& folder);

// Waits until the report shows its final lines (the validation result or the tampered
// report) for the open document.
bool WaitForFinalReport(ShownWindow& shown, DWORD timeoutMs = 90000);

} // namespace ManagerTest
