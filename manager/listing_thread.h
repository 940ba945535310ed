// The manager's parse worker: after opening, walking and describing the document it also
// looks up the icons of the list's entries, so that a container of tens of thousands of
// entries is listed without the window waiting for it.
#pragma once

#include <memory>
#include <vector>

#include "manager/document_entries.h"
#include "document/report/document_parse_thread.h"

namespace Dossiq::Manager {

// What the worker leaves for the window; read only after its message has arrived.
struct Listing {
    Dossiq::Documents::ParsedDocument parsed;
    std::vector<Manager::EntryInfo> entries;
    bool done = false;
};

class ListingThread : public Dossiq::Documents::DocumentParseThread {
public:
    ListingThread(HWND owner, std::shared_ptr<Dossiq::Documents::Document> document, LPARAM tag,
                  std::shared_ptr<Listing> listing);

    // Creates and resumes a worker; false when the thread cannot be made.
    static bool Start(HWND owner, std::shared_ptr<Dossiq::Documents::Document> document, LPARAM tag,
                      std::shared_ptr<Listing> listing);

protected:
    void AfterOpening(Dossiq::Documents::Document& document,
                      const Dossiq::Documents::ParsedDocument& parsed) noexcept override;

private:
    std::shared_ptr<Listing> listing_;
};

} // namespace Dossiq::Manager
