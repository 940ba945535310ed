// The ZIP reader from the end record to every entry's header and name.
#include "targets.h"

#include "zip/zip_archive.h"
#include "zip/zip_end_record.h"
#include "zip/zip_exception.h"
#include "zip/zip_extra_field.h"
#include "zip/zip_mem_file.h"
#include "zip/zip_path_guard.h"

namespace DossiqFuzz {

int ZipEndRecord(const uint8_t* data, size_t size) {
    // The input as a whole stream, then as the tail of a longer one.
    for (uint64_t before : {uint64_t{0}, size > 0 ? uint64_t{data[0]} << 16 : 1}) {
        try {
            CZipEndRecord record;
            const CZipEndRecord::Location location = record.Read(data, size, size + before);
            if (location.endRecordPosition >= size + before ||
                location.centralDirPosition > location.endRecordPosition ||
                location.bytesBeforeZip > location.centralDirPosition) {
                Violation("end record location outside the stream");
            }
            if (record.Encode().size() != CZipEndRecord::fixedSize + record.m_comment.size()) {
                Violation("end record does not encode back");
            }
        } catch (const CZipException&) {
        }
    }
    return 0;
}

int ZipCentralDir(const uint8_t* data, size_t size) {
    CZipMemFile storage(data, size);
    CZipArchive archive;
    try {
        if (!archive.Open(storage, CZipArchive::zipOpenReadOnly)) {
            Violation("a closed archive refused to open");
        }
    } catch (const CZipException&) {
        if (!archive.IsClosed()) {
            Violation("archive left open after a failed opening");
        }
        return 0;
    }
    if (archive.GetBytesBeforeZip() > size || archive.GetNumberOfFiles() > archive.GetCount()) {
        Violation("central directory counts out of range");
    }
    archive.Close();
    return 0;
}

int ZipEntries(const uint8_t* data, size_t size) {
    CZipMemFile storage(data, size);
    CZipArchive archive;
    try {
        archive.Open(storage, CZipArchive::zipOpenReadOnly);
    } catch (const CZipException&) {
        return 0;
    }
    for (ZipIndex i = 0; i < archive.GetCount(); ++i) {
        CZipFileHeader header;
        if (!archive.GetFileInfo(header, i)) {
            Violation("listed entry has no header");
        }
        const std::wstring name = header.GetFileName();
        const std::wstring last = header.GetFileName(false);
        if (last.size() > name.size()) {
            Violation("last name component longer than the name");
        }
        static_cast<void>(header.GetComment());
        static_cast<void>(header.IsDirectory());
        static_cast<void>(header.GetTime());
        static_cast<void>(header.HasDataDescriptor());
        const CZipExtraField extra = CZipExtraField::Parse(header.m_centralExtra);
        try {
            static_cast<void>(extra.Encode());
        } catch (const CZipException&) {
            Violation("parsed extra field does not encode back");
        }
        if (const CZipExtraField::Record* record = extra.Find(CZipFileHeader::codePageFieldId)) {
            try {
                bool usable = false;
                CZipFileHeader::ParseCodePageField(record->data, usable);
            } catch (const CZipException&) {
            }
        }
        try {
            // What the reader decoded must read back the same way.
            const std::string central = header.EncodeCentral();
            CZipFileHeader again;
            again.DecodeCentral(reinterpret_cast<const unsigned char*>(central.data()),
                                central.size());
            // A code-page record that carries the name itself is not written back.
            const bool nameKept = extra.Find(CZipFileHeader::codePageFieldId) == nullptr;
            if ((nameKept && again.GetFileName() != name) || again.m_offset != header.m_offset ||
                again.m_comprSize != header.m_comprSize || again.m_crc32 != header.m_crc32) {
                Violation("central header does not decode back to itself");
            }
            static_cast<void>(header.EncodeLocal());
        } catch (const CZipException&) {
        }
        if (ZipPathGuard::IsSafeEntryName(name)) {
            const std::wstring folder = L"C:\\dest";
            const std::wstring target = ZipPathGuard::TargetPath(folder, name, true);
            if (target.compare(0, folder.size(), folder) != 0) {
                Violation("safe name leads outside the folder");
            }
        }
        if (archive.FindFile(name, CZipArchive::caseSensitive) == ZIP_FILE_INDEX_NOT_FOUND) {
            Violation("entry not found by its own name");
        }
    }
    return 0;
}

} // namespace DossiqFuzz
