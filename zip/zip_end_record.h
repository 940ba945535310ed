// The end of central directory record, and the rules by which a reader finds it and the
// central directory from the tail of a stream. Pure byte-level code.
#pragma once

#include <cstdint>
#include <string>

class CZipEndRecord {
public:
    static constexpr uint32_t signature = 0x06054B50;
    static constexpr uint32_t zip64LocatorSignature = 0x07064B50;
    static constexpr size_t fixedSize = 22;
    // The record and the longest comment: the window searched from the end of the stream.
    static constexpr size_t searchWindow = fixedSize + 0xFFFF;

    uint16_t m_thisDisk = 0;
    uint16_t m_centralDirDisk = 0;
    uint16_t m_entriesOnDisk = 0;
    uint16_t m_totalEntries = 0;
    uint32_t m_centralDirSize = 0;
    uint32_t m_centralDirOffset = 0;
    std::string m_comment;

    std::string Encode() const;

    // Where the archive lies in a stream, as read from its end record.
    struct Location {
        uint64_t endRecordPosition = 0;
        uint64_t bytesBeforeZip = 0; // data in front of the archive (a self-extractor stub)
        uint64_t centralDirPosition = 0;
    };

    // Reads the end record from the last `tailSize` bytes of a stream of `streamLength`
    // bytes (the tail should cover at least the last searchWindow * 2 bytes, or the whole
    // stream) and checks it. Raises CZipException 118 when there is no end record, 119 for
    // a Zip64 archive and 101 for inconsistent values.
    Location Read(const unsigned char* tail, size_t tailSize, uint64_t streamLength);

    // Index in `data` of the last occurrence of the signature starting at or after `from`,
    // or npos.
    static size_t FindLast(const unsigned char* data, size_t size, uint32_t signature,
                           size_t from = 0);
    static constexpr size_t npos = static_cast<size_t>(-1);
};
