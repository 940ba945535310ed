// One Extract, Extract All or View of the manager over an opened document's archive, and
// the rules it keeps whatever the archive holds:
// - the open container is never written to: an entry that would land on it (the same file
//   by volume and file index, or the same full path) is skipped with a message;
// - an existing file is replaced only when the user says so; "replace all" and "cancel"
//   hold for the rest of the command;
// - every failure of the reader, raised or returned (unknown method, data shorter than
//   declared, CRC mismatch), is shown with the entry's name and ends the command; the reader
//   leaves no unverified file under the target's name;
// - names are written and shown with their bidirectional controls spelled out;
// - each file written carries the container's Internet zone mark when the container has one.
// Message boxes and questions are owned by the progress dialog while it runs, else by the
// owner given.
#pragma once

#include <windows.h>

#include <string>

class CZipArchive;
class Document;

class ExtractionCommand {
public:
    ExtractionCommand(Document& document, HWND owner);

    // The file `entryPath` into `folder`, with its folders inside the archive when
    // `fullPath`; true when it was written.
    bool ExtractOne(const std::wstring& entryPath, const std::wstring& folder, bool fullPath);
    // The same for the entry at `index` of the archive.
    bool ExtractAt(unsigned index, const std::wstring& folder, bool fullPath);
    // Every file with its folders; true when at least one was written and none failed.
    bool ExtractAll(const std::wstring& folder);

    // The file the last successful extraction wrote.
    const std::wstring& LastWritten() const { return lastWritten_; }

private:
    enum class Step { Written, Skipped, Failed, Cancelled };
    static constexpr unsigned kNoIndex = ~0u;

    // By index, or by name when `index` is kNoIndex.
    bool Extract(unsigned index, std::wstring entryPath, const std::wstring& folder, bool fullPath);

    Step ExtractIndex(CZipArchive& archive, unsigned index, const std::wstring& folder,
                      bool fullPath, HWND owner);
    // Whether `target` may be written: asks when it exists.
    Step Decide(const std::wstring& target, HWND owner);
    void ShowError(HWND owner, const std::wstring& entryName) const;

    Document& document_;
    HWND owner_;
    bool replaceAll_ = false;
    std::string zoneMark_;
    std::wstring lastWritten_;
};
