// One container file as the system sees it after opening: whether the opening succeeded,
// whether the signature is valid, who signed it, and the decoded content (the ZIP archive)
// in a page-file-backed section owned by the document.
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
#include "document/container/signature_verifier.h"
#include "foundation/handle.h"

namespace Dossiq::Documents {

// The decoded archive bytes, valid while the Document lives.
struct DocumentContent {
    const BYTE* data = nullptr;
    DWORD length = 0;

    explicit operator bool() const noexcept { return data != nullptr && length != 0; }
};

class Document {
public:
    explicit Document(std::wstring path);
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Reads the file, decrypts it with the current user's keys where it is enveloped and
    // verifies the signature of signer `signerIndex` (callers pass 0). True when the content
    // could be recovered, whether or not the signature matches; never throws.
    bool Open(DWORD signerIndex);
    // Open, unless the document has been opened or has failed before; true when it is open.
    bool OpenOnce(DWORD signerIndex = 0);

    const std::wstring& Path() const noexcept { return path_; }
    bool IsOpened() const noexcept { return isOpened_; }
    bool HasFailed() const noexcept { return hasFailed_; }
    bool IsSignatureValid() const noexcept { return isSignatureValid_; }
    // Why a signature is not valid: it does not match, it names another certificate than
    // the one it verifies with, or its algorithm is not supported.
    SignatureStatus SignatureCheck() const noexcept { return signatureStatus_; }
    // The algorithm (dotted OID) that stood in the way: of an unsupported signature, or of
    // an envelope that failed with CRYPT_E_UNKNOWN_ALGO. Empty otherwise.
    const std::string& UnsupportedAlgorithm() const noexcept { return unsupportedAlgorithm_; }
    // Whether the signature's hash is one no longer fit for signatures (SHA-1, MD5 and
    // older); such a document still opens and verifies as before.
    bool IsSignatureAlgorithmOutdated() const noexcept { return isSignatureAlgorithmOutdated_; }
    // The platform's code of a failed opening (no key for any recipient, a corrupt message
    // ...), 0 when it failed otherwise or has not failed.
    DWORD FailureCode() const noexcept { return failureCode_; }
    // The signer's certificate as the message carries it, still owned by the document; null
    // for an unsigned (Encrypted) document and before a successful opening.
    PCCERT_CONTEXT SignerCertificate() const noexcept { return signer_.get(); }
    DocumentContent Content() const noexcept { return {content_.Data(), content_.Length()}; }
    // Marks a document that was never opened as failed without reading anything: for a path
    // the system's path rules refuse, which must not be read under another reading of it.
    void Refuse() noexcept { hasFailed_ = !isOpened_; }
    // The signer's signature value, and the time-stamp token its unsigned attributes carry
    // (empty when there is none); both empty before a successful opening.
    const std::vector<BYTE>& SignatureValue() const noexcept { return signatureValue_; }
    const std::vector<BYTE>& SignatureTimestamp() const noexcept { return timestampToken_; }

private:
    std::wstring path_;
    bool isOpened_ = false;
    bool hasFailed_ = false;
    bool isSignatureValid_ = false;
    SignatureStatus signatureStatus_ = SignatureStatus::Invalid;
    std::string unsupportedAlgorithm_;
    bool isSignatureAlgorithmOutdated_ = false;
    DWORD failureCode_ = 0;
    // Open while the document lives: the signer's own store, holding the certificates and
    // CRLs the message carries (some platforms empty it once closed).
    MHFX::CertStoreHandle messageStore_;
    MHFX::CertContextHandle signer_;
    ContentSection content_;
    std::vector<BYTE> signatureValue_;
    std::vector<BYTE> timestampToken_;
};

} // namespace Dossiq::Documents
