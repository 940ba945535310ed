#include "document/container/signed_data_encoder.h"

#include <algorithm>
#include <cstring>

#include "document/container/content_hash.h"
#include "document/container/der.h"
#include "document/container/signed_attributes.h"
#include "document/container/signing_key.h"
#include "document/timestamp/timestamp_token.h"
#include "certificates/revocation/kept_responses.h"
#include "foundation/win32_exception.h"

namespace Dossiq::Documents {

namespace {

using MHFX::Win32Exception;

constexpr BYTE kCertificates = 0xA0; // [0] IMPLICIT SET OF
constexpr BYTE kCrls = 0xA1;         // [1] IMPLICIT SET OF, and a signer's unsigned attributes

std::vector<BYTE> Bytes(const Der::Element& element) {
    return {element.begin, element.begin + element.size};
}

bool Split(const Der::Element& field, std::vector<std::vector<BYTE>>& out) {
    Der::Reader reader(field);
    Der::Element element;
    while (reader.Next(element)) {
        out.push_back(Bytes(element));
    }
    return !reader.Failed();
}

ALG_ID HashAlgorithm(const std::string& hashOid) {
    const ALG_ID algorithm = ::CertOIDToAlgId(hashOid.c_str());
    if (algorithm == 0 || GET_ALG_CLASS(algorithm) != ALG_CLASS_HASH) {
        throw Win32Exception(static_cast<DWORD>(NTE_BAD_ALGID));
    }
    return algorithm;
}

// The hash as DER names it: the identifier as given (a signature algorithm's, as old
// containers have it, included) with NULL parameters, as the platform wrote it before.
std::vector<BYTE> AlgorithmIdentifier(const std::vector<BYTE>& oid) {
    std::vector<BYTE> fields;
    Der::AppendElement(fields, Der::kOid, oid);
    Der::AppendHeader(fields, Der::kNull, 0);
    std::vector<BYTE> out;
    Der::AppendElement(out, Der::kSequence, fields);
    return out;
}

// IssuerAndSerialNumber, both taken from the certificate's own encoding.
std::vector<BYTE> IssuerAndSerial(PCCERT_CONTEXT certificate) {
    Der::Reader top(certificate->pbCertEncoded, certificate->cbCertEncoded);
    Der::Element whole, tbs, field, serial, issuer;
    if (!top.Expect(Der::kSequence, whole)) {
        throw Win32Exception(static_cast<DWORD>(CRYPT_E_ASN1_CORRUPT));
    }
    Der::Reader body(whole);
    if (!body.Expect(Der::kSequence, tbs)) {
        throw Win32Exception(static_cast<DWORD>(CRYPT_E_ASN1_CORRUPT));
    }
    Der::Reader fields(tbs);
    if (!fields.Next(field)) {
        throw Win32Exception(static_cast<DWORD>(CRYPT_E_ASN1_CORRUPT));
    }
    serial = field;
    if (field.Is(Der::kContext0) && !fields.Expect(Der::kInteger, serial)) {
        throw Win32Exception(static_cast<DWORD>(CRYPT_E_ASN1_CORRUPT));
    }
    if (!serial.Is(Der::kInteger) || !fields.Expect(Der::kSequence, field) ||
        !fields.Expect(Der::kSequence, issuer)) {
        throw Win32Exception(static_cast<DWORD>(CRYPT_E_ASN1_CORRUPT));
    }
    std::vector<BYTE> content = Bytes(issuer);
    content.insert(content.end(), serial.begin, serial.begin + serial.size);
    std::vector<BYTE> out;
    Der::AppendElement(out, Der::kSequence, content);
    return out;
}

// The CMS data content: the OCTET STRING, or the pieces of a constructed one.
bool ContentPieces(const Der::Element& encapsulated, std::vector<SignedDataEncoder::Piece>& out) {
    Der::Reader reader(encapsulated);
    Der::Element type, wrapper, octets;
    if (!reader.Expect(Der::kOid, type) || !type.IsOid(Der::kOidData) ||
        !reader.Expect(Der::kContext0, wrapper) || !reader.AtEnd()) {
        return false;
    }
    Der::Reader inner(wrapper);
    if (!inner.Next(octets) || !inner.AtEnd()) {
        return false;
    }
    if (octets.Is(Der::kOctetString)) {
        out.push_back({octets.content, octets.length});
        return true;
    }
    if (!octets.Is(Der::kOctetString | 0x20)) {
        return false;
    }
    Der::Reader pieces(octets);
    Der::Element piece;
    while (pieces.Next(piece)) {
        if (!piece.Is(Der::kOctetString)) {
            return false;
        }
        out.push_back({piece.content, piece.length});
    }
    return !pieces.Failed();
}

// The fields of a bare SignedData, each as it lies in the encoding.
struct Fields {
    Der::Element version, digestAlgorithms, encapsulated, certificates, crls, signerInfos;
};

bool ReadFields(const BYTE* data, size_t length, Fields& fields) {
    Der::Reader top(data, length);
    Der::Element sequence;
    if (!top.Expect(Der::kSequence, sequence) || !top.AtEnd()) {
        return false;
    }
    Der::Reader body(sequence);
    if (!body.Expect(Der::kInteger, fields.version) || fields.version.length != 1 ||
        !body.Expect(Der::kSet, fields.digestAlgorithms) ||
        !body.Expect(Der::kSequence, fields.encapsulated)) {
        return false;
    }
    Der::Element element;
    while (body.Next(element)) {
        if (element.Is(kCertificates) && !fields.certificates.begin && !fields.crls.begin &&
            !fields.signerInfos.begin) {
            fields.certificates = element;
        } else if (element.Is(kCrls) && !fields.crls.begin && !fields.signerInfos.begin) {
            fields.crls = element;
        } else if (element.Is(Der::kSet) && !fields.signerInfos.begin) {
            fields.signerInfos = element;
        } else {
            return false;
        }
    }
    return !body.Failed() && fields.signerInfos.begin != nullptr;
}

} // namespace

SignedDataEncoder::SignedDataEncoder(const BYTE* content, size_t length)
    : content_{content, length}, contentPieces_{{content, length}} {}

bool SignedDataEncoder::Read(const BYTE* encoding, size_t length, SignedDataEncoder& encoder) {
    Fields fields;
    SignedDataEncoder read;
    if (!ReadFields(encoding, length, fields) ||
        !ContentPieces(fields.encapsulated, read.contentPieces_) ||
        !Split(fields.digestAlgorithms, read.digestAlgorithms_) ||
        (fields.certificates.begin && !Split(fields.certificates, read.certificates_)) ||
        (fields.crls.begin && !Split(fields.crls, read.crls_))) {
        return false;
    }
    read.version_ = fields.version.content[0];
    read.kept_ = {fields.encapsulated.begin, fields.encapsulated.size};
    read.keptSigners_.push_back({fields.signerInfos.content, fields.signerInfos.length});
    encoder = std::move(read);
    return true;
}

bool SignedDataEncoder::Join(const BYTE* encoding, size_t length) {
    Fields fields;
    std::vector<std::vector<BYTE>> digests, certificates, crls;
    if (!ReadFields(encoding, length, fields) || !Split(fields.digestAlgorithms, digests) ||
        (fields.certificates.begin && !Split(fields.certificates, certificates)) ||
        (fields.crls.begin && !Split(fields.crls, crls))) {
        return false;
    }
    // A later signer may need more of the syntax.
    version_ = std::max(version_, fields.version.content[0]);
    digestAlgorithms_.insert(digestAlgorithms_.end(), digests.begin(), digests.end());
    certificates_.insert(certificates_.end(), certificates.begin(), certificates.end());
    crls_.insert(crls_.end(), crls.begin(), crls.end());
    keptSigners_.push_back({fields.signerInfos.content, fields.signerInfos.length});
    return true;
}

std::vector<BYTE> SignedDataEncoder::ContentDigest(const std::string& hashOid) const {
    ContentHash hash(CngHashName(HashAlgorithm(hashOid)));
    for (const Piece& piece : contentPieces_) {
        hash.Add(piece.data, piece.length);
    }
    return hash.Finish();
}

void SignedDataEncoder::AddSigner(PCCERT_CONTEXT signer, const std::string& hashOid,
                                  const SignatureStamper& stamper,
                                  const ValidationDataSource& source,
                                  std::vector<BYTE> contentDigest) {
    const SigningKey key(signer, HashAlgorithm(hashOid));
    // The SignerInfo names RSA; a key of another kind would sign something else under it.
    const char* keyAlgorithm = signer->pCertInfo->SubjectPublicKeyInfo.Algorithm.pszObjId;
    if (keyAlgorithm == nullptr || std::strcmp(keyAlgorithm, szOID_RSA_RSA) != 0) {
        throw Win32Exception(static_cast<DWORD>(NTE_BAD_ALGID));
    }
    if (contentDigest.empty()) {
        contentDigest = ContentDigest(hashOid);
    }
    const std::vector<BYTE> digestAlgorithm = AlgorithmIdentifier(Der::OidContent(hashOid));
    std::vector<BYTE> signedAttributes = SignedAttributes(signer).Encode(contentDigest);
    const std::vector<BYTE> signature = key.Sign(signedAttributes.data(), signedAttributes.size());
    const std::vector<BYTE> token = stamper ? stamper(signature) : std::vector<BYTE>();

    std::vector<BYTE> fields;
    Der::AppendElement(fields, Der::kInteger, std::vector<BYTE>{1});
    const std::vector<BYTE> sid = IssuerAndSerial(signer);
    fields.insert(fields.end(), sid.begin(), sid.end());
    fields.insert(fields.end(), digestAlgorithm.begin(), digestAlgorithm.end());
    // Signed as a SET OF, carried as [0] IMPLICIT: the same bytes under another tag.
    signedAttributes[0] = Der::kContext0;
    fields.insert(fields.end(), signedAttributes.begin(), signedAttributes.end());
    const std::vector<BYTE> rsa = AlgorithmIdentifier(Der::kOidRsaEncryption);
    fields.insert(fields.end(), rsa.begin(), rsa.end());
    Der::AppendElement(fields, Der::kOctetString, signature);
    if (!token.empty()) {
        std::vector<BYTE> attribute;
        Der::AppendElement(attribute, Der::kOid, kOidTimestampTokenAttribute);
        Der::AppendElement(attribute, Der::kSet, token);
        std::vector<BYTE> attributes;
        Der::AppendElement(attributes, Der::kSequence, attribute);
        Der::AppendElement(fields, kCrls, attributes);
    }
    std::vector<BYTE> signerInfo;
    Der::AppendElement(signerInfo, Der::kSequence, fields);

    const ValidationData data = source ? source(signer, token) : ValidationData();
    newSigners_.push_back(std::move(signerInfo));
    digestAlgorithms_.push_back(digestAlgorithm);
    certificates_.emplace_back(signer->pbCertEncoded,
                               signer->pbCertEncoded + signer->cbCertEncoded);
    AddValidationData(data);
}

void SignedDataEncoder::AddValidationData(const ValidationData& data) {
    certificates_.insert(certificates_.end(), data.certificates.begin(), data.certificates.end());
    crls_.insert(crls_.end(), data.crls.begin(), data.crls.end());
    for (const std::vector<BYTE>& response : data.ocspResponses) {
        crls_.push_back(MHFX::Security::Cryptography::X509::KeptResponseElement(response));
    }
}

const std::vector<SignedDataEncoder::Piece>& SignedDataEncoder::Encode() {
    std::vector<Piece> encapsulated;
    before_.clear();
    Der::AppendElement(before_, Der::kInteger, &version_, 1);
    Der::AppendSortedSet(before_, Der::kSet, digestAlgorithms_);
    if (kept_.data != nullptr) {
        encapsulated.push_back(kept_);
    } else {
        std::vector<BYTE> type;
        Der::AppendElement(type, Der::kOid, Der::kOidData);
        const size_t octets = Der::HeaderLength(content_.length) + content_.length;
        const size_t wrapper = Der::HeaderLength(octets) + octets;
        Der::AppendHeader(before_, Der::kSequence, type.size() + wrapper);
        before_.insert(before_.end(), type.begin(), type.end());
        Der::AppendHeader(before_, Der::kContext0, octets);
        Der::AppendHeader(before_, Der::kOctetString, content_.length);
        encapsulated.push_back(content_);
    }
    after_.clear();
    if (!certificates_.empty()) {
        Der::AppendSortedSet(after_, kCertificates, certificates_);
    }
    if (!crls_.empty()) {
        Der::AppendSortedSet(after_, kCrls, crls_);
    }
    std::vector<Piece> signers = keptSigners_;
    for (const std::vector<BYTE>& signer : newSigners_) {
        signers.push_back({signer.data(), signer.size()});
    }
    size_t signersLength = 0;
    for (const Piece& piece : signers) {
        signersLength += piece.length;
    }
    Der::AppendHeader(after_, Der::kSet, signersLength);

    size_t bodyLength = before_.size() + after_.size() + signersLength;
    for (const Piece& piece : encapsulated) {
        bodyLength += piece.length;
    }
    outer_.clear();
    Der::AppendHeader(outer_, Der::kSequence, bodyLength);
    pieces_ = {{outer_.data(), outer_.size()}, {before_.data(), before_.size()}};
    pieces_.insert(pieces_.end(), encapsulated.begin(), encapsulated.end());
    pieces_.push_back({after_.data(), after_.size()});
    pieces_.insert(pieces_.end(), signers.begin(), signers.end());
    return pieces_;
}

size_t SignedDataEncoder::Length() const noexcept {
    size_t length = 0;
    for (const Piece& piece : pieces_) {
        length += piece.length;
    }
    return length;
}

void SignedDataEncoder::Write(BYTE* out) const {
    for (const Piece& piece : pieces_) {
        std::memcpy(out, piece.data, piece.length);
        out += piece.length;
    }
}

std::vector<BYTE> SignedDataEncoder::ContentInfoHeader(size_t length) {
    std::vector<BYTE> type;
    Der::AppendElement(type, Der::kOid, Der::kOidSignedData);
    std::vector<BYTE> header;
    Der::AppendHeader(header, Der::kSequence, type.size() + Der::HeaderLength(length) + length);
    header.insert(header.end(), type.begin(), type.end());
    Der::AppendHeader(header, Der::kContext0, length);
    return header;
}

} // namespace Dossiq::Documents
