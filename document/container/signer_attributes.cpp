#include "document/container/signer_attributes.h"

#include "document/container/der.h"

namespace Dossiq::Documents {

namespace {

constexpr BYTE kContext1 = 0xA1; // [1] constructed: crls, unsigned attributes

// The SignedData's fields and its first SignerInfo.
struct Layout {
    Der::Element signedData, signerInfos, signerInfo;
};

bool Locate(const BYTE* data, size_t length, Layout& layout) {
    Der::Reader outer(data, length);
    if (!outer.Expect(Der::kSequence, layout.signedData) || !outer.AtEnd()) {
        return false;
    }
    Der::Reader fields(layout.signedData);
    Der::Element field;
    bool found = false;
    while (fields.Next(field)) {
        found = field.Is(Der::kSet);
        layout.signerInfos = field;
    }
    // signerInfos is the last field.
    if (fields.Failed() || !found) {
        return false;
    }
    Der::Reader signers(layout.signerInfos);
    return signers.Expect(Der::kSequence, layout.signerInfo);
}

} // namespace

std::vector<BYTE> FirstSignatureValue(const BYTE* signedData, size_t length) {
    Layout layout;
    if (!Locate(signedData, length, layout)) {
        return {};
    }
    Der::Reader fields(layout.signerInfo);
    Der::Element field;
    while (fields.Next(field)) {
        // The sid is a SEQUENCE or [0]; the first OCTET STRING at this level is the signature.
        if (field.Is(Der::kOctetString)) {
            return {field.content, field.content + field.length};
        }
    }
    return {};
}

std::vector<BYTE> WithUnsignedAttribute(const BYTE* signedData, size_t length,
                                        const std::vector<BYTE>& oid,
                                        const std::vector<BYTE>& value) {
    Layout layout;
    if (!Locate(signedData, length, layout)) {
        return {};
    }
    std::vector<BYTE> attribute;
    {
        std::vector<BYTE> fields;
        Der::AppendElement(fields, Der::kOid, oid);
        Der::AppendElement(fields, Der::kSet, value);
        Der::AppendElement(attribute, Der::kSequence, fields);
    }
    // The signer's fields up to its unsigned attributes, whose content (if any) is kept
    // before the new attribute.
    std::vector<BYTE> signerFields;
    std::vector<BYTE> unsignedAttributes;
    Der::Reader fields(layout.signerInfo);
    Der::Element field;
    while (fields.Next(field)) {
        if (field.Is(kContext1)) {
            unsignedAttributes.assign(field.content, field.content + field.length);
        } else {
            signerFields.insert(signerFields.end(), field.begin, field.begin + field.size);
        }
    }
    if (fields.Failed()) {
        return {};
    }
    unsignedAttributes.insert(unsignedAttributes.end(), attribute.begin(), attribute.end());
    Der::AppendElement(signerFields, kContext1, unsignedAttributes);
    std::vector<BYTE> signerInfo;
    Der::AppendElement(signerInfo, Der::kSequence, signerFields);

    // The other signers stay as they were, after the first.
    const BYTE* signersEnd = layout.signerInfos.content + layout.signerInfos.length;
    const BYTE* othersBegin = layout.signerInfo.begin + layout.signerInfo.size;
    std::vector<BYTE> signers = signerInfo;
    signers.insert(signers.end(), othersBegin, signersEnd);

    const BYTE* before = layout.signedData.content;
    const size_t beforeLength = static_cast<size_t>(layout.signerInfos.begin - before);
    const size_t contentLength = beforeLength + Der::HeaderLength(signers.size()) + signers.size();
    std::vector<BYTE> out;
    out.reserve(Der::HeaderLength(contentLength) + contentLength);
    Der::AppendHeader(out, Der::kSequence, contentLength);
    out.insert(out.end(), before, before + beforeLength);
    Der::AppendElement(out, Der::kSet, signers);
    return out;
}

} // namespace Dossiq::Documents
