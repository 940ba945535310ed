// One container file as the system sees it after opening: whether the opening succeeded,
// whether each signature is valid, who signed it, and the decoded content (the ZIP archive)
// in a page-file-backed section owned by the document.
//
// A SignedData may carry several parallel SignerInfos over the same content; each is
// verified on its own. The per-signature accessors describe the selected one (the first
// unless SelectSignature says otherwise), so that a report is written per signature by
// selecting each in turn.
//
// Users open lazily through OpenOnce, so that a document is opened at most once and a
// failed opening is never retried.
// One thread at a time uses a Document.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

#include "document/container/content_section.h"
#include "document/container/countersignature.h"
#include "document/container/envelope.h"
#include "document/container/signature_verifier.h"
#include "foundation/handle.h"

namespace Dossiq::Documents {

// The decoded archive bytes, valid while the Document lives.
struct DocumentContent {
    const BYTE* data = nullptr;
    DWORD length = 0;

    explicit operator bool() const noexcept { return data != nullptr && length != 0; }
};

// What one SignerInfo's verification found.
struct DocumentSignature {
    MHFX::CertContextHandle signer;
    bool valid = false;
    SignatureStatus status = SignatureStatus::Invalid;
    std::string unsupportedAlgorithm;
    bool algorithmOutdated = false;
    std::vector<BYTE> signatureValue;
    std::vector<BYTE> timestampToken;
    std::vector<Countersignature> countersignatures;
    // The content's digest under the signer's digest algorithm (dotted OID), as computed
    // to verify it: a co-signer with the same hash need not hash the content again.
    std::string digestAlgorithm;
    std::vector<BYTE> contentDigest;
};

class Document {
public:
    explicit Document(std::wstring path);
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Reads the file, decrypts it with the current user's keys where it is enveloped and
    // verifies every signature, selecting that of signer `signerIndex` (callers pass 0).
    // True when the content could be recovered, whether or not the signatures match; never
    // throws.
    bool Open(DWORD signerIndex);
    // Open, unless the document has been opened or has failed before; true when it is open.
    bool OpenOnce(DWORD signerIndex = 0);

    const std::wstring& Path() const noexcept { return path_; }
    bool IsOpened() const noexcept { return isOpened_; }
    bool HasFailed() const noexcept { return hasFailed_; }
    // How many SignerInfos the message carries; 0 for an Encrypted Document.
    size_t SignatureCount() const noexcept { return signatures_.size(); }
    size_t SelectedSignature() const noexcept { return selected_; }
    // Makes signature `index` the one the per-signature accessors describe; false, with
    // nothing changed, when there is none of that index.
    bool SelectSignature(size_t index) noexcept;
    // Whether there is a signature and every one of them is valid.
    bool AreAllSignaturesValid() const noexcept;
    bool IsSignatureValid() const noexcept { return Selected().valid; }
    // Why a signature is not valid: it does not match, it names another certificate than
    // the one it verifies with, or its algorithm is not supported.
    SignatureStatus SignatureCheck() const noexcept { return Selected().status; }
    // The algorithm (dotted OID) that stood in the way: of an unsupported signature, or of
    // an envelope that failed with CRYPT_E_UNKNOWN_ALGO. Empty otherwise.
    const std::string& UnsupportedAlgorithm() const noexcept {
        return signatures_.empty() ? unsupportedAlgorithm_ : Selected().unsupportedAlgorithm;
    }
    // Whether the signature's hash is one no longer fit for signatures (SHA-1, MD5 and
    // older); such a document still opens and verifies as before.
    bool IsSignatureAlgorithmOutdated() const noexcept { return Selected().algorithmOutdated; }
    // The platform's code of a failed opening (no key for any recipient, a corrupt message
    // ...), 0 when it failed otherwise or has not failed.
    DWORD FailureCode() const noexcept { return failureCode_; }
    // The signer's certificate as the message carries it, still owned by the document; null
    // for an unsigned (Encrypted) document and before a successful opening.
    PCCERT_CONTEXT SignerCertificate() const noexcept { return Selected().signer.get(); }
    DocumentContent Content() const noexcept { return {content_.Data(), content_.Length()}; }
    // The file as it was read, while the opening left it in place (a Signed Document whose
    // content lies in one piece, as Dossiq writes it); empty otherwise. A co-signer writes
    // the new file from it without reading the file again.
    DocumentContent File() const noexcept {
        return fileIntact_ ? DocumentContent{content_.Whole(), content_.WholeCapacity()}
                           : DocumentContent{};
    }
    // Marks a document that was never opened as failed without reading anything: for a path
    // the system's path rules refuse, which must not be read under another reading of it.
    void Refuse() noexcept { hasFailed_ = !isOpened_; }
    // The signer's signature value, and the time-stamp token its unsigned attributes carry
    // (empty when there is none); both empty before a successful opening.
    const std::vector<BYTE>& SignatureValue() const noexcept { return Selected().signatureValue; }
    const std::vector<BYTE>& SignatureTimestamp() const noexcept {
        return Selected().timestampToken;
    }
    const std::vector<DocumentSignature>& Signatures() const noexcept { return signatures_; }
    // Of an opened envelope, the place of the recipient whose key opened it among
    // ReadEnvelopeRecipients'; kNoRecipient otherwise.
    size_t OpenedRecipient() const noexcept { return openedRecipient_; }

private:
    const DocumentSignature& Selected() const noexcept;

    std::wstring path_;
    bool isOpened_ = false;
    bool hasFailed_ = false;
    // Of an envelope that could not be opened.
    std::string unsupportedAlgorithm_;
    DWORD failureCode_ = 0;
    // Open while the document lives: the signer's own store, holding the certificates and
    // CRLs the message carries (some platforms empty it once closed).
    MHFX::CertStoreHandle messageStore_;
    ContentSection content_;
    bool fileIntact_ = false;
    std::vector<DocumentSignature> signatures_;
    size_t selected_ = 0;
    size_t openedRecipient_ = kNoRecipient;
};

} // namespace Dossiq::Documents
