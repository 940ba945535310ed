#include "document/document_parse_thread.h"

#include "document/document.h"
#include "document/report_messages.h"
#include "foundation/exception.h"

DocumentParseThread::DocumentParseThread(HWND owner, std::shared_ptr<Document> document, LPARAM tag,
                                         DWORD signerIndex)
    : Thread(owner), document_(std::move(document)), signerIndex_(signerIndex), tag_(tag) {
    autoDelete_ = true;
}

bool DocumentParseThread::Start(HWND owner, std::shared_ptr<Document> document, LPARAM tag) {
    try {
        std::unique_ptr<DocumentParseThread> worker(
            new DocumentParseThread(owner, std::move(document), tag));
        worker->Resume();
        worker.release(); // it deletes itself now
        return true;
    } catch (const MHFX::Exception&) {
        return false;
    }
}

DWORD DocumentParseThread::Run() {
    // The window waits for this message whatever happened to the opening.
    try {
        if (!document_->IsOpened() && !document_->HasFailed()) {
            document_->Open(signerIndex_);
        }
    } catch (...) {
    }
    ::PostMessageW(OwnerWindow(), ReportMessages::DocumentParsed(), 0, tag_);
    return 0;
}
