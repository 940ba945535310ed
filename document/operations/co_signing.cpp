#include "document/operations/co_signing.h"

#include <algorithm>
#include <new>
#include <optional>

#include "document/container/container_reader.h"
#include "document/container/container_writer.h"
#include "document/container/der.h"
#include "document/container/document.h"
#include "document/container/signed_data_encoder.h"
#include "foundation/exception.h"
#include "foundation/io/file_stream.h"
#include "foundation/win32_exception.h"

namespace Dossiq::Documents {

namespace {

// Enough of a file to tell an envelope from a signed message.
constexpr DWORD kHead = 64;

// Whether the head of a file starts a ContentInfo of type envelopedData, its outer length
// (definite or not) reaching past the head.
bool HeadIsEnvelope(const BYTE* head, DWORD length) {
    if (length < 2 || head[0] != Der::kSequence) {
        return false;
    }
    const DWORD at = 2 + (head[1] > 0x80 ? head[1] & 0x7F : 0);
    const std::vector<BYTE>& oid = Der::kOidEnvelopedData;
    return at + 2 + oid.size() <= length && head[at] == Der::kOid && head[at + 1] == oid.size() &&
           std::equal(oid.begin(), oid.end(), head + at + 2);
}

// The bare SignedData of a ContentInfo; false for anything else.
bool SignedDataOf(const BYTE* file, size_t length, Der::Element& signedData) {
    Der::Reader top(file, length);
    Der::Element info, type, content;
    if (!top.Expect(Der::kSequence, info) || !top.AtEnd()) {
        return false;
    }
    Der::Reader fields(info);
    if (!fields.Expect(Der::kOid, type) || !fields.Expect(Der::kContext0, content)) {
        return false;
    }
    Der::Reader inner(content);
    return type.IsOid(Der::kOidSignedData) && inner.Expect(Der::kSequence, signedData) &&
           inner.AtEnd();
}

CoSigningResult Outcome(CoSigningOutcome outcome, DWORD error) {
    CoSigningResult result;
    result.outcome = outcome;
    result.error = error;
    return result;
}

} // namespace

std::vector<BYTE> WithParallelSigner(const BYTE* signedData, size_t length, const BYTE* other,
                                     size_t otherLength) {
    SignedDataEncoder encoder;
    if (!SignedDataEncoder::Read(signedData, length, encoder) ||
        !encoder.Join(other, otherLength)) {
        return {};
    }
    encoder.Encode();
    std::vector<BYTE> out(encoder.Length());
    encoder.Write(out.data());
    return out;
}

CoSigningResult AddSignature(const std::wstring& path, const std::wstring& outputPath,
                             PCCERT_CONTEXT signer, const SignatureStamper& stamper,
                             const ValidationDataSource& source) {
    try {
        // An envelope is told by its head and refused before anything is decrypted.
        {
            MHFX::IO::FileStream head(path);
            BYTE bytes[kHead];
            DWORD read = 0;
            if (::ReadFile(head.GetHandle(), bytes, sizeof bytes, &read, nullptr) &&
                HeadIsEnvelope(bytes, read)) {
                return Outcome(CoSigningOutcome::Enveloped, 0);
            }
        }
        std::optional<Document> document(std::in_place, path);
        if (!document->Open(0)) {
            return Outcome(CoSigningOutcome::Unreadable, document->FailureCode());
        }
        if (!document->AreAllSignaturesValid()) {
            return Outcome(CoSigningOutcome::Tampered, 0);
        }
        std::vector<BYTE> digest;
        for (const DocumentSignature& signature : document->Signatures()) {
            if (::CertCompareCertificate(X509_ASN_ENCODING, signature.signer.get()->pCertInfo,
                                         signer->pCertInfo)) {
                return Outcome(CoSigningOutcome::AlreadySigned, 0);
            }
            // A valid signature's digest is the content's.
            if (signature.digestAlgorithm == kSignatureHashOid) {
                digest = signature.contentDigest;
            }
        }
        // The new file is written from the bytes the document was read into, so the content
        // is held once; a file the opening rearranged is read again once it is closed.
        ContentSection reread;
        DocumentContent file = document->File();
        if (!file) {
            document.reset();
            ContainerReader reader;
            if (!reader.Start(path, reread)) {
                return Outcome(CoSigningOutcome::Unreadable, 0);
            }
            reader.Finish();
            file = {reread.Data(), reread.Length()};
            // What is signed is what was read last.
            digest.clear();
        }
        Der::Element signedData;
        SignedDataEncoder encoder;
        if (!SignedDataOf(file.data, file.length, signedData) ||
            !SignedDataEncoder::Read(signedData.begin, signedData.size, encoder)) {
            return Outcome(CoSigningOutcome::Unreadable, 0);
        }
        try {
            encoder.AddSigner(signer, kSignatureHashOid, stamper, source, std::move(digest));
        } catch (const MHFX::Win32Exception& e) {
            return Outcome(CoSigningOutcome::NotSigned, e.ErrorCode());
        }
        if (!WriteSignedData(encoder.Encode(), outputPath)) {
            return Outcome(CoSigningOutcome::WriteFailed, ::GetLastError());
        }
        return Outcome(CoSigningOutcome::Signed, 0);
    } catch (const MHFX::Exception&) {
        return Outcome(CoSigningOutcome::WriteFailed, ::GetLastError());
    } catch (const std::bad_alloc&) {
        return Outcome(CoSigningOutcome::WriteFailed, ERROR_NOT_ENOUGH_MEMORY);
    }
}

} // namespace Dossiq::Documents
