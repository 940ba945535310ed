#include "document/report/document_parse_thread.h"

#include "document/container/document.h"
#include "document/report/report_messages.h"
#include "document/report/report_builder.h"

namespace Dossiq::Documents {

void ParsedDocument::Parse(Document& document, DWORD signerIndex) noexcept {
    try {
        document.OpenOnce(signerIndex);
        listing = WalkEntries(document.Content());
        report = std::make_shared<ValidationReport>(DescribeDocument(document, listing));
    } catch (...) {
        // Out of memory: the report says the document could not be read.
        try {
            report = std::make_shared<ValidationReport>();
        } catch (...) {
            report.reset();
        }
    }
}

DocumentParseThread::DocumentParseThread(HWND owner, std::shared_ptr<Document> document, LPARAM tag,
                                         std::shared_ptr<ParsedDocument> parsed, DWORD signerIndex)
    : Thread(owner), document_(std::move(document)), parsed_(std::move(parsed)),
      signerIndex_(signerIndex), tag_(tag) {
    autoDelete_ = true;
}

bool DocumentParseThread::Start(HWND owner, std::shared_ptr<Document> document, LPARAM tag,
                                std::shared_ptr<ParsedDocument> parsed) {
    return MHFX::StartWorker<DocumentParseThread>(owner, std::move(document), tag,
                                                  std::move(parsed));
}

DWORD DocumentParseThread::Run() {
    // The window waits for this message whatever happened to the opening.
    parsed_->Parse(*document_, signerIndex_);
    AfterOpening(*document_, *parsed_);
    ::PostMessageW(OwnerWindow(), ReportMessages::DocumentParsed(), 0, tag_);
    return 0;
}

} // namespace Dossiq::Documents
