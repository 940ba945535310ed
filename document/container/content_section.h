// A page-file-backed memory section mapped read-write: where an opened document keeps its
// decoded content, so that the content never lives in the heap.
#pragma once

#include <windows.h>

#include "foundation/handle.h"

namespace Dossiq::Documents {

class ContentSection {
public:
    ContentSection() = default;
    ContentSection(ContentSection&&) noexcept = default;
    ContentSection& operator=(ContentSection&&) noexcept = default;

    // A new section of `capacity` bytes in place of the old one. Throws Win32Exception when
    // it cannot be made (a capacity of 0 included).
    void Create(DWORD capacity);
    void Reset() noexcept;

    BYTE* Data() const noexcept {
        return static_cast<BYTE*>(const_cast<void*>(view_.get())) + offset_;
    }
    DWORD Capacity() const noexcept { return capacity_; }
    // The section from its start and its first capacity, whatever Narrow kept as the content.
    const BYTE* Whole() const noexcept { return static_cast<const BYTE*>(view_.get()); }
    DWORD WholeCapacity() const noexcept { return offset_ + capacity_; }
    // Keeps only the `length` bytes at `offset` of the capacity as the content, so that content
    // decoded or decrypted in place is used without another copy.
    void Narrow(DWORD offset, DWORD length) noexcept;
    // How much of the section holds content; at most the capacity.
    DWORD Length() const noexcept { return length_; }
    void SetLength(DWORD length) noexcept { length_ = length <= capacity_ ? length : capacity_; }
    bool Valid() const noexcept { return view_.valid(); }

private:
    MHFX::FileMappingHandle mapping_;
    MHFX::MappedView view_;
    DWORD offset_ = 0;
    DWORD capacity_ = 0;
    DWORD length_ = 0;
};

} // namespace Dossiq::Documents
