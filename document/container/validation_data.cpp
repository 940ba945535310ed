#include "document/container/validation_data.h"

#include <algorithm>

#include "certificates/revocation/kept_responses.h"
#include "document/container/der.h"

namespace Dossiq::Documents {

namespace {

using MHFX::Security::Cryptography::X509::KeptResponseElement;

constexpr BYTE kCertificates = 0xA0; // [0] IMPLICIT SET OF
constexpr BYTE kCrls = 0xA1;         // [1] IMPLICIT SET OF

// The elements of a field, each whole.
using Elements = std::vector<std::vector<BYTE>>;

bool Split(const Der::Element& field, Elements& out) {
    Der::Reader reader(field);
    Der::Element element;
    while (reader.Next(element)) {
        out.emplace_back(element.begin, element.begin + element.size);
    }
    return !reader.Failed();
}

void Merge(Elements& held, const Elements& added) {
    for (const std::vector<BYTE>& item : added) {
        if (std::find(held.begin(), held.end(), item) == held.end()) {
            held.push_back(item);
        }
    }
}

void AppendField(std::vector<BYTE>& out, BYTE tag, const Elements& elements) {
    if (elements.empty()) {
        return;
    }
    size_t length = 0;
    for (const std::vector<BYTE>& element : elements) {
        length += element.size();
    }
    Der::AppendHeader(out, tag, length);
    for (const std::vector<BYTE>& element : elements) {
        out.insert(out.end(), element.begin(), element.end());
    }
}

} // namespace

std::vector<BYTE> WithValidationData(const BYTE* signedData, size_t length,
                                     const ValidationData& data) {
    Der::Reader outer(signedData, length);
    Der::Element sequence;
    if (!outer.Expect(Der::kSequence, sequence) || !outer.AtEnd()) {
        return {};
    }
    // version, digestAlgorithms and encapContentInfo stay as they are; the two optional
    // fields come before signerInfos, the last field.
    std::vector<BYTE> fields;
    Elements certificates;
    Elements crls;
    Der::Reader reader(sequence);
    Der::Element field;
    int position = 0;
    bool signers = false;
    while (reader.Next(field)) {
        if (signers) {
            return {};
        }
        if (position < 3) {
            fields.insert(fields.end(), field.begin, field.begin + field.size);
        } else if (field.Is(kCertificates)) {
            if (!Split(field, certificates)) {
                return {};
            }
        } else if (field.Is(kCrls)) {
            if (!Split(field, crls)) {
                return {};
            }
        } else if (field.Is(Der::kSet)) {
            Merge(certificates, data.certificates);
            Merge(crls, data.crls);
            for (const std::vector<BYTE>& response : data.ocspResponses) {
                Merge(crls, {KeptResponseElement(response)});
            }
            AppendField(fields, kCertificates, certificates);
            AppendField(fields, kCrls, crls);
            fields.insert(fields.end(), field.begin, field.begin + field.size);
            signers = true;
        } else {
            return {};
        }
        ++position;
    }
    if (reader.Failed() || !signers) {
        return {};
    }
    std::vector<BYTE> out;
    out.reserve(Der::HeaderLength(fields.size()) + fields.size());
    Der::AppendElement(out, Der::kSequence, fields);
    return out;
}

} // namespace Dossiq::Documents
