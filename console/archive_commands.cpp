// list and extract: the archive inside a container, read as the manager reads it.
#include <cwchar>
#include <set>

#include "console/arguments.h"
#include "console/commands.h"
#include "console/console_output.h"
#include "console/help_texts.h"
#include "document/container/document.h"
#include "foundation/exception.h"
#include "foundation/text/readable_text.h"
#include "zip/zip_archive.h"
#include "zip/zip_exception.h"
#include "zip/zip_mem_file.h"
#include "zip/zip_path_guard.h"
#include "resources/console/resource.h"

namespace {

constexpr unsigned long kBufferSize = 65536;

bool IsFolderEntry(const CZipFileHeader& header) {
    const std::wstring name = header.GetFileName();
    return header.IsDirectory() || (!name.empty() && (name.back() == L'\\' || name.back() == L'/'));
}

std::wstring FullPath(const std::wstring& path) {
    wchar_t full[MAX_PATH * 4];
    const DWORD length = ::GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, nullptr);
    return length && length < MAX_PATH * 4 ? std::wstring(full) : path;
}

// Opens the container; 0 when it is open, otherwise the exit code after telling why.
int OpenContainer(Document& document) {
    if (::GetFileAttributesW(document.Path().c_str()) == INVALID_FILE_ATTRIBUTES) {
        return Fail(kExitUsage, ConsoleText(IDS_CONSOLE_CANNOT_FIND, {document.Path()}));
    }
    if (!document.OpenOnce()) {
        return Fail(kExitFailed,
                    ConsoleText(document.FailureCode() ? IDS_CONSOLE_CANNOT_DECODE_NOT_YOURS
                                                       : IDS_CONSOLE_CANNOT_DECODE,
                                {document.Path()}));
    }
    if (document.SignerCertificate() && !document.IsSignatureValid()) {
        ConsoleOutput::Err().Write(
            L"dossiq: " + ConsoleText(IDS_CONSOLE_CHANGED_SINCE_SIGNED, {document.Path()}) +
            L"\r\n");
    }
    return kExitOk;
}

} // namespace

int ListCommand(const std::vector<std::wstring>& args) {
    const Arguments arguments(args, {}, {});
    if (arguments.WantsHelp()) {
        ConsoleOutput::Out().Write(HelpText(IDS_CONSOLE_LIST_HELP));
        return kExitOk;
    }
    if (!arguments.Error().empty()) {
        return Fail(kExitUsage, arguments.Error());
    }
    if (arguments.Operands().size() != 1) {
        return Fail(kExitUsage, ConsoleText(IDS_CONSOLE_LIST_ONE));
    }
    Document document(FullPath(arguments.Operands()[0]));
    if (const int code = OpenContainer(document)) {
        return code;
    }
    std::wstring text;
    const DocumentContent content = document.Content();
    CZipMemFile file(content.data, content.length);
    CZipArchive archive;
    try {
        archive.Open(file, CZipArchive::zipOpenReadOnly);
        for (ZipIndex i = 0; i < archive.GetCount(); ++i) {
            const CZipFileHeader* header = archive.GetFileHeader(i);
            if (!header || IsFolderEntry(*header)) {
                continue;
            }
            wchar_t size[32];
            std::swprintf(size, 32, L"%12u  ", static_cast<unsigned>(header->m_uncomprSize));
            text += size + MHFX::ReadableText(header->GetFileName()) + L"\r\n";
        }
        archive.Close(true);
    } catch (const CZipException&) {
        archive.Close(true);
        return Fail(kExitFailed, ConsoleText(IDS_CONSOLE_ARCHIVE_UNREADABLE, {document.Path()}));
    }
    return ConsoleOutput::Out().Write(text) ? kExitOk : kExitUsage;
}

int ExtractCommand(const std::vector<std::wstring>& args) {
    const Arguments arguments(args, {L"--overwrite"}, {L"--to", L"--entry"});
    if (arguments.WantsHelp()) {
        ConsoleOutput::Out().Write(HelpText(IDS_CONSOLE_EXTRACT_HELP));
        return kExitOk;
    }
    if (!arguments.Error().empty()) {
        return Fail(kExitUsage, arguments.Error());
    }
    if (arguments.Operands().size() != 1) {
        return Fail(kExitUsage, ConsoleText(IDS_CONSOLE_EXTRACT_ONE));
    }
    const std::wstring folder = FullPath(arguments.Value(L"--to", L"."));
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return Fail(kExitUsage, ConsoleText(IDS_CONSOLE_NO_FOLDER, {folder}));
    }
    Document document(FullPath(arguments.Operands()[0]));
    if (const int code = OpenContainer(document)) {
        return code;
    }
    const std::vector<std::wstring> wanted = arguments.Values(L"--entry");
    const DocumentContent content = document.Content();
    CZipMemFile file(content.data, content.length);
    CZipArchive archive;
    int result = kExitOk;
    try {
        archive.Open(file, CZipArchive::zipOpenReadOnly);
        // What would be written, decided before anything is.
        std::vector<ZipIndex> chosen;
        if (wanted.empty()) {
            for (ZipIndex i = 0; i < archive.GetCount(); ++i) {
                const CZipFileHeader* header = archive.GetFileHeader(i);
                if (header && !IsFolderEntry(*header)) {
                    chosen.push_back(i);
                }
            }
        } else {
            for (const std::wstring& name : wanted) {
                // Either separator names the same entry.
                std::wstring other = name;
                for (wchar_t& c : other) {
                    c = c == L'/' ? L'\\' : c == L'\\' ? L'/' : c;
                }
                ZipIndex index = archive.FindFile(name);
                if (index == ZIP_FILE_INDEX_NOT_FOUND) {
                    index = archive.FindFile(other);
                }
                if (index == ZIP_FILE_INDEX_NOT_FOUND) {
                    archive.Close(true);
                    return Fail(kExitUsage,
                                ConsoleText(IDS_CONSOLE_NO_ENTRY, {name, document.Path()}));
                }
                chosen.push_back(index);
            }
        }
        std::wstring existing;
        for (ZipIndex index : chosen) {
            const std::wstring name = archive.GetFileHeader(index)->GetFileName();
            if (!ZipPathGuard::IsSafeEntryName(name)) {
                continue; // refused below, with its name
            }
            const std::wstring target = ZipPathGuard::TargetPath(folder, name, true);
            if (::GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
                existing += L"\r\n    " + MHFX::ReadableText(target);
            }
        }
        if (!existing.empty() && !arguments.Has(L"--overwrite")) {
            archive.Close(true);
            return Fail(kExitFailed, ConsoleText(IDS_CONSOLE_FILES_EXIST) + existing);
        }
        for (ZipIndex index : chosen) {
            const std::wstring name = archive.GetFileHeader(index)->GetFileName();
            try {
                archive.ExtractFile(index, folder, true, {}, kBufferSize);
                ConsoleOutput::Out().Write(
                    MHFX::ReadableText(ZipPathGuard::TargetPath(folder, name, true)) + L"\r\n");
            } catch (const CZipException&) {
                Fail(kExitFailed, ConsoleText(IDS_CONSOLE_ENTRY_REFUSED, {name}));
                result = kExitFailed;
            } catch (const MHFX::Exception&) {
                Fail(kExitFailed, ConsoleText(IDS_CONSOLE_ENTRY_REFUSED, {name}));
                result = kExitFailed;
            }
        }
        archive.Close(true);
    } catch (const CZipException&) {
        archive.Close(true);
        return Fail(kExitFailed, ConsoleText(IDS_CONSOLE_ARCHIVE_UNREADABLE, {document.Path()}));
    } catch (const MHFX::Exception& e) {
        archive.Close(true);
        return Fail(kExitFailed, e.Message());
    }
    return result;
}
