#include "document/container/der.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace Dossiq::Documents {

namespace Der {

const std::vector<BYTE> kOidData = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x01};
const std::vector<BYTE> kOidSignedData = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
const std::vector<BYTE> kOidEnvelopedData = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x03};
const std::vector<BYTE> kOidRsaEncryption = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x01};
const std::vector<BYTE> kOidDesEde3Cbc = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x03, 0x07};

std::vector<BYTE> OidContent(const std::string& dotted) {
    std::vector<unsigned long long> arcs;
    const char* at = dotted.c_str();
    while (*at != '\0') {
        char* end = nullptr;
        arcs.push_back(std::strtoull(at, &end, 10));
        if (end == at || (*end != '.' && *end != '\0')) {
            return {};
        }
        at = *end == '.' ? end + 1 : end;
    }
    if (arcs.size() < 2 || arcs[0] > 2 || (arcs[0] < 2 && arcs[1] > 39)) {
        return {};
    }
    arcs[1] += arcs[0] * 40;
    std::vector<BYTE> out;
    for (size_t i = 1; i < arcs.size(); ++i) {
        BYTE bytes[10];
        int count = 0;
        unsigned long long arc = arcs[i];
        do {
            bytes[count++] = static_cast<BYTE>(arc & 0x7F);
            arc >>= 7;
        } while (arc != 0);
        while (count > 1) {
            out.push_back(static_cast<BYTE>(bytes[--count] | 0x80));
        }
        out.push_back(bytes[0]);
    }
    return out;
}

void AppendSortedSet(std::vector<BYTE>& out, BYTE tag, std::vector<std::vector<BYTE>> elements) {
    // X.690 11.6: the shorter encoding counts as padded with zero octets, which is how
    // lexicographical comparison orders a prefix.
    const auto order = [](const std::vector<BYTE>& a, const std::vector<BYTE>& b) {
        const size_t common = std::min(a.size(), b.size());
        const int sign = common == 0 ? 0 : std::memcmp(a.data(), b.data(), common);
        return sign != 0 ? sign < 0 : a.size() < b.size();
    };
    std::sort(elements.begin(), elements.end(), order);
    const auto same = [&](const std::vector<BYTE>& a, const std::vector<BYTE>& b) {
        return !order(a, b) && !order(b, a);
    };
    elements.erase(std::unique(elements.begin(), elements.end(), same), elements.end());
    size_t length = 0;
    for (const std::vector<BYTE>& element : elements) {
        length += element.size();
    }
    AppendHeader(out, tag, length);
    for (const std::vector<BYTE>& element : elements) {
        out.insert(out.end(), element.begin(), element.end());
    }
}

} // namespace Der

} // namespace Dossiq::Documents
