#pragma once

#include <windows.h>

#include <string>

#include "foundation/io/stream.h"
#include "foundation/threading/handle_holder.h"

namespace MHFX::IO {

enum class FileMode : DWORD {
    CreateNew = CREATE_NEW,
    Create = CREATE_ALWAYS,
    Open = OPEN_EXISTING,
    OpenOrCreate = OPEN_ALWAYS,
    Truncate = TRUNCATE_EXISTING,
    Append = 6, // opened as OpenOrCreate, then positioned at the end
};

// The file handle is held by the HandleHolder base; GetHandle() lends it to callers that
// map the file.
class FileStream : public HandleHolder, public Stream {
public:
    // An existing file for reading, shared for reading.
    explicit FileStream(const std::wstring& path);
    // `access` and `share` are the Win32 masks, passed as they are.
    FileStream(const std::wstring& path, FileMode mode, DWORD access, DWORD share);
    ~FileStream() override = default;

    DWORD Read(const ByteArray& buffer) { return Read(buffer, 0, buffer.Length); }
    DWORD Write(const ByteArray& buffer) { return Write(buffer, 0, buffer.Length); }

    std::int64_t Length() const override;
    void SetLength(std::int64_t length) override;
    std::int64_t Position() const override;
    DWORD Read(const ByteArray& buffer, DWORD offset, DWORD count) override;
    DWORD Write(const ByteArray& buffer, DWORD offset, DWORD count) override;
    bool Seek(std::int64_t offset, SeekOrigin origin) override;
    // Unlike the destructor, reports a failing close.
    void Close() override;
};

} // namespace MHFX::IO
