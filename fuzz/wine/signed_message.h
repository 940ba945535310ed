// The signed-message path of document opening, which needs the platform's decoder and so
// runs only in the Windows build: a container file is opened as the manager opens it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace DossiqFuzz {

// Opens `size` bytes written to `path` as a document; aborts when the outcome breaks an
// invariant. Returns 0 for a failed opening, 1 for content with a bad signature and 2 for
// a valid one.
int SignedMessage(const std::wstring& path, const uint8_t* data, size_t size);

// Applies a few random mutations (bit and byte changes, DER length edits, chunk copies,
// cuts and splices with `other`) to `input`.
void Mutate(std::string& input, const std::string& other, uint64_t& state);

} // namespace DossiqFuzz
