#include "document/container/content_section.h"

#include "foundation/win32_exception.h"

namespace Dossiq::Documents {

void ContentSection::Create(DWORD capacity) {
    Reset();
    if (capacity == 0) {
        // A section cannot be empty; the platform would say the same.
        throw MHFX::Win32Exception(ERROR_INVALID_PARAMETER);
    }
    MHFX::FileMappingHandle mapping(
        ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, capacity, nullptr));
    MHFX::ThrowLastErrorIf(!mapping);
    MHFX::MappedView view(::MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, capacity));
    MHFX::ThrowLastErrorIf(!view);
    mapping_ = std::move(mapping);
    view_ = std::move(view);
    offset_ = 0;
    capacity_ = capacity;
    length_ = 0;
}

void ContentSection::Narrow(DWORD offset, DWORD length) noexcept {
    offset = offset <= capacity_ ? offset : capacity_;
    offset_ += offset;
    capacity_ -= offset;
    SetLength(length);
}

void ContentSection::Reset() noexcept {
    view_.reset();
    mapping_.reset();
    offset_ = capacity_ = length_ = 0;
}

} // namespace Dossiq::Documents
