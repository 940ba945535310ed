#include "document/report/document_parse_thread.h"

#include "document/container/document.h"
#include "document/report/report_messages.h"

DocumentParseThread::DocumentParseThread(HWND owner, std::shared_ptr<Document> document, LPARAM tag,
                                         DWORD signerIndex)
    : Thread(owner), document_(std::move(document)), signerIndex_(signerIndex), tag_(tag) {
    autoDelete_ = true;
}

bool DocumentParseThread::Start(HWND owner, std::shared_ptr<Document> document, LPARAM tag) {
    return MHFX::StartWorker<DocumentParseThread>(owner, std::move(document), tag);
}

DWORD DocumentParseThread::Run() {
    // The window waits for this message whatever happened to the opening.
    try {
        document_->OpenOnce(signerIndex_);
    } catch (...) {
    }
    AfterOpening(*document_);
    ::PostMessageW(OwnerWindow(), ReportMessages::DocumentParsed(), 0, tag_);
    return 0;
}
