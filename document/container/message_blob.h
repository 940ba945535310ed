// A block of bytes with a 32-bit length and one owner: the archive on its way from the
// archive step to the message step, and the encoded message on its way to the disk.
// The block lives in the C heap so that the archive writer's buffer can be taken over
// without a copy.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <memory>

namespace Dossiq::Documents {

class MessageBlob {
public:
    MessageBlob() = default;
    MessageBlob(MessageBlob&& other) noexcept = default;
    MessageBlob& operator=(MessageBlob&& other) noexcept = default;
    MessageBlob(const MessageBlob&) = delete;
    MessageBlob& operator=(const MessageBlob&) = delete;

    // A new uninitialised block of `length` bytes in place of the old one; false (and
    // empty, last error ERROR_NOT_ENOUGH_MEMORY) when there is no memory for it.
    bool Allocate(DWORD length);
    // Takes over `block`, allocated with malloc, of `length` bytes.
    void Attach(void* block, DWORD length) noexcept;
    // Frees the block.
    void Release() noexcept;

    BYTE* Data() noexcept { return data_.get(); }
    const BYTE* Data() const noexcept { return data_.get(); }
    DWORD Length() const noexcept { return length_; }
    bool Empty() const noexcept { return !data_ || length_ == 0; }

private:
    struct Free {
        void operator()(BYTE* block) const noexcept { std::free(block); }
    };

    std::unique_ptr<BYTE, Free> data_;
    DWORD length_ = 0;
};

} // namespace Dossiq::Documents
