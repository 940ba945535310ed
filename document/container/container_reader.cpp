#include "document/container/container_reader.h"

#include "foundation/win32_exception.h"

namespace Dossiq::Documents {

namespace {

// In pieces: some redirectors refuse one read of many megabytes.
constexpr DWORD kPiece = 4 << 20;
constexpr DWORD kReadAheadFrom = 2 * kPiece;

} // namespace

ContainerReader::~ContainerReader() {
    if (thread_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        thread_.join();
    }
}

bool ContainerReader::Start(const std::wstring& path, ContentSection& into) {
    input_ = std::make_unique<MHFX::IO::FileStream>(path);
    const std::int64_t size = input_->Length();
    // Lengths are 32-bit throughout the message layer.
    if (size <= 0 || size > static_cast<std::int64_t>(MAXDWORD)) {
        return false;
    }
    length_ = static_cast<DWORD>(size);
    into.Create(length_);
    into.SetLength(length_);
    data_ = into.Data();
    // A thread costs more than a small file takes to read.
    if (length_ <= kReadAheadFrom) {
        Run();
    } else {
        thread_ = std::thread(&ContainerReader::Run, this);
    }
    return true;
}

void ContainerReader::WaitFor(DWORD length) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return arrived_ >= length || failure_ != ERROR_SUCCESS; });
    if (arrived_ < length) {
        throw MHFX::Win32Exception(failure_);
    }
}

void ContainerReader::Finish() {
    WaitFor(length_);
    if (input_->Length() != static_cast<std::int64_t>(length_)) {
        throw MHFX::Win32Exception(ERROR_HANDLE_EOF);
    }
}

void ContainerReader::Run() noexcept {
    DWORD done = 0;
    DWORD failure = ERROR_SUCCESS;
    while (done < length_ && failure == ERROR_SUCCESS) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) {
                return;
            }
        }
        DWORD read = 0;
        const DWORD wanted = length_ - done < kPiece ? length_ - done : kPiece;
        if (!::ReadFile(input_->GetHandle(), data_ + done, wanted, &read, nullptr)) {
            failure = ::GetLastError() != ERROR_SUCCESS ? ::GetLastError() : ERROR_READ_FAULT;
        } else if (read == 0) {
            failure = ERROR_HANDLE_EOF;
        }
        done += read;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            arrived_ = done;
            failure_ = failure;
        }
        changed_.notify_all();
    }
}

} // namespace Dossiq::Documents
