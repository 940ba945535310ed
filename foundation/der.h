// The small part of DER that the product's messages need (containers, time-stamps, OCSP):
// reading definite-length elements defensively (every length checked against what encloses
// it), and where a reader is asked to, constructed elements of indefinite length as peers
// stream them; writing headers whose lengths are known in advance.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace MHFX::Der {

constexpr BYTE kBoolean = 0x01;
constexpr BYTE kInteger = 0x02;
constexpr BYTE kBitString = 0x03;
constexpr BYTE kOctetString = 0x04;
constexpr BYTE kNull = 0x05;
constexpr BYTE kOid = 0x06;
constexpr BYTE kEnumerated = 0x0A;
constexpr BYTE kGeneralizedTime = 0x18;
constexpr BYTE kSequence = 0x30;
constexpr BYTE kSet = 0x31;
constexpr BYTE kContext0 = 0xA0;          // [0] constructed
constexpr BYTE kContext0Primitive = 0x80; // [0] primitive

// [n] constructed and primitive.
constexpr BYTE Context(int n) noexcept {
    return static_cast<BYTE>(0xA0 | n);
}
constexpr BYTE ContextPrimitive(int n) noexcept {
    return static_cast<BYTE>(0x80 | n);
}

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

} // namespace MHFX::Der
