#include "zip/zip_archive.h"

#include "zip/zip_bytes.h"
#include "zip/zip_compatibility.h"
#include "zip/zip_crt_file.h"
#include "zip/zip_end_record.h"
#include "zip/zip_exception.h"
#include "zip/zip_path_guard.h"

#include <windows.h>

#include <direct.h>
#include <sys/stat.h>
#include <sys/utime.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <ctime>

namespace {

constexpr size_t inputBlockSize = 65536;
constexpr uint64_t max32 = 0xFFFFFFFF;
// Attributes that SetFileAttributesW accepts on a file or folder.
constexpr DWORD settableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                     FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                     FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                     FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

uint32_t UpdateCrc(uint32_t crc, const void* data, size_t size) {
    const Bytef* p = static_cast<const Bytef*>(data);
    while (size > 0) {
        const uInt chunk = size > UINT_MAX ? UINT_MAX : static_cast<uInt>(size);
        crc = static_cast<uint32_t>(crc32(crc, p, chunk));
        p += chunk;
        size -= chunk;
    }
    return crc;
}

void ReadExactly(CZipAbstractFile& storage, void* data, size_t size) {
    if (storage.Read(data, size) != size) {
        throw CZipException(CZipException::badZipFile);
    }
}

// Creates `path` and every missing folder above it.
void CreateFolders(const std::wstring& path) {
    if (path.empty()) {
        return;
    }
    for (size_t i = 1; i < path.size(); ++i) {
        if (IsSeparator(path[i]) && path[i - 1] != L':' && !IsSeparator(path[i - 1])) {
            ::_wmkdir(path.substr(0, i).c_str());
        }
    }
    errno = 0;
    if (::_wmkdir(path.c_str()) != 0 && errno != EEXIST) {
        const int error = errno;
        throw CZipException(error != 0 ? error : ENOENT, path);
    }
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        throw CZipException(ENOTDIR, path);
    }
}

std::wstring ParentFolder(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// A new file next to `target` that holds the data until it is verified, so that the
// target's name never names a truncated or unchecked file. Created exclusively: an existing
// file of that name is never touched.
std::wstring CreatePartFile(CZipCrtFile& file, const std::wstring& target) {
    // Short, so that a target that fits the path limit leaves room for it beside.
    static std::atomic<unsigned> counter{static_cast<unsigned>(::_time64(nullptr))};
    const std::wstring folder = ParentFolder(target);
    for (int attempt = 0;; ++attempt) {
        wchar_t name[16];
        swprintf(name, 16, L"\\~dq%05x", (counter++ * 2654435761u) & 0xFFFFF);
        const std::wstring part = folder + name;
        if (file.CreateNew(part)) {
            return part;
        }
        if (errno != EEXIST || attempt == 100) {
            throw CZipException(errno != 0 ? errno : ENOENT, target);
        }
    }
}

void RemovePartFile(const std::wstring& part) {
    if (!part.empty()) {
        ::SetFileAttributesW(part.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(part.c_str());
    }
}

bool SetAttributes(const std::wstring& path, uint32_t attributes) {
    DWORD value = attributes & settableAttributes;
    if (value == 0) {
        value = FILE_ATTRIBUTE_NORMAL;
    }
    return ::SetFileAttributesW(path.c_str(), value) != FALSE;
}

} // namespace

CZipArchive::CZipArchive() = default;

CZipArchive::~CZipArchive() {
    try {
        Close(true);
    } catch (...) {
        // A destructor cannot report; the caller closes explicitly to learn of failures.
    }
}

void CZipArchive::SetCallback(CZipActionCallback* callback, int kinds) {
    for (int kind : CZipActionCallback::allKinds) {
        if ((kinds & kind) == kind) {
            if (callback != nullptr) {
                m_callbacks[kind] = callback;
            } else {
                m_callbacks.erase(kind);
            }
        }
    }
}

CZipActionCallback* CZipArchive::GetCallback(int kind) const {
    const auto it = m_callbacks.find(kind);
    if (it == m_callbacks.end()) {
        return nullptr;
    }
    it->second->SetKind(kind);
    return it->second;
}

bool CZipArchive::Open(CZipAbstractFile& storage, int mode) {
    if (!IsClosed()) {
        return false;
    }
    if (mode != zipOpen && mode != zipOpenReadOnly && mode != zipCreate &&
        mode != zipCreateAppend) {
        return false;
    }
    m_storage = &storage;
    m_mode = mode;
    m_readOnly = mode == zipOpenReadOnly;
    try {
        if (mode == zipCreate) {
            storage.SetLength(0);
            storage.SeekToBegin();
        } else if (mode == zipCreateAppend) {
            m_bytesBeforeZip = storage.GetLength();
            storage.SeekToEnd();
        } else {
            ReadCentralDir();
        }
    } catch (...) {
        ResetState();
        throw;
    }
    return true;
}

void CZipArchive::ResetState() {
    m_compressor.End();
    m_entryState = EntryState::none;
    m_storage = nullptr;
    m_readOnly = false;
    m_headers.clear();
    m_headers.shrink_to_fit();
    m_bytesBeforeZip = 0;
    m_centralDirPosition = 0;
    m_modified = false;
    m_comment.clear();
    m_inputBuffer.clear();
    m_inputBuffer.shrink_to_fit();
}

void CZipArchive::ReadCentralDir() {
    CZipAbstractFile& storage = *m_storage;
    const uint64_t length = storage.GetLength();
    const uint64_t wanted = 2 * static_cast<uint64_t>(CZipEndRecord::searchWindow);
    const size_t tailSize = static_cast<size_t>(length < wanted ? length : wanted);
    std::vector<unsigned char> tail(tailSize);
    storage.Seek(static_cast<int64_t>(length - tailSize), CZipAbstractFile::begin);
    ReadExactly(storage, tail.data(), tailSize);

    CZipEndRecord record;
    const CZipEndRecord::Location location = record.Read(tail.data(), tailSize, length);
    m_comment = record.m_comment;
    m_bytesBeforeZip = location.bytesBeforeZip;
    m_centralDirPosition = location.centralDirPosition;

    storage.Seek(static_cast<int64_t>(m_centralDirPosition), CZipAbstractFile::begin);
    m_headers.reserve(record.m_totalEntries);
    std::vector<unsigned char> buffer(CZipFileHeader::centralFixedSize);
    for (size_t i = 0; i < record.m_totalEntries; ++i) {
        buffer.resize(CZipFileHeader::centralFixedSize);
        ReadExactly(storage, buffer.data(), CZipFileHeader::centralFixedSize);
        if (ZipBytes::Get32(buffer.data()) != CZipFileHeader::centralSignature) {
            throw CZipException(CZipException::badZipFile);
        }
        const size_t size = CZipFileHeader::CentralRecordSize(buffer.data());
        buffer.resize(size);
        ReadExactly(storage, buffer.data() + CZipFileHeader::centralFixedSize,
                    size - CZipFileHeader::centralFixedSize);
        m_headers.emplace_back();
        m_headers.back().DecodeCentral(buffer.data(), size);
    }
}

void CZipArchive::Close(bool afterException, bool /*updateTimeStamp*/) {
    if (IsClosed()) {
        return;
    }
    try {
        if (m_entryState == EntryState::compressing) {
            CloseNewFile(afterException);
        } else if (m_entryState == EntryState::extracting) {
            AbandonEntry();
        }
        const bool writes = !m_readOnly && (m_mode != zipOpen || m_modified);
        if (!afterException && writes) {
            WriteCentralDir();
        }
    } catch (...) {
        ResetState();
        throw;
    }
    ResetState();
}

void CZipArchive::WriteCentralDir() {
    CZipAbstractFile& storage = *m_storage;
    storage.SeekToEnd();
    const uint64_t start = storage.GetPosition() - m_bytesBeforeZip;
    if (start > max32) {
        throw CZipException(CZipException::tooBigSize);
    }
    std::string block;
    uint64_t size = 0;
    for (const CZipFileHeader& header : m_headers) {
        block += header.EncodeCentral();
        if (block.size() >= inputBlockSize) {
            storage.Write(block.data(), block.size());
            size += block.size();
            block.clear();
        }
    }
    storage.Write(block.data(), block.size());
    size += block.size();
    if (size > max32) {
        throw CZipException(CZipException::tooBigSize);
    }
    CZipEndRecord record;
    record.m_entriesOnDisk = record.m_totalEntries = static_cast<uint16_t>(m_headers.size());
    record.m_centralDirSize = static_cast<uint32_t>(size);
    record.m_centralDirOffset = static_cast<uint32_t>(start);
    record.m_comment = m_comment;
    const std::string end = record.Encode();
    storage.Write(end.data(), end.size());
}

bool CZipArchive::OpenNewFile(CZipFileHeader& header, int level) {
    if (IsClosed() || m_readOnly || m_entryState != EntryState::none ||
        m_headers.size() >= maxEntries) {
        return false;
    }
    if (!header.HasTime()) {
        header.SetTime(::_time64(nullptr));
    }
    const bool directory = header.IsDirectory();
    std::wstring name = header.GetFileName();
    if (directory && (name.empty() || !IsSeparator(name.back()))) {
        name += L'\\';
    }
    if (name.empty()) {
        name = L"file" + std::to_wstring(m_headers.size());
    }
    header.SetFileName(name);
    if (level < -1 || level > 9) {
        level = -1;
    }
    header.m_method = (level == 0 || directory) ? 0 : 8;
    header.m_flags = 0;
    if (header.m_method == 8) {
        switch (level) {
        case 1:
            header.m_flags = 6;
            break;
        case 2:
            header.m_flags = 4;
            break;
        case 8:
        case 9:
            header.m_flags = 2;
            break;
        default:
            break;
        }
    }
    header.m_versionNeeded = directory ? 10 : 20;
    header.m_versionMadeBy = static_cast<uint16_t>((header.m_versionMadeBy & 0xFF00) | 20);
    header.m_crc32 = 0;
    if (header.m_method != 0) {
        header.m_comprSize = 0;
    }
    header.m_encryptionMethod = CZipFileHeader::encryptionNone;
    header.m_diskStart = 0;
    header.EncodeName();
    if (header.m_centralExtra.size() > 0xFFFF || header.m_localExtra.size() > 0xFFFF ||
        header.m_commentBytes.size() > 0xFFFF) {
        throw CZipException(CZipException::tooLongData);
    }

    CZipAbstractFile& storage = *m_storage;
    if (m_mode == zipOpen && !m_modified) {
        // New entries replace the old central directory, which Close writes anew.
        storage.SetLength(m_centralDirPosition);
        m_modified = true;
    }
    storage.SeekToEnd();
    const uint64_t position = storage.GetPosition();
    if (position - m_bytesBeforeZip > max32) {
        throw CZipException(CZipException::tooBigSize);
    }
    header.m_offset = static_cast<uint32_t>(position - m_bytesBeforeZip);
    const std::string local = header.EncodeLocal();
    m_headers.push_back(header);
    try {
        storage.Write(local.data(), local.size());
        if (header.m_method == 8) {
            m_compressor.InitDeflate(level);
        }
    } catch (...) {
        RemoveLastEntry(position);
        throw;
    }
    m_localHeaderPosition = position;
    m_currentIndex = m_headers.size() - 1;
    m_crc = 0;
    m_uncomprTotal = 0;
    m_comprTotal = 0;
    m_entryState = EntryState::compressing;
    return true;
}

bool CZipArchive::WriteNewFile(const void* data, size_t size) {
    if (m_entryState != EntryState::compressing) {
        return false;
    }
    if (size == 0) {
        return true;
    }
    m_crc = UpdateCrc(m_crc, data, size);
    m_uncomprTotal += size;
    if (m_headers[m_currentIndex].m_method == 8) {
        m_comprTotal += m_compressor.Deflate(data, size, *m_storage);
    } else {
        m_storage->Write(data, size);
        m_comprTotal += size;
    }
    if (m_uncomprTotal > max32 || m_comprTotal > max32) {
        throw CZipException(CZipException::tooBigSize);
    }
    return true;
}

bool CZipArchive::CloseNewFile(bool afterException) {
    if (m_entryState != EntryState::compressing) {
        return false;
    }
    if (afterException) {
        m_compressor.End();
        m_entryState = EntryState::none;
        return true;
    }
    CZipFileHeader& header = m_headers[m_currentIndex];
    try {
        if (header.m_method == 8) {
            m_comprTotal += m_compressor.FinishDeflate(*m_storage);
        }
        m_compressor.End();
        if (m_uncomprTotal > max32 || m_comprTotal > max32) {
            throw CZipException(CZipException::tooBigSize);
        }
    } catch (...) {
        m_compressor.End();
        m_entryState = EntryState::none;
        throw;
    }
    m_entryState = EntryState::none;
    header.m_crc32 = m_crc;
    header.m_comprSize = static_cast<uint32_t>(m_comprTotal);
    header.m_uncomprSize = static_cast<uint32_t>(m_uncomprTotal);

    unsigned char sizes[12];
    ZipBytes::Put32(sizes, header.m_crc32);
    ZipBytes::Put32(sizes + 4, header.m_comprSize);
    ZipBytes::Put32(sizes + 8, header.m_uncomprSize);
    CZipAbstractFile& storage = *m_storage;
    const uint64_t end = storage.GetPosition();
    storage.Seek(static_cast<int64_t>(m_localHeaderPosition + 14), CZipAbstractFile::begin);
    storage.Write(sizes, sizeof sizes);
    storage.Seek(static_cast<int64_t>(end), CZipAbstractFile::begin);
    return true;
}

void CZipArchive::RemoveLastEntry(uint64_t localHeaderPosition) {
    m_headers.pop_back();
    m_storage->SetLength(localHeaderPosition);
}

bool CZipArchive::AddNewFile(const std::wstring& path, const std::wstring& nameInZip, int level,
                             int options, unsigned long bufferSize) {
    if (IsClosed() || m_readOnly || m_entryState != EntryState::none ||
        m_headers.size() >= maxEntries) {
        return false;
    }
    std::wstring source = path;
    while (!source.empty() && IsSeparator(source.back())) {
        source.pop_back();
    }
    if (source.empty()) {
        return false;
    }
    const DWORD attributes = ::GetFileAttributesW(source.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    struct _stat64 status {};
    int64_t modified = ::_wstat64(source.c_str(), &status) == 0 ? status.st_mtime : -1;
    if (modified == -1) {
        modified = ::_time64(nullptr);
    }

    CZipFileHeader header;
    header.SetSystemCompatibility(ZipCompatibility::zcDosFat);
    header.SetSystemAttr(attributes);
    header.SetTime(modified);
    std::wstring name = nameInZip;
    if (name.empty()) {
        const size_t slash = source.find_last_of(L"\\/:");
        name = slash == std::wstring::npos ? source : source.substr(slash + 1);
    }
    header.SetFileName(name);

    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (!OpenNewFile(header, 0)) {
            return false;
        }
        CloseNewFile();
        return true;
    }

    CZipCrtFile file;
    if (!file.OpenForRead(source)) {
        return false;
    }
    const int64_t length = file.GetLength();
    if (length < 0) {
        return false;
    }
    if (static_cast<uint64_t>(length) > max32) {
        throw CZipException(CZipException::tooBigSize, source);
    }
    if ((options & addStoreSmall) && level != 0 && length < 5) {
        level = 0;
    }
    header.m_uncomprSize = static_cast<uint32_t>(length);
    if (level == 0) {
        header.m_comprSize = static_cast<uint32_t>(length);
    }
    if (!OpenNewFile(header, level)) {
        return false;
    }
    const uint64_t localPosition = m_localHeaderPosition;
    const std::wstring storedName = m_headers.back().GetFileName();
    CZipActionCallback* callback = GetCallback(CZipActionCallback::actAdd);
    if (bufferSize == 0) {
        bufferSize = 65536;
    }
    std::vector<unsigned char> buffer(bufferSize);
    bool stopped = false;
    bool lastChunk = false;
    bool whole = true;
    try {
        if (callback != nullptr) {
            callback->Init(storedName, source);
            callback->SetTotal(static_cast<uint64_t>(length));
        }
        uint64_t total = 0;
        // Read to the end of what the file holds now: one that shrank or grew while it was
        // packed (or a network file that ended early) is not the file that was measured.
        for (;;) {
            const size_t n = file.Read(buffer.data(), buffer.size());
            if (n == 0) {
                break;
            }
            total += n;
            WriteNewFile(buffer.data(), n);
            if (callback != nullptr && !callback->RequestStep(n)) {
                stopped = true;
                lastChunk = total == static_cast<uint64_t>(length);
                break;
            }
            if (total > static_cast<uint64_t>(length)) {
                break; // growing: it will not be the file measured
            }
        }
        whole = stopped || total == static_cast<uint64_t>(length);
        if (whole && !stopped && callback != nullptr && !callback->RequestLast(0)) {
            stopped = true;
            lastChunk = true;
        }
        if (whole && (!stopped || lastChunk)) {
            CloseNewFile();
        }
    } catch (...) {
        // Leave no half-written entry behind: the directory would describe it wrongly.
        if (m_entryState == EntryState::compressing) {
            CloseNewFile(true);
        }
        if (m_headers.size() > 0 && m_localHeaderPosition == localPosition) {
            RemoveLastEntry(localPosition);
        }
        throw;
    }
    if (!whole) {
        CloseNewFile(true);
        RemoveLastEntry(localPosition);
        if (callback != nullptr) {
            callback->OnEnd();
        }
        ::SetLastError(ERROR_HANDLE_EOF);
        return false;
    }
    if (stopped) {
        if (!lastChunk) {
            CloseNewFile(true);
            RemoveLastEntry(localPosition);
        }
        if (callback != nullptr) {
            callback->OnEnd();
        }
        throw CZipException(lastChunk ? CZipException::abortedSafely : CZipException::abortedAction,
                            source);
    }
    if (callback != nullptr) {
        callback->OnEnd();
    }

    const CZipFileHeader& written = m_headers.back();
    if ((options & (addCheckEfficiency | addCheckEfficiencyInMemory)) && written.m_method == 8 &&
        written.m_comprSize >= written.m_uncomprSize) {
        // Deflate did not pay: store the file instead.
        CZipFileHeader stored = written;
        RemoveLastEntry(localPosition);
        file.Rewind();
        stored.m_comprSize = stored.m_uncomprSize;
        if (!OpenNewFile(stored, 0)) {
            return false;
        }
        uint64_t total = 0;
        try {
            for (;;) {
                const size_t n = file.Read(buffer.data(), buffer.size());
                if (n == 0) {
                    break;
                }
                total += n;
                WriteNewFile(buffer.data(), n);
            }
            if (total == stored.m_uncomprSize) {
                CloseNewFile();
            }
        } catch (...) {
            CloseNewFile(true);
            RemoveLastEntry(localPosition);
            throw;
        }
        if (total != stored.m_uncomprSize) {
            CloseNewFile(true);
            RemoveLastEntry(localPosition);
            ::SetLastError(ERROR_HANDLE_EOF);
            return false;
        }
    }
    return true;
}

ZipIndex CZipArchive::GetNumberOfFiles() const {
    ZipIndex count = 0;
    for (const CZipFileHeader& header : m_headers) {
        if (!header.IsDirectory()) {
            ++count;
        }
    }
    return count;
}

bool CZipArchive::GetFileInfo(CZipFileHeader& info, ZipIndex index) const {
    const CZipFileHeader* header = GetFileHeader(index);
    if (header == nullptr) {
        return false;
    }
    info = *header;
    return true;
}

const CZipFileHeader* CZipArchive::GetFileHeader(ZipIndex index) const {
    if (IsClosed() || index >= m_headers.size()) {
        return nullptr;
    }
    return &m_headers[index];
}

bool CZipArchive::IsCaseSensitive(int caseMode) const {
    if (caseMode == caseDefault) {
        caseMode = m_defaultCaseMode;
    }
    return caseMode == caseSensitive;
}

ZipIndex CZipArchive::FindFile(const std::wstring& name, int caseMode, bool fileNameOnly) const {
    if (IsClosed()) {
        return ZIP_FILE_INDEX_NOT_FOUND;
    }
    const bool sensitive = IsCaseSensitive(caseMode);
    for (size_t i = 0; i < m_headers.size(); ++i) {
        const std::wstring stored = m_headers[i].GetFileName(!fileNameOnly);
        // Ordinal, as the file system compares names: a collation could hold two distinct
        // names equal and hand out the wrong entry.
        const bool equal =
            sensitive ? stored == name
                      : ::CompareStringOrdinal(stored.c_str(), static_cast<int>(stored.size()),
                                               name.c_str(), static_cast<int>(name.size()),
                                               TRUE) == CSTR_EQUAL;
        if (equal) {
            return static_cast<ZipIndex>(i);
        }
    }
    return ZIP_FILE_INDEX_NOT_FOUND;
}

bool CZipArchive::OpenFileForExtract(ZipIndex index) {
    if (m_entryState != EntryState::none) {
        return false;
    }
    const CZipFileHeader& header = m_headers[index];
    CZipAbstractFile& storage = *m_storage;
    const uint64_t length = storage.GetLength();
    const uint64_t local = m_bytesBeforeZip + header.m_offset;
    if (local > length || length - local < CZipFileHeader::localFixedSize) {
        throw CZipException(CZipException::badZipFile);
    }
    unsigned char fixed[CZipFileHeader::localFixedSize];
    storage.Seek(static_cast<int64_t>(local), CZipAbstractFile::begin);
    ReadExactly(storage, fixed, sizeof fixed);
    const size_t variable = header.VerifyLocal(fixed, sizeof fixed);
    const uint64_t data = local + CZipFileHeader::localFixedSize + variable;
    if (data > length) {
        throw CZipException(CZipException::badZipFile);
    }
    if (header.IsEncrypted()) {
        throw CZipException(CZipException::badPassword);
    }
    if (header.m_method != 0 && header.m_method != 8) {
        return false;
    }
    m_dataPosition = data;
    m_comprLeft = std::min<uint64_t>(header.m_comprSize, length - data);
    m_uncomprLeft = header.m_uncomprSize;
    m_crc = 0;
    m_streamEnded = false;
    if (header.m_method == 8) {
        m_compressor.InitInflate();
        m_compressor.SetInput(nullptr, 0);
        m_inputBuffer.resize(inputBlockSize);
    }
    m_currentIndex = index;
    m_entryState = EntryState::extracting;
    return true;
}

size_t CZipArchive::ReadEntryData(unsigned char* out, size_t size) {
    if (size > m_uncomprLeft) {
        size = static_cast<size_t>(m_uncomprLeft);
    }
    if (size == 0) {
        return 0;
    }
    CZipAbstractFile& storage = *m_storage;
    size_t produced = 0;
    if (m_headers[m_currentIndex].m_method == 0) {
        const size_t wanted = static_cast<size_t>(std::min<uint64_t>(size, m_comprLeft));
        storage.Seek(static_cast<int64_t>(m_dataPosition), CZipAbstractFile::begin);
        produced = storage.Read(out, wanted);
        m_dataPosition += produced;
        m_comprLeft = produced < wanted ? 0 : m_comprLeft - produced;
    } else {
        while (produced < size && !m_streamEnded) {
            if (m_compressor.PendingInput() == 0 && m_comprLeft > 0) {
                // Inflated where the archive lies in memory, else copied in by blocks.
                uint64_t available = 0;
                const unsigned char* view = storage.View(m_dataPosition, available);
                const size_t wanted = static_cast<size_t>(
                    std::min<uint64_t>(view != nullptr ? std::min<uint64_t>(available, UINT_MAX)
                                                       : m_inputBuffer.size(),
                                       m_comprLeft));
                size_t got = wanted;
                if (view == nullptr) {
                    storage.Seek(static_cast<int64_t>(m_dataPosition), CZipAbstractFile::begin);
                    got = storage.Read(m_inputBuffer.data(), wanted);
                    view = m_inputBuffer.data();
                }
                m_dataPosition += got;
                m_comprLeft = got < wanted ? 0 : m_comprLeft - got;
                m_compressor.SetInput(view, got);
            }
            const size_t inputBefore = m_compressor.PendingInput();
            bool ended = false;
            const size_t n = m_compressor.Inflate(out + produced, size - produced, ended);
            produced += n;
            if (ended) {
                m_streamEnded = true;
            } else if (n == 0 && m_compressor.PendingInput() == inputBefore &&
                       (inputBefore != 0 || m_comprLeft == 0)) {
                break; // nothing moves any more: the data ends before the stream does
            }
        }
    }
    m_crc = UpdateCrc(m_crc, out, produced);
    m_uncomprLeft -= produced;
    return produced;
}

bool CZipArchive::FinishExtractedEntry() {
    const bool complete = m_uncomprLeft == 0;
    const uint32_t expected = m_headers[m_currentIndex].m_crc32;
    AbandonEntry();
    if (!complete) {
        return false;
    }
    if (m_crc != expected) {
        throw CZipException(CZipException::badCrc);
    }
    return true;
}

void CZipArchive::AbandonEntry() {
    m_compressor.End();
    m_entryState = EntryState::none;
}

bool CZipArchive::ExtractFile(ZipIndex index, const std::wstring& path, bool fullPath,
                              const std::wstring& newName, unsigned long bufferSize,
                              const PartFileHook& beforeRename) {
    if (IsClosed() || index >= m_headers.size()) {
        return false;
    }
    if (bufferSize == 0 && path.empty()) {
        return false;
    }
    if (m_entryState != EntryState::none) {
        return false;
    }
    const CZipFileHeader header = m_headers[index];
    const std::wstring source = newName.empty() ? header.GetFileName() : newName;
    if (!ZipPathGuard::IsSafeEntryName(source)) {
        throw CZipException(CZipException::badZipFile, source);
    }
    const std::wstring target = ZipPathGuard::TargetPath(path, source, fullPath);
    if (!ZipPathGuard::IsInside(path, target)) {
        throw CZipException(CZipException::badZipFile, source);
    }
    CZipActionCallback* callback = GetCallback(CZipActionCallback::actExtract);
    if (callback != nullptr) {
        callback->Init(header.GetFileName(), target);
    }

    if (header.IsDirectory()) {
        if (callback != nullptr) {
            callback->SetTotal(0);
        }
        CreateFolders(target);
        SetAttributes(target, header.GetSystemAttr());
        if (callback != nullptr) {
            callback->OnEnd();
        }
        return true;
    }

    // A file is written beside its target: a name that gives the folder itself would put
    // it outside.
    if (!ZipPathGuard::IsInside(path, ParentFolder(target))) {
        throw CZipException(CZipException::badZipFile, source);
    }
    if (!OpenFileForExtract(index)) {
        return false;
    }
    int stopCode = 0;
    bool result = false;
    std::wstring part;
    try {
        if (callback != nullptr) {
            callback->SetTotal(header.m_uncomprSize);
        }
        CreateFolders(ParentFolder(target));
        CZipCrtFile file;
        part = CreatePartFile(file, target);
        std::vector<unsigned char> buffer(bufferSize);
        for (;;) {
            const size_t n = ReadEntryData(buffer.data(), buffer.size());
            if (n == 0) {
                if (callback != nullptr && !callback->RequestLast(0)) {
                    stopCode = CZipException::abortedSafely;
                }
                break;
            }
            file.Write(buffer.data(), n);
            if (callback != nullptr && !callback->RequestStep(n)) {
                stopCode = (n < buffer.size() || m_uncomprLeft == 0) ? CZipException::abortedSafely
                                                                     : CZipException::abortedAction;
                break;
            }
        }
        file.Close();
        bool verified = false;
        if (stopCode == 0) {
            verified = FinishExtractedEntry();
        } else if (stopCode == CZipException::abortedSafely) {
            try {
                verified = FinishExtractedEntry();
            } catch (const CZipException&) {
                verified = false;
            }
            if (!verified) {
                stopCode = CZipException::abortedAction;
            }
        } else {
            AbandonEntry();
        }
        // Everything the file gets is set while it has its own name: whatever fails leaves
        // the target as it was, and a stop after the last step leaves a finished file.
        uint32_t attributes = header.GetSystemAttr();
        if (verified && (!beforeRename || beforeRename(part, attributes))) {
            // A stored time the runtime cannot take leaves the time of extraction.
            __utimbuf64 times{};
            times.actime = ::_time64(nullptr);
            times.modtime = header.GetTime();
            if (times.modtime != -1) {
                ::_wutime64(part.c_str(), &times);
            }
            if (SetAttributes(part, attributes)) {
                if (!::MoveFileExW(part.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
                    throw CZipException(CZipException::notRenamed, target);
                }
                part.clear();
                result = true;
            }
        }
        if (!result && stopCode == CZipException::abortedSafely) {
            stopCode = CZipException::abortedAction;
        }
    } catch (...) {
        if (m_entryState != EntryState::none) {
            AbandonEntry();
        }
        RemovePartFile(part);
        throw;
    }
    RemovePartFile(part);
    if (callback != nullptr) {
        callback->OnEnd();
    }
    if (stopCode != 0) {
        throw CZipException(stopCode, target);
    }
    return result;
}
