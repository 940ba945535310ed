#include "manager/extraction_command.h"

#include <algorithm>

#include "config/localization.h"
#include "document/container/document.h"
#include "document/container/entry_target.h"
#include "document/container/visible_name.h"
#include "views/archive_progress_dialog.h"
#include "manager/overwrite_question.h"
#include "document/operations/entry_walk.h"
#include "document/operations/extraction.h"
#include "foundation/exception.h"
#include "foundation/io/path.h"
#include "foundation/resource_string.h"
#include "foundation/text/readable_text.h"
#include "resources/common/localized_ids.h"

using namespace Dossiq::Config;
using namespace Dossiq::Documents;
using namespace Dossiq::Views;

namespace Dossiq::Manager {

namespace {

// The names of unwritable entries that one message lists.
constexpr size_t kNamedUnwritable = 10;

void ShowMessage(HWND owner, const std::wstring& text, UINT icon) {
    ::MessageBoxW(owner, text.c_str(), LoadLocalizedString(IDS_MANAGER_NAME).c_str(), MB_OK | icon);
}

void ShowError(HWND owner, const std::wstring& shownName) {
    ShowMessage(owner,
                MHFX::FormatString(LoadLocalizedString(IDS_EXTRACTION_FAILED),
                                   MHFX::ReadableText(shownName).c_str()),
                MB_ICONERROR);
}

// The window side of an extraction, with the uncompressing dialog for its life.
class WindowHost : public ExtractionHost {
public:
    WindowHost(HWND owner, bool progress) : owner_(owner) {
        if (progress) {
            try {
                dialog_.Start();
                started_ = true;
            } catch (const MHFX::Exception&) {
                // Extracting without a progress dialog still extracts.
            }
        }
    }
    ~WindowHost() override {
        if (started_) {
            dialog_.Close();
        }
    }
    WindowHost(const WindowHost&) = delete;
    WindowHost& operator=(const WindowHost&) = delete;

    HWND Owner() const { return started_ && dialog_.Window() ? dialog_.Window() : owner_; }

    Answer AskReplace(const std::wstring& target) override {
        OverwriteQuestion question;
        switch (question.Ask(Owner(), target)) {
        case OverwriteQuestion::Answer::ReplaceAll:
            return Answer::ReplaceAll;
        case OverwriteQuestion::Answer::Replace:
            return Answer::Replace;
        case OverwriteQuestion::Answer::Skip:
            return Answer::Skip;
        default:
            return Answer::Cancel;
        }
    }

    bool OnFailed(const ArchiveEntry&, const std::wstring& shownName,
                  ExtractionFault fault) override {
        switch (fault) {
        case ExtractionFault::InvalidName:
        case ExtractionFault::TooLong:
            NoteUnwritable(shownName, fault == ExtractionFault::TooLong
                                          ? EntryTargetFault::TooLong
                                          : EntryTargetFault::InvalidName);
            return true;
        case ExtractionFault::OpenContainer:
            ShowMessage(Owner(),
                        MHFX::FormatString(
                            LoadLocalizedString(IDS_OPEN_CONTAINER_SKIPPED),
                            MHFX::ReadableText(MHFX::IO::Path::GetFileName(shownName)).c_str()),
                        MB_ICONWARNING);
            return true;
        default:
            ShowError(Owner(), shownName);
            return false;
        }
    }

    void OnMadeVisible(const ArchiveEntry&, const std::wstring& target) override {
        madeVisible_ += (madeVisible_.empty() ? L"" : L", ") + MHFX::IO::Path::GetFileName(target);
    }

    CZipActionCallback* Progress() override { return started_ ? &dialog_ : nullptr; }

    // The files written under another name, in one message.
    void ShowMadeVisible() {
        if (!madeVisible_.empty()) {
            ShowMessage(Owner(),
                        MHFX::FormatString(LoadLocalizedString(IDS_EXTRACT_MADE_VISIBLE),
                                           MHFX::ReadableText(madeVisible_).c_str()),
                        MB_ICONINFORMATION);
        }
    }

    // The names passed over, in one message.
    void ShowUnwritable() {
        if (unwritableCount_ > 0) {
            ExtractionCommand::ShowUnwritable(Owner(), unwritable_, firstFault_);
        }
    }

private:
    void NoteUnwritable(const std::wstring& name, EntryTargetFault fault) {
        if (unwritableCount_ == 0) {
            firstFault_ = fault;
        }
        if (++unwritableCount_ <= kNamedUnwritable) {
            unwritable_ += (unwritable_.empty() ? L"" : L", ") + name;
        } else if (unwritableCount_ == kNamedUnwritable + 1) {
            unwritable_ += L", ...";
        }
    }

    HWND owner_;
    ArchiveProgressDialog dialog_{false};
    bool started_ = false;
    std::wstring unwritable_;
    std::wstring madeVisible_;
    size_t unwritableCount_ = 0;
    EntryTargetFault firstFault_ = EntryTargetFault::None;
};

} // namespace

ExtractionCommand::ExtractionCommand(Document& document, HWND owner)
    : document_(document), owner_(owner) {}

bool ExtractionCommand::ExtractOne(const std::wstring& entryPath, const std::wstring& folder,
                                   bool fullPath) {
    lastWritten_.clear();
    document_.OpenOnce();
    const DocumentContent content = document_.Content();
    if (entryPath.empty() || !content) {
        return false;
    }
    const int index = FindEntry(WalkEntries(content), entryPath);
    if (index < 0) {
        ShowError(owner_, MakeBidiVisible(entryPath));
        return false;
    }
    return ExtractAt(static_cast<unsigned>(index), folder, fullPath);
}

bool ExtractionCommand::ExtractAt(unsigned index, const std::wstring& folder, bool fullPath) {
    lastWritten_.clear();
    document_.OpenOnce();
    const DocumentContent content = document_.Content();
    if (!content) {
        return false;
    }
    const EntryListing listing = WalkEntries(content);
    const auto walked = std::find_if(listing.entries.begin(), listing.entries.end(),
                                     [&](const ArchiveEntry& e) { return e.index == index; });
    if (walked == listing.entries.end()) {
        return false;
    }
    const std::wstring& entryPath = walked->name;
    // Told before the progress dialog comes up, as the only thing this command says.
    const EntryTargetFault fault = CheckEntryTarget(MakeBidiVisible(entryPath), folder, fullPath);
    if (fault != EntryTargetFault::None) {
        ExtractionCommand::ShowUnwritable(owner_, entryPath, fault);
        return false;
    }
    ExtractionRequest request{folder, fullPath, {walked->index}};
    ExtractionOutcome outcome;
    {
        WindowHost host(owner_, true);
        outcome = ExtractEntries(content, document_.Path(), request, host);
        if (outcome.unreadable) {
            ShowError(host.Owner(), MakeBidiVisible(entryPath));
        }
        host.ShowMadeVisible();
    }
    if (outcome.written == 1 && outcome.Succeeded()) {
        lastWritten_ = outcome.lastWritten;
        return true;
    }
    return false;
}

bool ExtractionCommand::ExtractAll(const std::wstring& folder) {
    return Extract(ExtractionRequest{folder, true, {}}) != 0;
}

bool ExtractionCommand::ExtractSome(const std::vector<unsigned>& indices,
                                    const std::wstring& folder, bool fullPath) {
    ExtractionRequest request{folder, fullPath, {}};
    for (const unsigned index : indices) {
        request.entries.push_back(static_cast<uint16_t>(index));
    }
    return !indices.empty() && Extract(request) == indices.size();
}

size_t ExtractionCommand::Extract(const ExtractionRequest& request) {
    lastWritten_.clear();
    document_.OpenOnce();
    const DocumentContent content = document_.Content();
    if (!content) {
        return 0;
    }
    ExtractionOutcome outcome;
    {
        WindowHost host(owner_, true);
        outcome = ExtractEntries(content, document_.Path(), request, host);
        if (!outcome.cancelled) {
            host.ShowUnwritable();
        }
        host.ShowMadeVisible();
        if (outcome.unreadable) {
            ShowError(host.Owner(), MHFX::IO::Path::GetFileName(document_.Path()));
        }
    }
    lastWritten_ = outcome.lastWritten;
    return outcome.Succeeded() ? outcome.written : 0;
}

void ExtractionCommand::ShowUnwritable(HWND owner, const std::wstring& entryPath,
                                       EntryTargetFault fault) {
    ::MessageBoxW(owner, UnwritableEntryText(entryPath, fault).c_str(),
                  LoadLocalizedString(IDS_MANAGER_NAME).c_str(), MB_OK | MB_ICONERROR);
}

} // namespace Dossiq::Manager
