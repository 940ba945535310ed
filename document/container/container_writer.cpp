#include "document/container/container_writer.h"

#include "foundation/io/file_stream.h"
#include "foundation/io/path.h"
#include "foundation/win32_exception.h"

namespace Dossiq::Documents {

namespace {

constexpr DWORD kWriteSlice = 16 * 1024 * 1024;

// Removes the temporary file unless it has become the container.
class TemporaryFile {
public:
    explicit TemporaryFile(std::wstring path) : path_(std::move(path)) {}
    ~TemporaryFile() {
        if (!path_.empty()) {
            const DWORD lastError = ::GetLastError();
            ::DeleteFileW(path_.c_str());
            ::SetLastError(lastError);
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::wstring& Path() const { return path_; }
    void Keep() { path_.clear(); }

private:
    std::wstring path_;
};

bool WriteAll(HANDLE file, const BYTE* data, size_t length) {
    size_t done = 0;
    while (done < length) {
        const DWORD count =
            length - done < kWriteSlice ? static_cast<DWORD>(length - done) : kWriteSlice;
        DWORD written = 0;
        if (!::WriteFile(file, data + done, count, &written, nullptr)) {
            return false;
        }
        if (written == 0) {
            ::SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        done += written;
    }
    return true;
}

using Pieces = std::vector<SignedDataEncoder::Piece>;

bool WritePieces(const Pieces& pieces, const std::wstring& outputPath) {
    // The message goes to a new file beside the target first, so that a failure never
    // leaves a destroyed container behind.
    const std::wstring target = MHFX::IO::Path::GetFullPath(outputPath);
    const std::wstring folder = MHFX::IO::Path::GetDirectoryName(target);
    wchar_t temporaryName[MAX_PATH] = {};
    MHFX::ThrowLastErrorIf(::GetTempFileNameW(folder.empty() ? target.c_str() : folder.c_str(),
                                              L"dsq", 0, temporaryName) == 0);
    TemporaryFile temporary(temporaryName);
    {
        MHFX::IO::FileStream stream(temporary.Path(), MHFX::IO::FileMode::Create,
                                    GENERIC_READ | GENERIC_WRITE, 0);
        for (const SignedDataEncoder::Piece& piece : pieces) {
            if (!WriteAll(stream.GetHandle(), piece.data, piece.length)) {
                return false;
            }
        }
        if (!::FlushFileBuffers(stream.GetHandle())) {
            return false;
        }
    }
    if (!::MoveFileExW(temporary.Path().c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return false;
    }
    temporary.Keep();
    return true;
}

} // namespace

bool WriteContainer(const MessageBlob& message, const std::wstring& outputPath) {
    if (message.Empty()) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return WritePieces({{message.Data(), message.Length()}}, outputPath);
}

bool WriteSignedData(const Pieces& signedData, const std::wstring& outputPath) {
    size_t length = 0;
    for (const SignedDataEncoder::Piece& piece : signedData) {
        length += piece.length;
    }
    if (length == 0) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const std::vector<BYTE> header = SignedDataEncoder::ContentInfoHeader(length);
    Pieces pieces = {{header.data(), header.size()}};
    pieces.insert(pieces.end(), signedData.begin(), signedData.end());
    return WritePieces(pieces, outputPath);
}

} // namespace Dossiq::Documents
