#include "foundation/der.h"

#include <cstdio>
#include <cstring>

namespace MHFX::Der {

bool Element::IsOid(const std::vector<BYTE>& oid) const noexcept {
    return tag == kOid && length == oid.size() && std::memcmp(content, oid.data(), length) == 0;
}

std::string OidText(const BYTE* content, size_t length) {
    std::string text;
    unsigned long long value = 0;
    for (size_t i = 0; i < length; ++i) {
        if (value > (~0ull >> 7)) {
            return {};
        }
        value = (value << 7) | (content[i] & 0x7F);
        if (content[i] & 0x80) {
            continue;
        }
        char arc[48];
        if (text.empty()) {
            const unsigned long long first = value < 80 ? value / 40 : 2;
            std::snprintf(arc, sizeof arc, "%llu.%llu", first, value - first * 40);
        } else {
            std::snprintf(arc, sizeof arc, ".%llu", value);
        }
        text.append(arc);
        value = 0;
    }
    return length != 0 && (content[length - 1] & 0x80) == 0 ? text : std::string();
}

namespace {

// Deeper nesting than any message here has is refused rather than followed.
constexpr int kMostDepth = 32;

// The end-of-contents octets that close the indefinite-length content starting at `p`.
const BYTE* EndOfContents(const BYTE* p, const BYTE* end, int depth) noexcept {
    if (depth > kMostDepth) {
        return nullptr;
    }
    while (end - p >= 2) {
        if (p[0] == 0 && p[1] == 0) {
            return p;
        }
        const BYTE tag = p[0];
        size_t length = p[1];
        const BYTE* content = p + 2;
        if ((tag & 0x1F) == 0x1F) {
            return nullptr;
        }
        if (length == 0x80) {
            const BYTE* eoc = (tag & 0x20) ? EndOfContents(content, end, depth + 1) : nullptr;
            if (eoc == nullptr) {
                return nullptr;
            }
            p = eoc + 2;
            continue;
        }
        if (length & 0x80) {
            const size_t count = length & 0x7F;
            if (count > 4 || static_cast<size_t>(end - content) < count) {
                return nullptr;
            }
            length = 0;
            for (size_t i = 0; i < count; ++i) {
                length = (length << 8) | content[i];
            }
            content += count;
        }
        if (length > static_cast<size_t>(end - content)) {
            return nullptr;
        }
        p = content + length;
    }
    return nullptr;
}

} // namespace

bool Reader::Next(Element& element) noexcept {
    if (failed_ || next_ == end_) {
        return false;
    }
    const BYTE* p = next_;
    size_t left = static_cast<size_t>(end_ - p);
    if (left < 2) {
        failed_ = true;
        return false;
    }
    const BYTE tag = p[0];
    // High tag numbers (low five bits all set) never occur in these messages.
    if ((tag & 0x1F) == 0x1F) {
        failed_ = true;
        return false;
    }
    size_t length = p[1];
    size_t header = 2;
    if (length & 0x80) {
        const size_t count = length & 0x7F;
        if (count == 0 && indefinite_ && (tag & 0x20)) {
            const BYTE* eoc = EndOfContents(p + 2, end_, 0);
            if (eoc == nullptr) {
                failed_ = true;
                return false;
            }
            element.tag = tag;
            element.begin = p;
            element.content = p + 2;
            element.length = static_cast<size_t>(eoc - (p + 2));
            element.size = element.length + 4;
            next_ = eoc + 2;
            return true;
        }
        // 0x80 is the indefinite form; more than four length bytes cannot be a 32-bit size.
        if (count == 0 || count > 4 || left < 2 + count) {
            failed_ = true;
            return false;
        }
        length = 0;
        for (size_t i = 0; i < count; ++i) {
            length = (length << 8) | p[2 + i];
        }
        header += count;
    }
    if (length > left - header) {
        failed_ = true;
        return false;
    }
    element.tag = tag;
    element.begin = p;
    element.size = header + length;
    element.content = p + header;
    element.length = length;
    next_ = p + header + length;
    return true;
}

bool Reader::Expect(BYTE tag, Element& element) noexcept {
    if (!Next(element)) {
        failed_ = true;
        return false;
    }
    if (element.tag != tag) {
        failed_ = true;
        return false;
    }
    return true;
}

size_t HeaderLength(size_t length) noexcept {
    if (length <= 0x7F) {
        return 2;
    }
    size_t bytes = 0;
    for (size_t rest = length; rest != 0; rest >>= 8) {
        ++bytes;
    }
    return 2 + bytes;
}

void AppendHeader(std::vector<BYTE>& out, BYTE tag, size_t length) {
    out.push_back(tag);
    if (length <= 0x7F) {
        out.push_back(static_cast<BYTE>(length));
        return;
    }
    BYTE bytes[sizeof(size_t)];
    size_t count = 0;
    for (size_t rest = length; rest != 0; rest >>= 8) {
        bytes[count++] = static_cast<BYTE>(rest & 0xFF);
    }
    out.push_back(static_cast<BYTE>(0x80 | count));
    while (count > 0) {
        out.push_back(bytes[--count]);
    }
}

void AppendElement(std::vector<BYTE>& out, BYTE tag, const void* content, size_t length) {
    AppendHeader(out, tag, length);
    const auto* bytes = static_cast<const BYTE*>(content);
    out.insert(out.end(), bytes, bytes + length);
}

void AppendElement(std::vector<BYTE>& out, BYTE tag, const std::vector<BYTE>& content) {
    AppendElement(out, tag, content.data(), content.size());
}

} // namespace MHFX::Der
