// One Extract, Extract All or View of the manager or the Document page over an opened
// document's archive: the extraction and its rules (see document/operations/extraction.h)
// with the questions and messages in windows. An entry the reader fails on is shown with
// its name and ends the command; names Windows cannot write are passed over and named once
// at the end; the open container is skipped with a message. Message boxes and questions are
// owned by the progress dialog while it runs, else by the owner given.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "document/container/entry_target.h"

namespace Dossiq::Documents {
class Document;
struct ExtractionRequest;
} // namespace Dossiq::Documents

namespace Dossiq::Manager {

class ExtractionCommand {
public:
    ExtractionCommand(Documents::Document& document, HWND owner);

    // The file `entryPath` into `folder`, with its folders inside the archive when
    // `fullPath`; true when it was written.
    bool ExtractOne(const std::wstring& entryPath, const std::wstring& folder, bool fullPath);
    // The same for the entry at `index` of the archive: names may repeat or differ only in
    // case.
    bool ExtractAt(unsigned index, const std::wstring& folder, bool fullPath);
    // Every file with its folders; true when at least one was written and none failed.
    bool ExtractAll(const std::wstring& folder);
    // The entries at `indices`, in that order, asked about as ExtractAll asks (one question
    // for each file that exists); true when every one was written.
    bool ExtractSome(const std::vector<unsigned>& indices, const std::wstring& folder,
                     bool fullPath);

    // The message for one entry that cannot be written, owned by `owner`.
    static void ShowUnwritable(HWND owner, const std::wstring& entryPath,
                               Documents::EntryTargetFault fault);

    // The file the last successful extraction wrote.
    const std::wstring& LastWritten() const { return lastWritten_; }

private:
    // The files written; 0 when any entry failed or the command was cancelled.
    size_t Extract(const Documents::ExtractionRequest& request);

    Documents::Document& document_;
    HWND owner_;
    std::wstring lastWritten_;
};

} // namespace Dossiq::Manager
