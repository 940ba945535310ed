#include "certificates/revocation/kept_responses.h"

#include <algorithm>
#include <cstring>

#include "foundation/der.h"

namespace MHFX::Security::Cryptography::X509 {

namespace {

constexpr BYTE kCrls = 0xA1;                // SignedData's [1] IMPLICIT RevocationInfoChoices
constexpr BYTE kOtherRevocationInfo = 0xA1; // [1] IMPLICIT OtherRevocationInfoFormat
// id-ri-ocsp-response, 1.3.6.1.5.5.7.16.2
constexpr BYTE kOidOcspResponse[] = {0x2B, 0x06, 0x01, 0x05, 0x05, 0x07, 0x10, 0x02};
// A user-defined store property (from 4096 on).
constexpr DWORD kResponsesProperty = 0x1D05;
// Each one costs a signature check; a container may carry any number.
constexpr size_t kMostResponses = 16;

// The OCSPResponse inside one kept element.
bool ResponseOf(const BYTE* data, size_t length, Der::Element& response) {
    Der::Reader outer(data, length);
    Der::Element other, type;
    if (!outer.Expect(kOtherRevocationInfo, other) || !outer.AtEnd()) {
        return false;
    }
    Der::Reader fields(other);
    if (!fields.Expect(Der::kOid, type) || type.length != sizeof kOidOcspResponse ||
        std::memcmp(type.content, kOidOcspResponse, sizeof kOidOcspResponse) != 0 ||
        !fields.Expect(Der::kSequence, response) || !fields.AtEnd()) {
        return false;
    }
    return true;
}

} // namespace

std::vector<BYTE> KeptResponseElement(const std::vector<BYTE>& response) {
    std::vector<BYTE> fields;
    Der::AppendElement(fields, Der::kOid, kOidOcspResponse, sizeof kOidOcspResponse);
    fields.insert(fields.end(), response.begin(), response.end());
    std::vector<BYTE> element;
    Der::AppendElement(element, kOtherRevocationInfo, fields);
    return element;
}

std::vector<BYTE> WithoutKeptResponses(const BYTE* fields, size_t length,
                                       std::vector<std::vector<BYTE>>& responses) {
    std::vector<BYTE> out;
    out.reserve(length);
    bool failed = false;
    Der::Reader reader(fields, length);
    Der::Element field;
    while (reader.Next(field)) {
        if (!field.Is(kCrls)) {
            out.insert(out.end(), field.begin, field.begin + field.size);
            continue;
        }
        std::vector<BYTE> crls(field.length);
        size_t used = 0;
        Der::Reader items(field);
        Der::Element item;
        while (items.Next(item)) {
            if (item.Is(kOtherRevocationInfo)) {
                Der::Element response;
                if (ResponseOf(item.begin, item.size, response)) {
                    responses.emplace_back(response.begin, response.begin + response.size);
                }
                continue; // an other form the reader does not know is left out too
            }
            std::copy(item.begin, item.begin + item.size, crls.begin() + used);
            used += item.size;
        }
        if (items.Failed()) {
            failed = true;
            break;
        }
        if (used != 0) {
            Der::AppendElement(out, kCrls, crls.data(), used);
        }
    }
    if (failed || reader.Failed()) {
        out.assign(fields, fields + length);
    }
    return out;
}

void AttachKeptResponses(HCERTSTORE store, const std::vector<std::vector<BYTE>>& responses) {
    if (!store || responses.empty()) {
        return;
    }
    // Each response as a 4-byte length and its bytes.
    std::vector<BYTE> packed;
    for (size_t i = 0; i < responses.size() && i < kMostResponses; ++i) {
        const DWORD responseLength = static_cast<DWORD>(responses[i].size());
        const BYTE* prefix = reinterpret_cast<const BYTE*>(&responseLength);
        packed.insert(packed.end(), prefix, prefix + sizeof responseLength);
        packed.insert(packed.end(), responses[i].begin(), responses[i].end());
    }
    CRYPT_DATA_BLOB blob = {static_cast<DWORD>(packed.size()), packed.data()};
    ::CertSetStoreProperty(store, kResponsesProperty, 0, &blob);
}

std::vector<std::vector<BYTE>> KeptResponses(HCERTSTORE store) {
    std::vector<std::vector<BYTE>> responses;
    DWORD size = 0;
    if (!store || !::CertGetStoreProperty(store, kResponsesProperty, nullptr, &size) || size == 0) {
        return responses;
    }
    std::vector<BYTE> packed(size);
    if (!::CertGetStoreProperty(store, kResponsesProperty, packed.data(), &size)) {
        return responses;
    }
    size_t at = 0;
    while (size - at >= sizeof(DWORD)) {
        DWORD length = 0;
        std::memcpy(&length, packed.data() + at, sizeof length);
        at += sizeof length;
        if (length > size - at) {
            break;
        }
        responses.emplace_back(packed.begin() + at, packed.begin() + at + length);
        at += length;
    }
    return responses;
}

} // namespace MHFX::Security::Cryptography::X509
