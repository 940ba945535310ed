// The byte stream an archive reads and writes through.
#pragma once

#include <cstddef>
#include <cstdint>

class CZipAbstractFile {
public:
    enum SeekOrigin { begin = 0, current = 1, end = 2 };

    virtual ~CZipAbstractFile() = default;

    // Copies up to `size` bytes at the position and returns how many were copied.
    virtual size_t Read(void* data, size_t size) = 0;
    virtual void Write(const void* data, size_t size) = 0;
    // Returns the new position.
    virtual uint64_t Seek(int64_t offset, SeekOrigin origin) = 0;
    virtual uint64_t GetPosition() const = 0;
    virtual uint64_t GetLength() const = 0;
    virtual void SetLength(uint64_t length) = 0;
    virtual bool IsClosed() const = 0;
    // Room for `size` bytes at the position that a producer fills in place and then hands
    // over with Advance, sparing a copy; null where the stream has none (use Write then).
    virtual unsigned char* Reserve(size_t /*size*/) { return nullptr; }
    virtual void Advance(size_t /*size*/) {}
    // The bytes from `position` to the end where the stream holds them in memory, valid
    // until it is next written; null where it does not.
    virtual const unsigned char* View(uint64_t /*position*/, uint64_t& available) const {
        available = 0;
        return nullptr;
    }

    uint64_t SeekToBegin() { return Seek(0, begin); }
    uint64_t SeekToEnd() { return Seek(0, end); }
};
