// The worker that opens a document away from the window's thread, walks its archive once and
// describes it (which reads files and stores and may go to the network), then posts
// ReportMessages::DocumentParsed to its owner window. It keeps its own reference to the
// document, so a window that has moved on to another document may drop its own at once.
#pragma once

#include <memory>

#include "document/operations/entry_walk.h"
#include "foundation/threading/thread.h"

namespace Dossiq::Documents {

class Document;
struct ValidationReport;

// What the worker leaves for the window; read only after its message has arrived.
struct ParsedDocument {
    EntryListing listing;
    std::shared_ptr<ValidationReport> report; // null until the worker is done

    // Opens, walks and describes `document` on the calling thread; never throws.
    void Parse(Document& document, DWORD signerIndex = 0) noexcept;
};

class DocumentParseThread : public MHFX::Thread {
public:
    // Parked until Resume; deletes itself after Run.
    DocumentParseThread(HWND owner, std::shared_ptr<Document> document, LPARAM tag,
                        std::shared_ptr<ParsedDocument> parsed, DWORD signerIndex = 0);

    // Creates and resumes a worker; false when the thread cannot be made.
    static bool Start(HWND owner, std::shared_ptr<Document> document, LPARAM tag,
                      std::shared_ptr<ParsedDocument> parsed);

protected:
    DWORD Run() override;
    // Further work on the parsed (or failed) document before the owner is told, on this
    // thread; it must not throw.
    virtual void AfterOpening(Document&, const ParsedDocument&) noexcept {}

private:
    std::shared_ptr<Document> document_;
    std::shared_ptr<ParsedDocument> parsed_;
    DWORD signerIndex_;
    LPARAM tag_;
};

} // namespace Dossiq::Documents
