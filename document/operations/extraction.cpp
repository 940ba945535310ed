#include "document/operations/extraction.h"

#include <windows.h>

#include <new>

#include "document/container/document.h"
#include "document/container/entry_target.h"
#include "document/container/visible_name.h"
#include "foundation/exception.h"
#include "foundation/handle.h"
#include "foundation/io/file_identity.h"
#include "foundation/io/full_path_name.h"
#include "zip/zip_archive.h"
#include "zip/zip_exception.h"
#include "zip/zip_mem_file.h"
#include "zip/zip_path_guard.h"

namespace Dossiq::Documents {

namespace {

constexpr unsigned long kBufferSize = 65536;
constexpr DWORD kMaxZoneMark = 65536;
constexpr wchar_t kZoneStream[] = L":Zone.Identifier";
// What a stranger's archive may set on a file: nothing that hides it from a scanner
// (offline), lets the system drop it (temporary) or makes it the system's.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadZoneMark(const std::wstring& path) {
    MHFX::FileHandle stream(::CreateFileW((path + kZoneStream).c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
    std::string mark(kMaxZoneMark, '\0');
    DWORD read = 0;
    if (!stream || !::ReadFile(stream.get(), mark.data(), kMaxZoneMark, &read, nullptr)) {
        read = 0;
    }
    mark.resize(read);
    return mark;
}

bool WriteZoneMark(const std::wstring& path, const std::string& mark) {
    MHFX::FileHandle stream(::CreateFileW((path + kZoneStream).c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return stream &&
           ::WriteFile(stream.get(), mark.data(), static_cast<DWORD>(mark.size()), &written,
                       nullptr) &&
           written == mark.size();
}

// As browsers do, a volume without streams keeps a file without its mark.
bool HasStreams(const std::wstring& path) {
    const std::wstring full = MHFX::IO::FullPathOf(path);
    const size_t root = full.find(L'\\', full.rfind(L':') == 1 ? 2 : 0);
    const std::wstring volume = full.substr(0, root == std::wstring::npos ? full.size() : root + 1);
    DWORD flags = 0;
    return ::GetVolumeInformationW(volume.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr,
                                   0) &&
           (flags & FILE_NAMED_STREAMS);
}

// The reader has set the archive's attributes; the mark goes on first, with none that could
// refuse it, and then only the attributes a stranger may set. False when the mark is lost.
bool SettleWrittenFile(const std::wstring& target, DWORD stored, const std::string& mark) {
    ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    const bool marked = mark.empty() || WriteZoneMark(target, mark) || !HasStreams(target);
    const DWORD kept = stored & kKeptAttributes;
    ::SetFileAttributesW(target.c_str(), kept ? kept : FILE_ATTRIBUTE_NORMAL);
    return marked;
}

bool IsStopRequest(const CZipException& e) {
    return e.GetCode() == CZipException::abortedAction ||
           e.GetCode() == CZipException::abortedSafely;
}

class Extraction {
public:
    Extraction(CZipArchive& archive, const std::wstring& containerPath,
               const ExtractionRequest& request, ExtractionHost& host)
        : archive_(archive), container_(containerPath), request_(request), host_(host),
          mark_(ReadZoneMark(containerPath)) {}

    // False when the extraction ends here.
    bool Entry(const ArchiveEntry& entry) {
        if (entry.folder) {
            ++outcome_.skipped;
            return true;
        }
        const std::wstring shown = MakeBidiVisible(entry.name);
        const EntryTargetFault fault =
            CheckEntryTarget(shown, request_.folder, request_.withFolders);
        if (fault != EntryTargetFault::None) {
            return Fail(entry, shown,
                        fault == EntryTargetFault::TooLong ? ExtractionFault::TooLong
                                                           : ExtractionFault::InvalidName);
        }
        std::wstring target;
        // Names the guard refuses are left to the reader, which refuses them.
        if (ZipPathGuard::IsSafeEntryName(shown)) {
            target = ZipPathGuard::TargetPath(request_.folder, shown, request_.withFolders);
            if (MHFX::IO::IsSameFile(target, container_)) {
                return Fail(entry, shown, ExtractionFault::OpenContainer);
            }
            if (!replaceAll_ && Exists(target)) {
                switch (host_.AskReplace(target)) {
                case ExtractionHost::Answer::ReplaceAll:
                    replaceAll_ = true;
                    break;
                case ExtractionHost::Answer::Replace:
                    break;
                case ExtractionHost::Answer::Skip:
                    ++outcome_.skipped;
                    return true;
                default:
                    outcome_.cancelled = true;
                    return false;
                }
            }
        }
        return Write(entry, shown, target);
    }

    ExtractionOutcome& Outcome() { return outcome_; }

private:
    bool Write(const ArchiveEntry& entry, const std::wstring& shown, const std::wstring& target) {
        bool ok = false;
        try {
            ok = archive_.ExtractFile(entry.index, request_.folder, request_.withFolders,
                                      shown == entry.name ? std::wstring() : shown, kBufferSize);
        } catch (const CZipException& e) {
            if (IsStopRequest(e)) {
                outcome_.cancelled = true;
                return false;
            }
        } catch (const MHFX::Exception&) {
        }
        if (!ok || target.empty()) {
            return Fail(entry, shown, ExtractionFault::ReaderFailed);
        }
        if (!SettleWrittenFile(target, entry.attributes, mark_)) {
            // A file from the Internet without its mark would open as a local one.
            ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(target.c_str());
            return Fail(entry, shown, ExtractionFault::MarkNotWritten);
        }
        ++outcome_.written;
        outcome_.lastWritten = target;
        host_.OnWritten(entry, target);
        return true;
    }

    bool Fail(const ArchiveEntry& entry, const std::wstring& shown, ExtractionFault fault) {
        ++outcome_.failed;
        return host_.OnFailed(entry, shown, fault);
    }

    CZipArchive& archive_;
    const std::wstring& container_;
    const ExtractionRequest& request_;
    ExtractionHost& host_;
    const std::string mark_;
    bool replaceAll_ = false;
    ExtractionOutcome outcome_;
};

// Detaches the host's progress from the archive whichever way the extraction ends.
class ProgressScope {
public:
    ProgressScope(CZipArchive& archive, CZipActionCallback* callback) : archive_(archive) {
        archive_.SetCallback(callback, CZipActionCallback::actExtract);
    }
    ~ProgressScope() { archive_.SetCallback(nullptr, CZipActionCallback::actExtract); }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

private:
    CZipArchive& archive_;
};

void Run(CZipArchive& archive, const ExtractionRequest& request, Extraction& extraction) {
    const bool every = request.entries.empty();
    const size_t count = every ? archive.GetCount() : request.entries.size();
    for (size_t i = 0; i < count; ++i) {
        const ZipIndex index = every ? static_cast<ZipIndex>(i) : request.entries[i];
        const CZipFileHeader* header = archive.GetFileHeader(index);
        if (!header) {
            extraction.Outcome().unreadable = true;
            return;
        }
        if (!extraction.Entry(DescribeEntry(*header, index))) {
            return;
        }
    }
}

} // namespace

ExtractionOutcome ExtractEntries(const DocumentContent& content, const std::wstring& containerPath,
                                 const ExtractionRequest& request, ExtractionHost& host) {
    ExtractionOutcome unreadable;
    unreadable.unreadable = true;
    if (!content) {
        return unreadable;
    }
    CZipMemFile file(content.data, content.length);
    CZipArchive archive;
    try {
        archive.Open(file, CZipArchive::zipOpenReadOnly);
    } catch (const CZipException&) {
        return unreadable;
    }
    Extraction extraction(archive, containerPath, request, host);
    try {
        ProgressScope progress(archive, host.Progress());
        Run(archive, request, extraction);
    } catch (const CZipException&) {
        extraction.Outcome().unreadable = true;
    } catch (const MHFX::Exception&) {
        // A name the path rules refuse in the directory itself.
        extraction.Outcome().unreadable = true;
    } catch (const std::bad_alloc&) {
        extraction.Outcome().unreadable = true;
    }
    try {
        archive.Close(true);
    } catch (...) {
    }
    return extraction.Outcome();
}

} // namespace Dossiq::Documents
