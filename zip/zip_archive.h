// A ZIP archive over a byte stream: created and filled entry by entry (the central directory
// is written on Close), or opened to list and extract its entries. Single volume, stored and
// deflated entries, no encryption, no Zip64.
#pragma once

#include "zip/zip_abstract_file.h"
#include "zip/zip_action_callback.h"
#include "zip/zip_compressor.h"
#include "zip/zip_file_header.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

using ZipIndex = uint16_t;
constexpr ZipIndex ZIP_FILE_INDEX_NOT_FOUND = 0xFFFF;

class CZipArchive {
public:
    enum OpenMode {
        zipOpen = 0,
        zipOpenReadOnly = 1,
        zipCreate = 2,
        zipCreateAppend = 4, // a new archive after the stream's existing data
    };
    enum CaseMode { caseDefault = 0, caseSensitive = 1, caseInsensitive = 2 };
    // Options of AddNewFile.
    enum AddOption {
        addPasswordCheck = 1,
        addPasswordNever = 2,
        addStoreSmall = 4,      // files under 5 bytes are stored
        addCheckEfficiency = 8, // stored again when deflate does not make it smaller
        addCheckEfficiencyInMemory = 16,
        addDefault = addPasswordCheck | addPasswordNever | addStoreSmall,
    };
    static constexpr size_t maxEntries = 0xFFFF;

    CZipArchive();
    ~CZipArchive();
    CZipArchive(const CZipArchive&) = delete;
    CZipArchive& operator=(const CZipArchive&) = delete;

    // Registers `callback` for every kind bit set in `kinds`; null removes those kinds.
    void SetCallback(CZipActionCallback* callback, int kinds);
    CZipActionCallback* GetCallback(int kind) const;

    // Opens `storage` (which must outlive the archive); false for an unknown mode or when
    // the archive is already open. Reading raises CZipException 101, 118 or 119.
    bool Open(CZipAbstractFile& storage, int mode = zipOpen);
    // Ends an open entry and, for a writable archive and unless closing after an exception,
    // writes the central directory and its end record.
    void Close(bool afterException = false, bool updateTimeStamp = false);
    bool IsClosed() const { return m_storage == nullptr; }
    bool IsReadOnly() const { return m_readOnly; }

    // Adds a file from disk as one entry; false when it cannot be read or the archive
    // cannot take it (nothing is written then).
    bool AddNewFile(const std::wstring& path, const std::wstring& nameInZip, int level = -1,
                    int options = addDefault, unsigned long bufferSize = 65536);

    // Entry by entry: begin, write data, end.
    bool OpenNewFile(CZipFileHeader& header, int level = -1);
    bool WriteNewFile(const void* data, size_t size);
    bool CloseNewFile(bool afterException = false);

    ZipIndex GetCount() const { return static_cast<ZipIndex>(m_headers.size()); }
    // Entries that are not folders.
    ZipIndex GetNumberOfFiles() const;
    bool GetFileInfo(CZipFileHeader& info, ZipIndex index) const;
    const CZipFileHeader* GetFileHeader(ZipIndex index) const;
    ZipIndex FindFile(const std::wstring& name, int caseMode = caseDefault,
                      bool fileNameOnly = false) const;

    // Called on the verified data file before it gets its time, its attributes and the
    // target's name, with the attributes it is to get, which it may change. False keeps
    // the target as it was.
    using PartFileHook = std::function<bool(const std::wstring& partFile, uint32_t& attributes)>;

    // Extracts an entry below `path`. Names that could lead outside the folder are refused
    // with CZipException 101 before anything is written. The data goes to a new file beside
    // the target that gets the stored attributes and then replaces the target, only once its
    // size and CRC check out; on any failure (false for an unknown method, data shorter
    // than declared, attributes that cannot be set or a hook that refuses, an exception
    // otherwise) that file is removed and the target is as it was.
    bool ExtractFile(ZipIndex index, const std::wstring& path, bool fullPath = true,
                     const std::wstring& newName = {}, unsigned long bufferSize = 65536,
                     const PartFileHook& beforeRename = {});

    // Bytes in front of the archive in its stream.
    uint64_t GetBytesBeforeZip() const { return m_bytesBeforeZip; }
    const std::string& GetGlobalComment() const { return m_comment; }

private:
    enum class EntryState { none, compressing, extracting };

    void ReadCentralDir();
    void WriteCentralDir();
    void ResetState();
    bool IsCaseSensitive(int caseMode) const;

    // Extraction of the open entry.
    bool OpenFileForExtract(ZipIndex index);
    size_t ReadEntryData(unsigned char* out, size_t size);
    // Checks what was produced; 102 on a CRC mismatch. Entry is closed either way.
    bool FinishExtractedEntry();
    void AbandonEntry();
    void RemoveLastEntry(uint64_t localHeaderPosition);

    CZipAbstractFile* m_storage = nullptr;
    bool m_readOnly = false;
    int m_mode = zipOpen;
    std::vector<CZipFileHeader> m_headers;
    uint64_t m_bytesBeforeZip = 0;
    uint64_t m_centralDirPosition = 0; // where an opened archive's directory starts
    bool m_modified = false;
    std::string m_comment;
    std::map<int, CZipActionCallback*> m_callbacks;
    int m_defaultCaseMode = caseInsensitive;

    EntryState m_entryState = EntryState::none;
    CZipCompressor m_compressor;
    size_t m_currentIndex = 0;
    uint32_t m_crc = 0;
    uint64_t m_uncomprTotal = 0;
    uint64_t m_comprTotal = 0;
    uint64_t m_localHeaderPosition = 0;
    // Extraction: position and amounts of the data still to read or produce.
    uint64_t m_dataPosition = 0;
    uint64_t m_comprLeft = 0;
    uint64_t m_uncomprLeft = 0;
    bool m_streamEnded = false;
    std::vector<unsigned char> m_inputBuffer;
};
