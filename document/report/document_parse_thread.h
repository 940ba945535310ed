// The worker that opens a document away from the window's thread and then posts
// ReportMessages::DocumentParsed to its owner window. It keeps its own reference to the
// document, so a window that has moved on to another document may drop its own at once.
#pragma once

#include <memory>

#include "foundation/threading/thread.h"

class Document;

class DocumentParseThread : public MHFX::Thread {
public:
    // Parked until Resume; deletes itself after Run.
    DocumentParseThread(HWND owner, std::shared_ptr<Document> document, LPARAM tag,
                        DWORD signerIndex = 0);

    // Creates and resumes a worker; false when the thread cannot be made.
    static bool Start(HWND owner, std::shared_ptr<Document> document, LPARAM tag);

protected:
    DWORD Run() override;
    // Further work on the opened (or failed) document before the owner is told, on this
    // thread; it must not throw.
    virtual void AfterOpening(Document&) noexcept {}

private:
    std::shared_ptr<Document> document_;
    DWORD signerIndex_;
    LPARAM tag_;
};
