#include "document/container/entry_target.h"
#include "document/container/extraction_command.h"

#include "config/localization.h"
#include "document/container/document.h"
#include "document/container/visible_name.h"
#include "document/dialogs/archive_progress_dialog.h"
#include "document/dialogs/overwrite_question.h"
#include "foundation/exception.h"
#include "foundation/handle.h"
#include "foundation/io/path.h"
#include "foundation/resource_string.h"
#include "resources/common/localized_ids.h"
#include "zip/zip_archive.h"
#include "zip/zip_exception.h"
#include "zip/zip_mem_file.h"
#include "zip/zip_path_guard.h"
#include "foundation/text/readable_text.h"

namespace {

constexpr unsigned long kBufferSize = 65536;
constexpr DWORD kMaxZoneMark = 65536;
// The names of unwritable entries that one message lists.
constexpr size_t kNamedUnwritable = 10;
constexpr wchar_t kZoneStream[] = L":Zone.Identifier";

// Folder entries by their attributes or, whatever those say, by a trailing separator.
bool IsFolderEntry(const CZipFileHeader& header) {
    if (header.IsDirectory()) {
        return true;
    }
    const std::wstring name = header.GetFileName();
    return !name.empty() && (name.back() == L'\\' || name.back() == L'/');
}

// The uncompressing dialog for the life of one extraction.
class ProgressScope {
public:
    explicit ProgressScope(CZipArchive& archive) : archive_(archive) {
        dialog_.Start();
        archive_.SetCallback(&dialog_, CZipActionCallback::actExtract);
    }
    ~ProgressScope() {
        archive_.SetCallback(nullptr, CZipActionCallback::actExtract);
        dialog_.Close();
    }
    HWND Window() const { return dialog_.Window(); }

private:
    CZipArchive& archive_;
    ArchiveProgressDialog dialog_{false};
};

bool FileIdentity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
    MHFX::FileHandle file(::CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file && ::GetFileInformationByHandle(file.get(), &info);
}

std::wstring FullPath(const std::wstring& path) {
    const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) {
        return path;
    }
    std::wstring full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    full.resize(length < size ? length : 0);
    return full;
}

// By identity where both can be opened (another spelling, a short name or a link reaches
// the same file), and by full path in any case.
bool IsSameFile(const std::wstring& a, const std::wstring& b) {
    const std::wstring fullA = FullPath(a);
    const std::wstring fullB = FullPath(b);
    if (::CompareStringOrdinal(fullA.c_str(), static_cast<int>(fullA.size()), fullB.c_str(),
                               static_cast<int>(fullB.size()), TRUE) == CSTR_EQUAL) {
        return true;
    }
    BY_HANDLE_FILE_INFORMATION first = {};
    BY_HANDLE_FILE_INFORMATION second = {};
    return FileIdentity(a, first) && FileIdentity(b, second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

std::string ReadZoneMark(const std::wstring& path) {
    MHFX::FileHandle stream(::CreateFileW((path + kZoneStream).c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
    if (!stream) {
        return {};
    }
    std::string mark(kMaxZoneMark, '\0');
    DWORD read = 0;
    if (!::ReadFile(stream.get(), mark.data(), kMaxZoneMark, &read, nullptr)) {
        read = 0;
    }
    mark.resize(read);
    return mark;
}

// As browsers do, a volume without streams keeps the file without its mark.
void WriteZoneMark(const std::wstring& path, const std::string& mark) {
    MHFX::FileHandle stream(::CreateFileW((path + kZoneStream).c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    if (stream) {
        ::WriteFile(stream.get(), mark.data(), static_cast<DWORD>(mark.size()), &written, nullptr);
    }
}

bool IsExistingFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

ExtractionCommand::ExtractionCommand(Document& document, HWND owner)
    : document_(document), owner_(owner) {}

void ExtractionCommand::ShowError(HWND owner, const std::wstring& entryName) const {
    const std::wstring text = MHFX::FormatString(LoadLocalizedString(IDS_EXTRACTION_FAILED),
                                                 MHFX::ReadableText(entryName).c_str());
    ::MessageBoxW(owner, text.c_str(), LoadLocalizedString(IDS_MANAGER_NAME).c_str(),
                  MB_OK | MB_ICONERROR);
}

ExtractionCommand::Step ExtractionCommand::Decide(const std::wstring& target, HWND owner) {
    if (IsSameFile(target, document_.Path())) {
        const std::wstring text =
            MHFX::FormatString(LoadLocalizedString(IDS_OPEN_CONTAINER_SKIPPED),
                               MakeBidiVisible(MHFX::IO::Path::GetFileName(target)).c_str());
        ::MessageBoxW(owner, text.c_str(), LoadLocalizedString(IDS_MANAGER_NAME).c_str(),
                      MB_OK | MB_ICONWARNING);
        return Step::Skipped;
    }
    if (replaceAll_ || !IsExistingFile(target)) {
        return Step::Written;
    }
    OverwriteQuestion question;
    switch (question.Ask(owner, target)) {
    case OverwriteQuestion::Answer::ReplaceAll:
        replaceAll_ = true;
        return Step::Written;
    case OverwriteQuestion::Answer::Replace:
        return Step::Written;
    case OverwriteQuestion::Answer::Skip:
        return Step::Skipped;
    default:
        return Step::Cancelled;
    }
}

ExtractionCommand::Step ExtractionCommand::ExtractIndex(CZipArchive& archive, unsigned index,
                                                        const std::wstring& folder, bool fullPath,
                                                        HWND owner) {
    const CZipFileHeader* header = archive.GetFileHeader(static_cast<ZipIndex>(index));
    if (!header) {
        return Step::Failed;
    }
    const std::wstring name = header->GetFileName();
    const std::wstring written = MakeBidiVisible(name);
    bool ok = false;
    try {
        // Names the guard refuses are left to the reader, which refuses them with its error.
        if (ZipPathGuard::IsSafeEntryName(written)) {
            const std::wstring target = ZipPathGuard::TargetPath(folder, written, fullPath);
            if (ZipPathGuard::IsInside(folder, target)) {
                const Step step = Decide(target, owner);
                if (step != Step::Written) {
                    return step;
                }
                lastWritten_ = target;
            }
        }
        ok = archive.ExtractFile(static_cast<ZipIndex>(index), folder, fullPath,
                                 written == name ? std::wstring() : written, kBufferSize);
    } catch (const CZipException&) {
        ok = false;
    } catch (const MHFX::Exception&) {
        ok = false;
    }
    if (!ok) {
        lastWritten_.clear();
        ShowError(owner, name);
        return Step::Failed;
    }
    if (!zoneMark_.empty() && !lastWritten_.empty()) {
        WriteZoneMark(lastWritten_, zoneMark_);
    }
    return Step::Written;
}

bool ExtractionCommand::ExtractOne(const std::wstring& entryPath, const std::wstring& folder,
                                   bool fullPath) {
    return Extract(kNoIndex, entryPath, folder, fullPath);
}

bool ExtractionCommand::ExtractAt(unsigned index, const std::wstring& folder, bool fullPath) {
    return Extract(index, std::wstring(), folder, fullPath);
}

bool ExtractionCommand::Extract(unsigned wanted, std::wstring entryPath, const std::wstring& folder,
                                bool fullPath) {
    lastWritten_.clear();
    document_.OpenOnce();
    const DocumentContent content = document_.Content();
    if ((wanted == kNoIndex && entryPath.empty()) || !content) {
        return false;
    }
    CZipMemFile file(content.data, content.length);
    CZipArchive archive;
    Step step = Step::Failed;
    try {
        archive.Open(file, CZipArchive::zipOpenReadOnly);
        const CZipFileHeader* header =
            wanted == kNoIndex ? nullptr : archive.GetFileHeader(static_cast<ZipIndex>(wanted));
        if (header) {
            entryPath = header->GetFileName();
        }
        const ZipIndex index =
            wanted != kNoIndex ? (header ? static_cast<ZipIndex>(wanted) : ZIP_FILE_INDEX_NOT_FOUND)
                               : archive.FindFile(entryPath);
        const EntryTargetFault fault =
            CheckEntryTarget(MakeBidiVisible(entryPath), folder, fullPath);
        if (fault != EntryTargetFault::None) {
            ShowUnwritableEntry(owner_, entryPath, fault);
        } else if (index == ZIP_FILE_INDEX_NOT_FOUND) {
            ShowError(owner_, entryPath);
        } else {
            zoneMark_ = ReadZoneMark(document_.Path());
            ProgressScope progress(archive);
            step = ExtractIndex(archive, index, folder, fullPath,
                                progress.Window() ? progress.Window() : owner_);
        }
        archive.Close(true);
    } catch (const CZipException&) {
        ShowError(owner_, entryPath);
    } catch (const MHFX::Exception&) {
        // The progress dialog could not be started.
        ShowError(owner_, entryPath);
    }
    return step == Step::Written;
}

bool ExtractionCommand::ExtractAll(const std::wstring& folder) {
    lastWritten_.clear();
    document_.OpenOnce();
    const DocumentContent content = document_.Content();
    if (!content) {
        return false;
    }
    zoneMark_ = ReadZoneMark(document_.Path());
    CZipMemFile file(content.data, content.length);
    CZipArchive archive;
    bool failed = false;
    int extracted = 0;
    // Names this system cannot write are passed over and named once at the end.
    std::wstring unwritable;
    size_t unwritableCount = 0;
    EntryTargetFault firstFault = EntryTargetFault::None;
    try {
        archive.Open(file, CZipArchive::zipOpenReadOnly);
        ProgressScope progress(archive);
        const HWND owner = progress.Window() ? progress.Window() : owner_;
        for (unsigned i = 0; i < archive.GetCount() && !failed; ++i) {
            const CZipFileHeader* header = archive.GetFileHeader(static_cast<ZipIndex>(i));
            if (!header || IsFolderEntry(*header)) {
                continue;
            }
            const EntryTargetFault fault =
                CheckEntryTarget(MakeBidiVisible(header->GetFileName()), folder, true);
            if (fault != EntryTargetFault::None) {
                if (firstFault == EntryTargetFault::None) {
                    firstFault = fault;
                }
                if (++unwritableCount <= kNamedUnwritable) {
                    unwritable += (unwritable.empty() ? L"" : L", ") + header->GetFileName();
                } else if (unwritableCount == kNamedUnwritable + 1) {
                    unwritable += L", ...";
                }
                continue;
            }
            const Step step = ExtractIndex(archive, i, folder, true, owner);
            if (step == Step::Written) {
                ++extracted;
            } else if (step == Step::Failed) {
                failed = true;
            } else if (step == Step::Cancelled) {
                break;
            }
        }
        if (unwritableCount > 0) {
            ShowUnwritableEntry(owner, unwritable, firstFault);
            failed = true;
        }
        archive.Close(true);
    } catch (const CZipException&) {
        ShowError(owner_, MHFX::IO::Path::GetFileName(document_.Path()));
        failed = true;
    } catch (const MHFX::Exception&) {
        ShowError(owner_, MHFX::IO::Path::GetFileName(document_.Path()));
        failed = true;
    }
    return !failed && extracted > 0;
}
