#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/io/byte_array.h"

namespace MHFX::IO {

enum class SeekOrigin : DWORD { Begin = FILE_BEGIN, Current = FILE_CURRENT, End = FILE_END };

class Stream {
public:
    virtual ~Stream() = default;

    virtual std::int64_t Length() const = 0;
    virtual void SetLength(std::int64_t length) = 0;
    virtual std::int64_t Position() const = 0;
    // Both return the byte count the medium reports.
    virtual DWORD Read(const ByteArray& buffer, DWORD offset, DWORD count) = 0;
    virtual DWORD Write(const ByteArray& buffer, DWORD offset, DWORD count) = 0;
    virtual bool Seek(std::int64_t offset, SeekOrigin origin) = 0;
    virtual void Close() = 0;

protected:
    Stream() = default;
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
};

} // namespace MHFX::IO
