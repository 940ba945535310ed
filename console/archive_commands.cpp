// list and extract: the archive inside a container, listed by the one entry walk and
// extracted by the one extraction, as the manager does.
#include <cwchar>

#include "console/commands.h"
#include "console/help_texts.h"
#include "document/container/document.h"
#include "document/container/entry_target.h"
#include "document/operations/entry_walk.h"
#include "document/operations/extraction.h"
#include "foundation/io/full_path_name.h"
#include "foundation/text/readable_text.h"
#include "resources/console/resource.h"

using namespace Dossiq::Documents;

namespace Dossiq::Console {

namespace {

// Opens the container; 0 when it is open, otherwise the exit code after telling why.
int OpenContainer(Document& document, const CommandOutput& output) {
    if (::GetFileAttributesW(document.Path().c_str()) == INVALID_FILE_ATTRIBUTES) {
        return output.Fail(kExitUsage, ConsoleText(IDS_CONSOLE_CANNOT_FIND, {document.Path()}));
    }
    if (!document.OpenOnce()) {
        if (document.FailureCode() == static_cast<DWORD>(CRYPT_E_UNKNOWN_ALGO)) {
            const std::string& oid = document.UnsupportedAlgorithm();
            return output.Fail(kExitFailed,
                               ConsoleText(IDS_CONSOLE_CANNOT_DECODE_UNSUPPORTED,
                                           {document.Path(), {oid.begin(), oid.end()}}));
        }
        return output.Fail(kExitFailed,
                           ConsoleText(document.FailureCode() ? IDS_CONSOLE_CANNOT_DECODE_NOT_YOURS
                                                              : IDS_CONSOLE_CANNOT_DECODE,
                                       {document.Path()}));
    }
    return kExitOk;
}

// A signature that does not hold; one in an algorithm that cannot be verified here is not
// said to be broken.
bool IsTampered(const Document& document) {
    return document.SignerCertificate() && !document.IsSignatureValid() &&
           document.SignatureCheck() != SignatureStatus::Unsupported;
}

bool IsUnverifiable(const Document& document) {
    return document.SignerCertificate() &&
           document.SignatureCheck() == SignatureStatus::Unsupported;
}

std::wstring AlgorithmOf(const Document& document) {
    const std::string& oid = document.UnsupportedAlgorithm();
    return {oid.begin(), oid.end()};
}

void WarnTampered(const Document& document, const CommandOutput& output) {
    output.Err().Write(L"dossiq: " +
                       ConsoleText(IDS_CONSOLE_CHANGED_SINCE_SIGNED, {document.Path()}) + L"\r\n");
}

void WarnUnverifiable(const Document& document, const CommandOutput& output) {
    output.Err().Write(
        L"dossiq: " +
        ConsoleText(IDS_CONSOLE_UNVERIFIABLE, {document.Path(), AlgorithmOf(document)}) + L"\r\n");
}

std::wstring ListLine(const ArchiveEntry& entry) {
    wchar_t size[32];
    std::swprintf(size, 32, L"%12u  ", static_cast<unsigned>(entry.size));
    return size + MHFX::ReadableText(entry.name) + L"\r\n";
}

// The error line of an entry that was not written.
std::wstring NotWrittenText(const std::wstring& shownName, ExtractionFault fault) {
    switch (fault) {
    case ExtractionFault::InvalidName:
        return UnwritableEntryText(shownName, EntryTargetFault::InvalidName);
    case ExtractionFault::TooLong:
        return UnwritableEntryText(shownName, EntryTargetFault::TooLong);
    case ExtractionFault::OpenContainer:
        return ConsoleText(IDS_CONSOLE_OPEN_CONTAINER, {shownName});
    case ExtractionFault::MarkNotWritten:
        return ConsoleText(IDS_CONSOLE_NOT_MARKED, {shownName});
    default:
        return ConsoleText(IDS_CONSOLE_ENTRY_REFUSED, {shownName});
    }
}

// The console's side of an extraction: no questions (--overwrite answers them), a line per
// file written on standard output and per entry not written on standard error.
class ConsoleExtractionHost : public ExtractionHost {
public:
    ConsoleExtractionHost(bool overwrite, const CommandOutput& output)
        : overwrite_(overwrite), output_(output) {}

    Answer AskReplace(const std::wstring& target) override {
        if (overwrite_) {
            return Answer::Replace;
        }
        output_.Fail(kExitFailed, ConsoleText(IDS_CONSOLE_EXISTS_KEPT, {target}));
        kept_ = true;
        return Answer::Skip;
    }
    bool OnFailed(const ArchiveEntry&, const std::wstring& shownName,
                  ExtractionFault fault) override {
        output_.Fail(kExitFailed, NotWrittenText(shownName, fault));
        return true;
    }
    void OnMadeVisible(const ArchiveEntry& entry, const std::wstring& target) override {
        output_.Err().Write(L"dossiq: " +
                            ConsoleText(IDS_CONSOLE_MADE_VISIBLE, {MHFX::ReadableText(entry.name),
                                                                   MHFX::ReadableText(target)}) +
                            L"\r\n");
    }
    void OnWritten(const ArchiveEntry&, const std::wstring& target) override {
        output_.Out().Write(MHFX::ReadableText(target) + L"\r\n");
    }
    bool KeptAny() const { return kept_; }

private:
    bool overwrite_;
    const CommandOutput& output_;
    bool kept_ = false;
};

// "#N": the entry at index N of the archive, as the JSON report numbers them; -1 otherwise.
int EntryAtIndex(const EntryListing& listing, const std::wstring& text) {
    if (text.size() < 2 || text[0] != L'#' || text.size() > 6 ||
        text.find_first_not_of(L"0123456789", 1) != std::wstring::npos) {
        return -1;
    }
    const unsigned long index = std::wcstoul(text.c_str() + 1, nullptr, 10);
    for (const ArchiveEntry& entry : listing.entries) {
        if (entry.index == index && !entry.folder) {
            return entry.index;
        }
    }
    return -1;
}

// The entries --entry names (a name, else "#N"), in that order; false (after saying so) for
// one not there.
bool ChooseEntries(const EntryListing& listing, const std::vector<std::wstring>& names,
                   const std::wstring& container, std::vector<uint16_t>& chosen,
                   const CommandOutput& output) {
    for (const std::wstring& name : names) {
        int index = FindEntry(listing, name);
        if (index < 0) {
            index = EntryAtIndex(listing, name);
        }
        if (index < 0) {
            output.Fail(kExitUsage, ConsoleText(IDS_CONSOLE_NO_ENTRY, {name, container}));
            return false;
        }
        chosen.push_back(static_cast<uint16_t>(index));
    }
    return true;
}

} // namespace

int ListCommand(const Arguments& arguments, const CommandOutput& output) {
    Document document(MHFX::IO::FullPathOf(arguments.Operands()[0]));
    if (const int code = OpenContainer(document, output)) {
        return code;
    }
    if (IsTampered(document)) {
        WarnTampered(document, output);
    }
    if (IsUnverifiable(document)) {
        WarnUnverifiable(document, output);
    }
    const EntryListing listing = WalkEntries(document.Content());
    std::wstring text;
    for (const ArchiveEntry& entry : listing.entries) {
        if (!entry.folder) {
            text += ListLine(entry);
        }
    }
    if (!output.Out().Write(text)) {
        return kExitUsage;
    }
    if (!listing.complete) {
        return output.Fail(kExitFailed,
                           ConsoleText(listing.entries.empty() ? IDS_CONSOLE_ARCHIVE_UNREADABLE
                                                               : IDS_CONSOLE_ARCHIVE_PARTIAL,
                                       {document.Path()}));
    }
    return kExitOk;
}

int ExtractCommand(const Arguments& arguments, const CommandOutput& output) {
    const std::wstring folder = MHFX::IO::FullPathOf(arguments.Value(L"--to", L"."));
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return output.Fail(kExitUsage, ConsoleText(IDS_CONSOLE_NO_FOLDER, {folder}));
    }
    Document document(MHFX::IO::FullPathOf(arguments.Operands()[0]));
    if (const int code = OpenContainer(document, output)) {
        return code;
    }
    if (IsTampered(document)) {
        if (!arguments.Has(L"--force")) {
            return output.Fail(kExitFailed,
                               ConsoleText(IDS_CONSOLE_TAMPERED_REFUSED, {document.Path()}));
        }
        WarnTampered(document, output);
    }
    if (IsUnverifiable(document)) {
        if (!arguments.Has(L"--force")) {
            return output.Fail(kExitFailed, ConsoleText(IDS_CONSOLE_UNVERIFIABLE_REFUSED,
                                                        {document.Path(), AlgorithmOf(document)}));
        }
        WarnUnverifiable(document, output);
    }
    ExtractionRequest request;
    request.folder = folder;
    const std::vector<std::wstring> wanted = arguments.Values(L"--entry");
    if (!wanted.empty()) {
        const EntryListing listing = WalkEntries(document.Content());
        if (!ChooseEntries(listing, wanted, document.Path(), request.entries, output)) {
            return kExitUsage;
        }
    }
    ConsoleExtractionHost host(arguments.Has(L"--overwrite"), output);
    const ExtractionOutcome outcome =
        ExtractEntries(document.Content(), document.Path(), request, host);
    if (outcome.unreadable) {
        return output.Fail(kExitFailed,
                           ConsoleText(IDS_CONSOLE_ARCHIVE_UNREADABLE, {document.Path()}));
    }
    return outcome.Succeeded() && !host.KeptAny() ? kExitOk : kExitFailed;
}

} // namespace Dossiq::Console
