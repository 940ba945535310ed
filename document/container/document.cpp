#include "document/container/document.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "certificates/x509_store.h"
#include "document/container/container_reader.h"
#include "document/container/content_hash.h"
#include "certificates/revocation/kept_responses.h"
#include "document/container/der.h"
#include "document/container/envelope.h"
#include "document/container/signature_verifier.h"
#include "document/timestamp/timestamp_token.h"
#include "foundation/exception.h"
#include "foundation/win32_exception.h"

namespace Dossiq::Documents {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
// Enough of a file to tell an envelope from a signed message.
constexpr DWORD kKindHead = 64;

using MHFX::ThrowLastErrorIf;

// What one opening found, handed to the Document only when it succeeded.
struct Opening {
    ContentSection content;
    MHFX::CertStoreHandle messageStore;
    std::vector<DocumentSignature> signatures;
    // Of an envelope that could not be opened.
    std::string unsupportedAlgorithm;
    // Of one that was: whose key opened it.
    size_t openedRecipient = kNoRecipient;
    // OCSP responses kept beside the CRLs, which the platform's decoder does not take.
    std::vector<std::vector<BYTE>> keptResponses;
    // The content's section still holds the file byte for byte.
    bool fileIntact = false;
};

// The decoded signer info of `signerIndex`, empty when the message has none to give.
std::vector<BYTE> SignerInfoOf(HCRYPTMSG message, DWORD signerIndex) {
    DWORD length = 0;
    if (!::CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, signerIndex, nullptr, &length)) {
        return {};
    }
    std::vector<BYTE> buffer(length);
    if (!::CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, signerIndex, buffer.data(), &length)) {
        return {};
    }
    return buffer;
}

// The signer's signature value and the time-stamp token among its unsigned attributes.
// The signature value and what the unsigned attributes add to it: the time-stamp token and
// the countersignatures, verified with the message's `certificates`.
void ReadSignatureValue(HCRYPTMSG message, DWORD signerIndex, HCERTSTORE certificates,
                        DocumentSignature& signature) {
    const std::vector<BYTE> buffer = SignerInfoOf(message, signerIndex);
    if (buffer.empty()) {
        return;
    }
    const auto* info = reinterpret_cast<const CMSG_SIGNER_INFO*>(buffer.data());
    signature.signatureValue.assign(info->EncryptedHash.pbData,
                                    info->EncryptedHash.pbData + info->EncryptedHash.cbData);
    for (DWORD i = 0; i < info->UnauthAttrs.cAttr; ++i) {
        const CRYPT_ATTRIBUTE& attribute = info->UnauthAttrs.rgAttr[i];
        if (std::strcmp(attribute.pszObjId, kTimestampTokenAttributeOid) == 0 &&
            attribute.cValue >= 1 && signature.timestampToken.empty()) {
            signature.timestampToken.assign(attribute.rgValue[0].pbData,
                                            attribute.rgValue[0].pbData +
                                                attribute.rgValue[0].cbData);
        }
    }
    signature.countersignatures = ReadCountersignatures(*info, certificates);
}

// The signer's digest algorithm (or, as some writers put it there, the signature algorithm
// that names it) is SHA-1 or an older hash.
bool IsHashOutdated(HCRYPTMSG message, DWORD signerIndex) {
    const std::vector<BYTE> buffer = SignerInfoOf(message, signerIndex);
    if (buffer.empty()) {
        return false;
    }
    const auto* info = reinterpret_cast<const CMSG_SIGNER_INFO*>(buffer.data());
    for (const char* oid : {info->HashAlgorithm.pszObjId, info->HashEncryptionAlgorithm.pszObjId}) {
        if (oid == nullptr) {
            continue;
        }
        switch (::CertOIDToAlgId(oid)) {
        case CALG_SHA1:
        case CALG_MD5:
        case CALG_MD4:
        case CALG_MD2:
            return true;
        default:
            break;
        }
    }
    return false;
}

// The content's digest under the signer's digest algorithm, as the decoder computed it.
std::vector<BYTE> ComputedDigest(HCRYPTMSG message, DWORD signerIndex) {
    DWORD length = 0;
    if (!::CryptMsgGetParam(message, CMSG_COMPUTED_HASH_PARAM, signerIndex, nullptr, &length)) {
        return {};
    }
    std::vector<BYTE> digest(length);
    if (!::CryptMsgGetParam(message, CMSG_COMPUTED_HASH_PARAM, signerIndex, digest.data(),
                            &length)) {
        return {};
    }
    digest.resize(length);
    return digest;
}

// The SignerInfo as received: from the encoded message where it is in definite-length form,
// else as the platform encodes it again (which may sort the signed attributes).
std::vector<BYTE> EncodedSignerInfo(HCRYPTMSG message, const BYTE* encoded, size_t encodedLength,
                                    DWORD signerIndex) {
    Der::Element element;
    if (SignatureVerifier::FindSignerInfo(encoded, encodedLength, signerIndex, element)) {
        return {element.begin, element.begin + element.size};
    }
    DWORD length = 0;
    ThrowLastErrorIf(
        !::CryptMsgGetParam(message, CMSG_ENCODED_SIGNER, signerIndex, nullptr, &length));
    std::vector<BYTE> buffer(length);
    ThrowLastErrorIf(
        !::CryptMsgGetParam(message, CMSG_ENCODED_SIGNER, signerIndex, buffer.data(), &length));
    buffer.resize(length);
    return buffer;
}

// Content digests by CNG algorithm name, each computed once however many signers use it.
class DigestCache {
public:
    DigestCache(const DocumentContent& content, std::map<std::wstring, std::vector<BYTE>> known)
        : content_(content), digests_(std::move(known)) {}
    const std::vector<BYTE>& Of(const wchar_t* algorithm) {
        const std::wstring name = algorithm ? algorithm : L"";
        auto found = digests_.find(name);
        if (found == digests_.end()) {
            found = digests_
                        .emplace(name, SignatureVerifier::Digest(algorithm, content_.data,
                                                                 content_.length))
                        .first;
        }
        return found->second;
    }

private:
    DocumentContent content_;
    std::map<std::wstring, std::vector<BYTE>> digests_;
};

// The certificates and CRLs the message carries, with the OCSP responses kept beside them.
MHFX::CertStoreHandle MessageStore(HCRYPTMSG message, const Opening& opening) {
    MHFX::CertStoreHandle certificates(
        ::CertOpenStore(CERT_STORE_PROV_MSG, kEncoding, 0, 0, message));
    ThrowLastErrorIf(!certificates);
    MHFX::Security::Cryptography::X509::AttachKeptResponses(certificates.get(),
                                                            opening.keptResponses);
    return certificates;
}

// The signer's certificate from the message's own certificates and the result of checking
// the signature against it. Throws when the certificate cannot be had; a signature that
// does not match is a result. `signerInfo` is the signer's encoding as received. The
// platform's own digest is used where it computed one (a message decoded whole).
DocumentSignature VerifySigner(HCRYPTMSG message, HCERTSTORE certificates,
                               const std::vector<BYTE>& signerInfo, DWORD signerIndex,
                               DigestCache& digests) {
    DWORD infoLength = 0;
    ThrowLastErrorIf(!::CryptMsgGetParam(message, CMSG_SIGNER_CERT_INFO_PARAM, signerIndex, nullptr,
                                         &infoLength));
    std::vector<BYTE> info(infoLength);
    ThrowLastErrorIf(!::CryptMsgGetParam(message, CMSG_SIGNER_CERT_INFO_PARAM, signerIndex,
                                         info.data(), &infoLength));
    DocumentSignature signature;
    signature.signer.reset(::CertGetSubjectCertificateFromStore(
        certificates, kEncoding, reinterpret_cast<PCERT_INFO>(info.data())));
    ThrowLastErrorIf(!signature.signer);
    const SignatureVerifier verifier(signerInfo.data(), signerInfo.size());
    std::vector<BYTE> digest = ComputedDigest(message, signerIndex);
    if (digest.empty()) {
        digest = digests.Of(verifier.DigestAlgorithm());
    }
    const SignatureVerdict verdict = verifier.Verify(signature.signer.get(), digest);
    signature.digestAlgorithm = verifier.DigestAlgorithmOid();
    signature.contentDigest = digest;
    signature.status = verdict.status;
    signature.unsupportedAlgorithm = verdict.algorithm;
    signature.valid = verdict.status == SignatureStatus::Valid;
    signature.algorithmOutdated = IsHashOutdated(message, signerIndex);
    ReadSignatureValue(message, signerIndex, certificates, signature);
    return signature;
}

// Every SignerInfo of a decoded message as received, in the order the message lists them.
std::vector<std::vector<BYTE>> EncodedSignerInfos(HCRYPTMSG message, const BYTE* encoded,
                                                  size_t encodedLength) {
    DWORD count = 0;
    DWORD size = sizeof count;
    ThrowLastErrorIf(!::CryptMsgGetParam(message, CMSG_SIGNER_COUNT_PARAM, 0, &count, &size));
    if (count == 0) {
        throw MHFX::Win32Exception(static_cast<DWORD>(CRYPT_E_SIGNER_NOT_FOUND));
    }
    std::vector<std::vector<BYTE>> infos;
    for (DWORD i = 0; i < count; ++i) {
        infos.push_back(EncodedSignerInfo(message, encoded, encodedLength, i));
    }
    return infos;
}

void VerifySigners(HCRYPTMSG message, const std::vector<std::vector<BYTE>>& signerInfos,
                   const DocumentContent& content, Opening& opening,
                   std::map<std::wstring, std::vector<BYTE>> known = {}) {
    MHFX::CertStoreHandle certificates = MessageStore(message, opening);
    DigestCache digests(content, std::move(known));
    for (DWORD i = 0; i < signerInfos.size(); ++i) {
        opening.signatures.push_back(
            VerifySigner(message, certificates.get(), signerInfos[i], i, digests));
    }
    opening.messageStore = std::move(certificates);
}

// A signed message of the usual form (definite lengths, data content in one string or in
// definite pieces) split where it lies: `detached` receives the message without its content,
// which is moved together in place; `offset` and `length` give where it then is, `inPlace`
// whether that moved nothing (one piece). False,
// with nothing changed, for any other form.
bool SplitSigned(ContentSection& input, bool bare, std::vector<BYTE>& detached, DWORD& offset,
                 DWORD& length, bool& inPlace, std::vector<std::vector<BYTE>>& keptResponses) {
    const BYTE* const data = input.Data();
    Der::Reader top(data, input.Length());
    Der::Element contentInfo, type, explicitContent, signedData;
    if (bare) {
        if (!top.Expect(Der::kSequence, signedData) || !top.AtEnd()) {
            return false;
        }
    } else {
        if (!top.Expect(Der::kSequence, contentInfo) || !top.AtEnd()) {
            return false;
        }
        Der::Reader info(contentInfo);
        if (!info.Expect(Der::kOid, type) || !type.IsOid(Der::kOidSignedData) ||
            !info.Expect(Der::kContext0, explicitContent) || !info.AtEnd()) {
            return false;
        }
        Der::Reader wrapped(explicitContent);
        if (!wrapped.Expect(Der::kSequence, signedData) || !wrapped.AtEnd()) {
            return false;
        }
    }
    Der::Reader body(signedData);
    Der::Element version, digests, encapsulated, contentType, wrapper, octets;
    if (!body.Expect(Der::kInteger, version) || !body.Expect(Der::kSet, digests) ||
        !body.Expect(Der::kSequence, encapsulated)) {
        return false;
    }
    Der::Reader encapsulatedReader(encapsulated);
    if (!encapsulatedReader.Expect(Der::kOid, contentType) || !contentType.IsOid(Der::kOidData) ||
        !encapsulatedReader.Expect(Der::kContext0, wrapper) || !encapsulatedReader.AtEnd()) {
        return false;
    }
    Der::Reader wrapperReader(wrapper);
    if (!wrapperReader.Next(octets) || !wrapperReader.AtEnd()) {
        return false;
    }
    std::vector<Der::Element> pieces;
    if (octets.Is(Der::kOctetString)) {
        pieces.push_back(octets);
    } else if (octets.Is(Der::kOctetString | 0x20)) {
        Der::Reader pieceReader(octets);
        Der::Element piece;
        while (pieceReader.Next(piece)) {
            if (!piece.Is(Der::kOctetString)) {
                return false;
            }
            pieces.push_back(piece);
        }
        if (pieceReader.Failed() || pieces.empty()) {
            return false;
        }
    } else {
        return false;
    }

    // The same message with an encapsulated content of the type alone.
    std::vector<BYTE> inner(signedData.content, encapsulated.begin);
    Der::AppendHeader(inner, Der::kSequence, contentType.size);
    inner.insert(inner.end(), contentType.begin, contentType.begin + contentType.size);
    const BYTE* const fields = encapsulated.begin + encapsulated.size;
    const std::vector<BYTE> rest = MHFX::Security::Cryptography::X509::WithoutKeptResponses(
        fields, static_cast<size_t>(signedData.content + signedData.length - fields),
        keptResponses);
    inner.insert(inner.end(), rest.begin(), rest.end());
    const size_t signedSize = Der::HeaderLength(inner.size()) + inner.size();
    detached.clear();
    if (!bare) {
        Der::AppendHeader(detached, Der::kSequence,
                          type.size + Der::HeaderLength(signedSize) + signedSize);
        detached.insert(detached.end(), type.begin, type.begin + type.size);
        Der::AppendHeader(detached, Der::kContext0, signedSize);
    }
    Der::AppendHeader(detached, Der::kSequence, inner.size());
    detached.insert(detached.end(), inner.begin(), inner.end());

    // Pieces only move towards the front, each past the headers before it.
    BYTE* const start = input.Data() + (pieces.front().content - data);
    BYTE* out = start;
    for (const Der::Element& piece : pieces) {
        std::memmove(out, piece.content, piece.length);
        out += piece.length;
    }
    offset = static_cast<DWORD>(start - input.Data());
    length = static_cast<DWORD>(out - start);
    inPlace = pieces.size() == 1;
    return true;
}

// The content's digests under the algorithms a signed message lists, computed while the rest
// of the file is still being read rather than in a pass of their own afterwards: in the usual
// form both lie near the head, the content in one OCTET STRING after them. Empty for any
// other form; a failed read is left for the reader to report.
struct EarlyDigests {
    DWORD offset = 0;
    DWORD length = 0;
    std::map<std::wstring, std::vector<BYTE>> digests;
};

constexpr DWORD kDigestHead = 4096;
constexpr DWORD kDigestSlice = 4 << 20;

EarlyDigests DigestWhileReading(const ContentSection& input, ContainerReader& reader) {
    try {
        const BYTE* const data = input.Data();
        const DWORD head = std::min<DWORD>(input.Length(), kDigestHead);
        reader.WaitFor(head);
        // Only bytes that have arrived are looked at: a header has at most six.
        const auto whole = [&](const Der::Element& e) { return e.begin + e.size <= data + head; };
        const auto opens = [&](const Der::Element& e) { return e.content + 6 <= data + head; };
        Der::Reader top(data, input.Length());
        Der::Element info, type, explicitContent, signedData, version, algorithms, encapsulated;
        Der::Element contentType, wrapper, octets;
        if (!top.Expect(Der::kSequence, info) || !opens(info)) {
            return {};
        }
        Der::Reader infoReader(info);
        if (!infoReader.Expect(Der::kOid, type) || !whole(type) ||
            !type.IsOid(Der::kOidSignedData) ||
            !infoReader.Expect(Der::kContext0, explicitContent) || !opens(explicitContent)) {
            return {};
        }
        Der::Reader wrapped(explicitContent);
        if (!wrapped.Expect(Der::kSequence, signedData) || !opens(signedData)) {
            return {};
        }
        Der::Reader body(signedData);
        if (!body.Expect(Der::kInteger, version) || !whole(version) ||
            !body.Expect(Der::kSet, algorithms) || !whole(algorithms) ||
            !body.Expect(Der::kSequence, encapsulated) || !opens(encapsulated)) {
            return {};
        }
        Der::Reader encapsulatedReader(encapsulated);
        if (!encapsulatedReader.Expect(Der::kOid, contentType) || !whole(contentType) ||
            !contentType.IsOid(Der::kOidData) ||
            !encapsulatedReader.Expect(Der::kContext0, wrapper) || !opens(wrapper)) {
            return {};
        }
        Der::Reader wrapperReader(wrapper);
        if (!wrapperReader.Expect(Der::kOctetString, octets) || octets.content > data + head) {
            return {};
        }
        std::map<std::wstring, std::unique_ptr<ContentHash>> hashes;
        Der::Reader list(algorithms);
        Der::Element algorithm, oid;
        while (list.Next(algorithm)) {
            Der::Reader fields(algorithm);
            const wchar_t* name = algorithm.Is(Der::kSequence) && fields.Expect(Der::kOid, oid)
                                      ? SignatureVerifier::DigestAlgorithmOf(oid)
                                      : nullptr;
            if (name != nullptr && hashes.find(name) == hashes.end()) {
                hashes.emplace(name, std::make_unique<ContentHash>(name));
            }
        }
        if (hashes.empty()) {
            return {};
        }
        EarlyDigests early;
        early.offset = static_cast<DWORD>(octets.content - data);
        early.length = static_cast<DWORD>(octets.length);
        for (DWORD done = 0; done < early.length;) {
            const DWORD slice = std::min(early.length - done, kDigestSlice);
            reader.WaitFor(early.offset + done + slice);
            for (auto& hash : hashes) {
                hash.second->Add(octets.content + done, slice);
            }
            done += slice;
        }
        for (auto& hash : hashes) {
            early.digests.emplace(hash.first, hash.second->Finish());
        }
        return early;
    } catch (const MHFX::Win32Exception&) {
        return {};
    }
}

// Only a signed message is a document. The content stays where it was read: the platform
// decodes the message without it and the signers' digests are computed here, so that it is
// held twice at most (and because the platform refuses detached content under several
// signers). A message of another form is decoded whole, and its content copied out.
void OpenSigned(ContentSection& input, bool bare, Opening& opening, EarlyDigests* early = nullptr) {
    std::vector<BYTE> detached;
    DWORD offset = 0;
    DWORD length = 0;
    bool inPlace = false;
    const bool split =
        SplitSigned(input, bare, detached, offset, length, inPlace, opening.keptResponses);
    MHFX::CryptMsgHandle message(::CryptMsgOpenToDecode(
        kEncoding, split ? CMSG_DETACHED_FLAG : 0, bare ? CMSG_SIGNED : 0, 0, nullptr, nullptr));
    ThrowLastErrorIf(!message);
    const DWORD encodedLength = input.Length();
    ThrowLastErrorIf(split ? !::CryptMsgUpdate(message.get(), detached.data(),
                                               static_cast<DWORD>(detached.size()), TRUE)
                           : !::CryptMsgUpdate(message.get(), input.Data(), encodedLength, TRUE));
    DWORD type = 0;
    DWORD size = sizeof type;
    ThrowLastErrorIf(!::CryptMsgGetParam(message.get(), CMSG_TYPE_PARAM, 0, &type, &size));
    if (type != CMSG_SIGNED) {
        throw MHFX::Win32Exception(static_cast<DWORD>(CRYPT_E_INVALID_MSG_TYPE));
    }
    if (split) {
        // Digests made while reading count only for the very bytes found now.
        const bool hashed =
            early != nullptr && inPlace && early->offset == offset && early->length == length;
        VerifySigners(
            message.get(), EncodedSignerInfos(message.get(), detached.data(), detached.size()),
            {input.Data() + offset, length}, opening,
            hashed ? std::move(early->digests) : std::map<std::wstring, std::vector<BYTE>>());
        // One piece is not moved at all.
        opening.fileIntact = !bare && inPlace && input.Capacity() == input.Length();
        input.Narrow(offset, length);
        opening.content = std::move(input);
        return;
    }
    // The signers are read while the encoded message is at hand; the decoder keeps what it
    // needs. The content is no longer than the encoded message, and each call decodes it
    // afresh, so one call fills a section that large.
    const std::vector<std::vector<BYTE>> signerInfos =
        EncodedSignerInfos(message.get(), input.Data(), encodedLength);
    input.Reset();
    opening.content.Create(encodedLength);
    length = encodedLength;
    ThrowLastErrorIf(
        !::CryptMsgGetParam(message.get(), CMSG_CONTENT_PARAM, 0, opening.content.Data(), &length));
    if (length == 0) {
        throw MHFX::Win32Exception(static_cast<DWORD>(CRYPT_E_NOT_FOUND));
    }
    opening.content.SetLength(length);
    VerifySigners(message.get(), signerInfos, {opening.content.Data(), opening.content.Length()},
                  opening);
}

// Decrypted with the current user's own keys, in the section it was read into. A signed
// inner content is a bare SignedData; a plain one (the Encrypted kind) has no signature that
// could be valid.
void OpenEnveloped(ContentSection& input, ContainerReader& reader, Opening& opening) {
    using MHFX::Security::Cryptography::X509::X509Store;
    X509Store store(L"My", CERT_SYSTEM_STORE_CURRENT_USER);
    store.Open(CERT_STORE_READONLY_FLAG);
    std::vector<BYTE> innerType;
    if (OpenEnvelopeInPlace(
            input, store.Handle(), innerType, [&](DWORD length) { reader.WaitFor(length); },
            &opening.unsupportedAlgorithm, &opening.openedRecipient) != EnvelopeResult::Opened) {
        throw MHFX::Win32Exception();
    }
    store.Close();
    reader.Finish();
    if (innerType == Der::kOidData) {
        opening.content = std::move(input);
        return;
    }
    if (innerType != Der::kOidSignedData) {
        throw MHFX::Win32Exception(static_cast<DWORD>(CRYPT_E_INVALID_MSG_TYPE));
    }
    OpenSigned(input, true, opening);
}

const DocumentSignature kNoSignature;

} // namespace

Document::Document(std::wstring path) : path_(std::move(path)) {}

Document::~Document() = default;

const DocumentSignature& Document::Selected() const noexcept {
    return selected_ < signatures_.size() ? signatures_[selected_] : kNoSignature;
}

bool Document::SelectSignature(size_t index) noexcept {
    if (index >= signatures_.size()) {
        return false;
    }
    selected_ = index;
    return true;
}

bool Document::AreAllSignaturesValid() const noexcept {
    return !signatures_.empty() &&
           std::all_of(signatures_.begin(), signatures_.end(),
                       [](const DocumentSignature& signature) { return signature.valid; });
}

bool Document::OpenOnce(DWORD signerIndex) {
    if (!isOpened_ && !hasFailed_) {
        Open(signerIndex);
    }
    return isOpened_;
}

bool Document::Open(DWORD signerIndex) {
    // A document is opened once: neither success nor failure is revisited.
    if (isOpened_) {
        return true;
    }
    if (hasFailed_) {
        return false;
    }
    bool result = false;
    Opening opening;
    try {
        ContentSection input;
        // Declared after the section: it stops reading into it before the section goes.
        ContainerReader reader;
        if (reader.Start(path_, input)) {
            // The kind is told by the first bytes; an envelope is decrypted as it arrives.
            reader.WaitFor(std::min<DWORD>(input.Length(), kKindHead));
            if (IsEnvelopedData(input.Data(), input.Length())) {
                OpenEnveloped(input, reader, opening);
            } else {
                EarlyDigests early = DigestWhileReading(input, reader);
                reader.Finish();
                OpenSigned(input, false, opening, &early);
            }
            result = true;
        }
    } catch (const MHFX::Win32Exception& e) {
        failureCode_ = e.ErrorCode();
        unsupportedAlgorithm_ = std::move(opening.unsupportedAlgorithm);
    } catch (const MHFX::Exception&) {
    } catch (const std::exception&) {
    }
    if (result) {
        content_ = std::move(opening.content);
        openedRecipient_ = opening.openedRecipient;
        messageStore_ = std::move(opening.messageStore);
        signatures_ = std::move(opening.signatures);
        fileIntact_ = opening.fileIntact;
        selected_ = signerIndex < signatures_.size() ? signerIndex : 0;
        isOpened_ = true;
    }
    hasFailed_ = !result;
    return result;
}

} // namespace Dossiq::Documents
