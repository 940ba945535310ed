#include "foundation/io/file_stream.h"

#include "foundation/argument_exception.h"
#include "foundation/argument_out_of_range_exception.h"
#include "foundation/io/path.h"
#include "foundation/resource_string.h"
#include "foundation/win32_exception.h"

namespace MHFX::IO {

namespace {

// The requested span must lie inside the caller's buffer.
void CheckSpan(const ByteArray& buffer, DWORD offset, DWORD count) {
    if (offset > buffer.Length) {
        throw ArgumentOutOfRangeException(LoadNeutralString(IDS_ARGUMENT_OUT_OF_RANGE), L"offset");
    }
    if (count > buffer.Length - offset || (buffer.Data == nullptr && count != 0)) {
        throw ArgumentOutOfRangeException(LoadNeutralString(IDS_ARGUMENT_OUT_OF_RANGE), L"count");
    }
}

} // namespace

FileStream::FileStream(const std::wstring& path)
    : FileStream(path, FileMode::Open, GENERIC_READ, FILE_SHARE_READ) {}

FileStream::FileStream(const std::wstring& path, FileMode mode, DWORD access, DWORD share) {
    if (Path::TrimWhiteSpace(path).empty()) {
        throw ArgumentException(std::wstring(), L"path");
    }
    const DWORD disposition = mode == FileMode::Append ? OPEN_ALWAYS : static_cast<DWORD>(mode);
    const HANDLE file = ::CreateFileW(path.c_str(), access, share, nullptr, disposition,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw Win32Exception();
    }
    Attach(file);
    if (mode == FileMode::Append) {
        Seek(0, SeekOrigin::End);
    }
}

std::int64_t FileStream::Length() const {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(GetHandle(), &size)) {
        return 0;
    }
    return size.QuadPart;
}

void FileStream::SetLength(std::int64_t length) {
    Seek(length, SeekOrigin::Begin);
    ThrowLastErrorIf(!::SetEndOfFile(GetHandle()));
}

std::int64_t FileStream::Position() const {
    LARGE_INTEGER distance{};
    LARGE_INTEGER position;
    ThrowLastErrorIf(!::SetFilePointerEx(GetHandle(), distance, &position, FILE_CURRENT));
    return position.QuadPart;
}

DWORD FileStream::Read(const ByteArray& buffer, DWORD offset, DWORD count) {
    CheckSpan(buffer, offset, count);
    DWORD read = 0;
    ThrowLastErrorIf(!::ReadFile(GetHandle(), buffer.Data + offset, count, &read, nullptr));
    return read;
}

DWORD FileStream::Write(const ByteArray& buffer, DWORD offset, DWORD count) {
    CheckSpan(buffer, offset, count);
    DWORD written = 0;
    ThrowLastErrorIf(!::WriteFile(GetHandle(), buffer.Data + offset, count, &written, nullptr));
    return written;
}

bool FileStream::Seek(std::int64_t offset, SeekOrigin origin) {
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    ThrowLastErrorIf(
        !::SetFilePointerEx(GetHandle(), distance, nullptr, static_cast<DWORD>(origin)));
    return true;
}

void FileStream::Close() {
    HandleHolder::Close();
}

} // namespace MHFX::IO
