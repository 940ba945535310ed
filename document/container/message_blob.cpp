#include "document/container/message_blob.h"

namespace Dossiq::Documents {

bool MessageBlob::Allocate(DWORD length) {
    Release();
    // malloc(0) may give null or a block: one byte keeps "allocated" unambiguous.
    auto* block = static_cast<BYTE*>(std::malloc(length != 0 ? length : 1));
    if (block == nullptr) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    data_.reset(block);
    length_ = length;
    return true;
}

void MessageBlob::Attach(void* block, DWORD length) noexcept {
    data_.reset(static_cast<BYTE*>(block));
    length_ = block != nullptr ? length : 0;
}

void MessageBlob::Release() noexcept {
    data_.reset();
    length_ = 0;
}

} // namespace Dossiq::Documents
