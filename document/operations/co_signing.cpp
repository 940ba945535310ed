#include "document/operations/co_signing.h"

#include <algorithm>

#include "document/container/container_reader.h"
#include "document/container/container_writer.h"
#include "document/container/der.h"
#include "document/container/document.h"
#include "foundation/exception.h"

namespace Dossiq::Documents {

namespace {

constexpr BYTE kContext1 = 0xA1;

// The fields of a bare SignedData, each as it lies in the encoding.
struct SignedFields {
    Der::Element version, digestAlgorithms, encapsulated, certificates, crls, signerInfos;
};

bool ReadFields(const BYTE* data, size_t length, SignedFields& fields) {
    Der::Reader top(data, length);
    Der::Element sequence;
    if (!top.Expect(Der::kSequence, sequence) || !top.AtEnd()) {
        return false;
    }
    Der::Reader body(sequence);
    if (!body.Expect(Der::kInteger, fields.version) ||
        !body.Expect(Der::kSet, fields.digestAlgorithms) ||
        !body.Expect(Der::kSequence, fields.encapsulated)) {
        return false;
    }
    Der::Element element;
    while (body.Next(element)) {
        if (element.Is(Der::kContext0) && !fields.certificates.begin && !fields.crls.begin &&
            !fields.signerInfos.begin) {
            fields.certificates = element;
        } else if (element.Is(kContext1) && !fields.crls.begin && !fields.signerInfos.begin) {
            fields.crls = element;
        } else if (element.Is(Der::kSet) && !fields.signerInfos.begin) {
            fields.signerInfos = element;
        } else {
            return false;
        }
    }
    return !body.Failed() && fields.signerInfos.begin != nullptr;
}

// The elements of `set` followed by those of `more` it does not hold already.
std::vector<BYTE> Merged(const Der::Element& set, const Der::Element& more) {
    std::vector<BYTE> out;
    std::vector<std::vector<BYTE>> seen;
    for (const Der::Element* source : {&set, &more}) {
        if (!source->begin) {
            continue;
        }
        Der::Reader reader(*source);
        Der::Element element;
        while (reader.Next(element)) {
            std::vector<BYTE> bytes(element.begin, element.begin + element.size);
            if (std::find(seen.begin(), seen.end(), bytes) == seen.end()) {
                out.insert(out.end(), bytes.begin(), bytes.end());
                seen.push_back(std::move(bytes));
            }
        }
    }
    return out;
}

std::vector<BYTE> Bytes(const Der::Element& element) {
    return {element.begin, element.begin + element.size};
}

std::vector<BYTE> ReadFileBytes(const std::wstring& path) {
    ContentSection file;
    ContainerReader reader;
    if (!reader.Start(path, file)) {
        return {};
    }
    reader.Finish();
    return {file.Data(), file.Data() + file.Length()};
}

// The bare SignedData of a ContentInfo; false for anything else.
bool SignedDataOf(const BYTE* file, size_t length, Der::Element& signedData, bool& enveloped) {
    Der::Reader top(file, length);
    Der::Element info, type, content;
    enveloped = false;
    if (!top.Expect(Der::kSequence, info) || !top.AtEnd()) {
        return false;
    }
    Der::Reader fields(info);
    if (!fields.Expect(Der::kOid, type) || !fields.Expect(Der::kContext0, content)) {
        return false;
    }
    enveloped = type.IsOid(Der::kOidEnvelopedData);
    Der::Reader inner(content);
    return type.IsOid(Der::kOidSignedData) && inner.Expect(Der::kSequence, signedData) &&
           inner.AtEnd();
}

// The ContentInfo around `bare`, its headers written before one copy of the SignedData.
bool Write(const std::vector<BYTE>& bare, const std::wstring& path) {
    std::vector<BYTE> oid;
    Der::AppendElement(oid, Der::kOid, Der::kOidSignedData);
    std::vector<BYTE> explicitHeader;
    Der::AppendHeader(explicitHeader, Der::kContext0, bare.size());
    std::vector<BYTE> header;
    Der::AppendHeader(header, Der::kSequence, oid.size() + explicitHeader.size() + bare.size());
    header.insert(header.end(), oid.begin(), oid.end());
    header.insert(header.end(), explicitHeader.begin(), explicitHeader.end());
    MessageBlob message;
    if (!message.Allocate(static_cast<DWORD>(header.size() + bare.size()))) {
        return false;
    }
    std::copy(header.begin(), header.end(), message.Data());
    std::copy(bare.begin(), bare.end(), message.Data() + header.size());
    return WriteContainer(message, path);
}

} // namespace

std::vector<BYTE> WithParallelSigner(const BYTE* signedData, size_t length, const BYTE* other,
                                     size_t otherLength) {
    SignedFields ours, theirs;
    if (!ReadFields(signedData, length, ours) || !ReadFields(other, otherLength, theirs)) {
        return {};
    }
    std::vector<BYTE> body;
    // The higher version of the two: a later signer may need more of the syntax.
    const bool theirsHigher = ours.version.length == 1 && theirs.version.length == 1 &&
                              theirs.version.content[0] > ours.version.content[0];
    const std::vector<BYTE> version = Bytes(theirsHigher ? theirs.version : ours.version);
    body.insert(body.end(), version.begin(), version.end());
    Der::AppendElement(body, Der::kSet, Merged(ours.digestAlgorithms, theirs.digestAlgorithms));
    const std::vector<BYTE> encapsulated = Bytes(ours.encapsulated);
    body.insert(body.end(), encapsulated.begin(), encapsulated.end());
    const std::vector<BYTE> certificates = Merged(ours.certificates, theirs.certificates);
    if (!certificates.empty()) {
        Der::AppendElement(body, Der::kContext0, certificates);
    }
    const std::vector<BYTE> crls = Merged(ours.crls, theirs.crls);
    if (!crls.empty()) {
        Der::AppendElement(body, kContext1, crls);
    }
    // The existing signers as they are, the new one after them.
    std::vector<BYTE> signers(ours.signerInfos.content,
                              ours.signerInfos.content + ours.signerInfos.length);
    signers.insert(signers.end(), theirs.signerInfos.content,
                   theirs.signerInfos.content + theirs.signerInfos.length);
    Der::AppendElement(body, Der::kSet, signers);
    std::vector<BYTE> out;
    Der::AppendElement(out, Der::kSequence, body);
    return out;
}

CoSigningResult AddSignature(const std::wstring& path, const std::wstring& outputPath,
                             PCCERT_CONTEXT signer, const SignatureStamper& stamper,
                             const ValidationDataSource& source) {
    CoSigningResult result;
    try {
        const std::vector<BYTE> file = ReadFileBytes(path);
        Der::Element signedData;
        bool enveloped = false;
        if (!SignedDataOf(file.data(), file.size(), signedData, enveloped)) {
            result.outcome = enveloped ? CoSigningOutcome::Enveloped : CoSigningOutcome::Unreadable;
            return result;
        }
        MessageBlob cosigned;
        {
            Document document(path);
            if (!document.Open(0)) {
                result.error = document.FailureCode();
                return result;
            }
            if (!document.AreAllSignaturesValid()) {
                result.outcome = CoSigningOutcome::Tampered;
                return result;
            }
            for (const DocumentSignature& signature : document.Signatures()) {
                if (::CertCompareCertificate(X509_ASN_ENCODING, signature.signer.get()->pCertInfo,
                                             signer->pCertInfo)) {
                    result.outcome = CoSigningOutcome::AlreadySigned;
                    return result;
                }
            }
            // The new signer's SignedData as a first signature is made; its SignerInfo is
            // what joins the document.
            MessageBlob content;
            const DocumentContent bytes = document.Content();
            if (!content.Allocate(bytes.length)) {
                result.outcome = CoSigningOutcome::NotSigned;
                result.error = ::GetLastError();
                return result;
            }
            std::copy(bytes.data, bytes.data + bytes.length, content.Data());
            if (!SignArchive(content, signer, kSignatureHashOid, cosigned, stamper, source)) {
                result.outcome = CoSigningOutcome::NotSigned;
                result.error = ::GetLastError();
                return result;
            }
        }
        Der::Element theirs;
        bool unused = false;
        if (!SignedDataOf(cosigned.Data(), cosigned.Length(), theirs, unused)) {
            result.outcome = CoSigningOutcome::NotSigned;
            return result;
        }
        const std::vector<BYTE> merged =
            WithParallelSigner(signedData.begin, signedData.size, theirs.begin, theirs.size);
        // Only the merged message is needed from here on.
        cosigned.Release();
        if (merged.empty()) {
            return result;
        }
        if (!Write(merged, outputPath)) {
            result.outcome = CoSigningOutcome::WriteFailed;
            result.error = ::GetLastError();
            return result;
        }
        result.outcome = CoSigningOutcome::Signed;
    } catch (const MHFX::Exception&) {
        result.outcome = CoSigningOutcome::WriteFailed;
        result.error = ::GetLastError();
    } catch (const std::bad_alloc&) {
        result.outcome = CoSigningOutcome::WriteFailed;
        result.error = ERROR_NOT_ENOUGH_MEMORY;
    }
    return result;
}

} // namespace Dossiq::Documents
