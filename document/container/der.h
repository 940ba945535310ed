<<<<<<< HEAD
// The object identifiers of the enveloped container, beside the generic DER reader and
// writer (foundation/der.h), which stay reachable here under their old names.
=======
// The small part of DER that the enveloped container needs: reading definite-length
// elements defensively (every length checked against what encloses it), and where a reader
// is asked to, constructed elements of indefinite length as peers stream them; writing
// headers whose lengths are known in advance.
>>>>>>> i38
#pragma once

#include <windows.h>

<<<<<<< HEAD
=======
#include <cstddef>
#include <string>
>>>>>>> i38
#include <vector>

#include "foundation/der.h"

namespace Dossiq::Documents {

namespace Der {

using namespace MHFX::Der;

// Encoded object identifiers (content bytes only).
extern const std::vector<BYTE> kOidData;
extern const std::vector<BYTE> kOidSignedData;
extern const std::vector<BYTE> kOidEnvelopedData;
extern const std::vector<BYTE> kOidRsaEncryption;
extern const std::vector<BYTE> kOidDesEde3Cbc;

<<<<<<< HEAD
=======
struct Element {
    BYTE tag = 0;
    const BYTE* begin = nullptr; // the whole element, header included
    size_t size = 0;
    const BYTE* content = nullptr;
    size_t length = 0;

    bool Is(BYTE expectedTag) const noexcept { return tag == expectedTag; }
    bool IsOid(const std::vector<BYTE>& oid) const noexcept;
};

// An OBJECT IDENTIFIER's content in dotted form ("1.2.840.113549.1.1.7"); empty when the
// content is no valid identifier.
std::string OidText(const BYTE* content, size_t length);

// Walks the elements of one level. Single-byte tags and definite lengths only: anything
// else, or a length beyond the enclosing value, is an error. A reader made with
// `indefinite` also takes constructed elements of indefinite length (BER, as streaming
// writers put them): their content ends before the end-of-contents octets, which `size`
// includes.
class Reader {
public:
    Reader(const BYTE* data, size_t length, bool indefinite = false) noexcept
        : next_(data), end_(data + length), indefinite_(indefinite) {}
    explicit Reader(const Element& parent, bool indefinite = false) noexcept
        : next_(parent.content), end_(parent.content + parent.length), indefinite_(indefinite) {}

    // The next element; false at the end or on malformed input (see Failed()).
    bool Next(Element& element) noexcept;
    // Next() that must find an element with `tag`.
    bool Expect(BYTE tag, Element& element) noexcept;
    bool AtEnd() const noexcept { return next_ == end_; }
    bool Failed() const noexcept { return failed_; }

private:
    const BYTE* next_;
    const BYTE* end_;
    bool indefinite_;
    bool failed_ = false;
};

// Length of a header (tag and length bytes) for content of `length` bytes.
size_t HeaderLength(size_t length) noexcept;
// Appends tag and length.
void AppendHeader(std::vector<BYTE>& out, BYTE tag, size_t length);
// Appends a whole element.
void AppendElement(std::vector<BYTE>& out, BYTE tag, const void* content, size_t length);
void AppendElement(std::vector<BYTE>& out, BYTE tag, const std::vector<BYTE>& content);

>>>>>>> i38
} // namespace Der

} // namespace Dossiq::Documents
