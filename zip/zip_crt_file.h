// A disk file opened through the C runtime, so that failures carry the errno the archive
// reports (CZipException with the error number and the file's name).
#pragma once

#include "foundation/handle.h"

#include <cstddef>
#include <cstdint>
#include <string>

struct CrtFileTraits {
    using Type = int;
    static Type Invalid() { return -1; }
    static void Close(Type fd);
};

class CZipCrtFile {
public:
    // For reading, binary, sharing read and write with others; false when it cannot be opened.
    bool OpenForRead(const std::wstring& path);
    // Created or truncated, write only, binary, others may read but not write, owner read and
    // write permission; CZipException(errno, path) on failure.
    void CreateForWrite(const std::wstring& path);
    // Like CreateForWrite, but only when no file of that name exists; false (errno set)
    // otherwise.
    bool CreateNew(const std::wstring& path);
    // Whatever is available up to `size`; CZipException(errno) on a read error.
    size_t Read(void* data, size_t size);
    // All of it or CZipException(errno).
    void Write(const void* data, size_t size);
    int64_t GetLength() const;
    void Rewind();
    // Closes now; CZipException(errno) when the runtime reports a failure.
    void Close();
    bool IsOpen() const { return m_fd.valid(); }

private:
    MHFX::UniqueHandle<CrtFileTraits> m_fd;
    std::wstring m_path;
};
