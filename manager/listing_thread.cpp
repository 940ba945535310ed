#include "manager/listing_thread.h"

#include <objbase.h>

using namespace Dossiq::Documents;

namespace Dossiq::Manager {

ListingThread::ListingThread(HWND owner, std::shared_ptr<Document> document, LPARAM tag,
                             std::shared_ptr<Listing> listing)
    : DocumentParseThread(owner, std::move(document), tag,
                          std::shared_ptr<ParsedDocument>(listing, &listing->parsed)),
      listing_(std::move(listing)) {}

bool ListingThread::Start(HWND owner, std::shared_ptr<Document> document, LPARAM tag,
                          std::shared_ptr<Listing> listing) {
    return MHFX::StartWorker<ListingThread>(owner, std::move(document), tag, std::move(listing));
}

void ListingThread::AfterOpening(Document&, const ParsedDocument& parsed) noexcept {
    // The shell's icon lookup wants COM on the calling thread.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    try {
        listing_->entries = EntriesOf(parsed.listing);
        listing_->done = parsed.report != nullptr;
    } catch (...) {
        listing_->entries.clear();
    }
    if (SUCCEEDED(com)) {
        ::CoUninitialize();
    }
}

} // namespace Dossiq::Manager
