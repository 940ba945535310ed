#include "document/operations/extraction.h"

#include <windows.h>

#include <cwchar>
#include <new>

#include "document/container/document.h"
#include "document/container/entry_target.h"
#include "document/container/visible_name.h"
#include "document/operations/zone_mark.h"
#include "foundation/exception.h"
#include "foundation/handle.h"
#include "foundation/io/file_identity.h"
#include "zip/zip_archive.h"
#include "zip/zip_exception.h"
#include "zip/zip_mem_file.h"
#include "zip/zip_path_guard.h"

namespace Dossiq::Documents {

namespace {

constexpr unsigned long kBufferSize = 65536;
// What a stranger's archive may set on a file: nothing that hides it (hidden, offline to a
// scanner), lets the system drop it (temporary) or makes it the system's.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool EndsWith(const std::wstring& text, const wchar_t* suffix) {
    const size_t length = wcslen(suffix);
    return text.size() >= length &&
           ::CompareStringOrdinal(text.c_str() + text.size() - length, static_cast<int>(length),
                                  suffix, static_cast<int>(length), TRUE) == CSTR_EQUAL;
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
        const std::wstring written = InertName(shown);
        const EntryTargetFault fault =
            CheckEntryTarget(written, request_.folder, request_.withFolders);
        if (fault != EntryTargetFault::None) {
            return Fail(entry, shown,
                        fault == EntryTargetFault::TooLong ? ExtractionFault::TooLong
                                                           : ExtractionFault::InvalidName);
        }
        std::wstring target;
        // Names the guard refuses are left to the reader, which refuses them.
        if (ZipPathGuard::IsSafeEntryName(written)) {
            target = ZipPathGuard::TargetPath(request_.folder, written, request_.withFolders);
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
        return Write(entry, shown, written, target);
    }

    ExtractionOutcome& Outcome() { return outcome_; }

private:
    bool Write(const ArchiveEntry& entry, const std::wstring& shown, const std::wstring& written,
               const std::wstring& target) {
        bool markLost = false;
        // The new file gets the mark and then the attributes that could refuse it, before
        // it takes the target's name.
        const auto settle = [&](const std::wstring& part, uint32_t& attributes) {
            if (!mark_.empty() && host_.KeepsStreams(part) && !host_.WriteMark(part, mark_)) {
                markLost = true;
                return false;
            }
            attributes &= kKeptAttributes;
            return true;
        };
        bool ok = false;
        bool stopped = false;
        try {
            ok = archive_.ExtractFile(entry.index, request_.folder, request_.withFolders,
                                      written == entry.name ? std::wstring() : written, kBufferSize,
                                      settle);
        } catch (const CZipException& e) {
            if (IsStopRequest(e)) {
                outcome_.cancelled = true;
                // Stopped after its last step: the file is there, finished.
                ok = e.GetCode() == CZipException::abortedSafely;
                stopped = true;
            }
        } catch (const MHFX::Exception&) {
        }
        if (stopped && (!ok || target.empty())) {
            return false;
        }
        if (!ok || target.empty()) {
            return Fail(entry, shown,
                        markLost ? ExtractionFault::MarkNotWritten : ExtractionFault::ReaderFailed);
        }
        ++outcome_.written;
        outcome_.lastWritten = target;
        if (written != shown) {
            host_.OnMadeVisible(entry, target);
        }
        host_.OnWritten(entry, target);
        return !stopped;
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

bool ExtractionHost::KeepsStreams(const std::wstring& path) {
    return VolumeKeepsStreams(path);
}

bool ExtractionHost::WriteMark(const std::wstring& file, const std::string& mark) {
    return WriteZoneMark(file, mark);
}

std::wstring InertName(const std::wstring& name) {
    const size_t slash = name.find_last_of(L"\\/");
    const std::wstring file = slash == std::wstring::npos ? name : name.substr(slash + 1);
    const bool acted = EndsWith(file, L".url") || EndsWith(file, L".library-ms") ||
                       EndsWith(file, L".searchConnector-ms") ||
                       ::CompareStringOrdinal(file.c_str(), static_cast<int>(file.size()),
                                              L"desktop.ini", -1, TRUE) == CSTR_EQUAL;
    return acted ? name + L".txt" : name;
}

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
