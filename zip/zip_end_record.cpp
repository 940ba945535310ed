#include "zip/zip_end_record.h"

#include "zip/zip_bytes.h"
#include "zip/zip_exception.h"

using namespace ZipBytes;

std::string CZipEndRecord::Encode() const {
    if (m_comment.size() > 0xFFFF) {
        throw CZipException(CZipException::tooLongData);
    }
    std::string out;
    out.reserve(fixedSize + m_comment.size());
    Append32(out, signature);
    Append16(out, m_thisDisk);
    Append16(out, m_centralDirDisk);
    Append16(out, m_entriesOnDisk);
    Append16(out, m_totalEntries);
    Append32(out, m_centralDirSize);
    Append32(out, m_centralDirOffset);
    Append16(out, static_cast<uint16_t>(m_comment.size()));
    out += m_comment;
    return out;
}

size_t CZipEndRecord::FindLast(const unsigned char* data, size_t size, uint32_t sig, size_t from) {
    if (size < 4 || from > size - 4) {
        return npos;
    }
    const unsigned char b0 = static_cast<unsigned char>(sig);
    for (size_t i = size - 4 + 1; i-- > from;) {
        if (data[i] == b0 && Get32(data + i) == sig) {
            return i;
        }
    }
    return npos;
}

CZipEndRecord::Location CZipEndRecord::Read(const unsigned char* tail, size_t tailSize,
                                            uint64_t streamLength) {
    if (tailSize > streamLength) {
        tailSize = static_cast<size_t>(streamLength);
    }
    const uint64_t tailStart = streamLength - tailSize;
    const size_t window = tailSize < searchWindow ? tailSize : searchWindow;
    const size_t found = FindLast(tail, tailSize, signature, tailSize - window);
    if (found == npos) {
        throw CZipException(CZipException::cdirNotFound);
    }
    if (tailSize - found < fixedSize) {
        throw CZipException(CZipException::badZipFile);
    }
    const unsigned char* p = tail + found;
    m_thisDisk = Get16(p + 4);
    m_centralDirDisk = Get16(p + 6);
    m_entriesOnDisk = Get16(p + 8);
    m_totalEntries = Get16(p + 10);
    m_centralDirSize = Get32(p + 12);
    m_centralDirOffset = Get32(p + 16);
    const size_t commentLength = Get16(p + 20);
    if (tailSize - found - fixedSize < commentLength) {
        throw CZipException(CZipException::badZipFile);
    }
    m_comment.assign(reinterpret_cast<const char*>(p) + fixedSize, commentLength);

    if (m_thisDisk == 0xFFFF || m_centralDirDisk == 0xFFFF || m_entriesOnDisk == 0xFFFF ||
        m_totalEntries == 0xFFFF || m_centralDirSize == 0xFFFFFFFF ||
        m_centralDirOffset == 0xFFFFFFFF) {
        // The locator normally sits right before the end record; look back as far as the
        // end record itself may be searched.
        const size_t from = found > searchWindow ? found - searchWindow : 0;
        if (found >= 4 && FindLast(tail, found, zip64LocatorSignature, from) != npos) {
            throw CZipException(CZipException::noZip64);
        }
    }

    Location location;
    location.endRecordPosition = tailStart + found;
    // Only single-volume archives can be read from one stream.
    if (m_thisDisk != 0 || m_centralDirDisk != 0) {
        throw CZipException(CZipException::badZipFile);
    }
    const uint64_t centralDirEnd = static_cast<uint64_t>(m_centralDirOffset) + m_centralDirSize;
    if (location.endRecordPosition < centralDirEnd) {
        throw CZipException(CZipException::badZipFile);
    }
    location.bytesBeforeZip = location.endRecordPosition - centralDirEnd;
    if ((m_centralDirSize == 0) != (m_totalEntries == 0)) {
        throw CZipException(CZipException::badZipFile);
    }
    location.centralDirPosition = location.bytesBeforeZip + m_centralDirOffset;
    return location;
}
