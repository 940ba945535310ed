// A SignedData (RFC 5652) written here in DER, for a first signature as for a parallel one,
// so that no platform encoder holds copies of the content: the content (or an existing
// message's encapsulated content and SignerInfos) is referred to where it lies and only
// copied once, into the output. Signing asks the platform for nothing but the signature
// value over the signed attributes.
//
// Sets are written sorted, as DER asks (digest algorithms, signed attributes, certificates,
// revocation data), duplicates once. SignerInfos are the exception: they keep the order they
// were signed in, which is how a report numbers the signatures, and an existing SignerInfo
// is kept byte for byte with its unsigned attributes.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "document/container/validation_data.h"

namespace Dossiq::Documents {

// Asked, once the signature is made, for a time-stamp token over its value; returns the
// token (empty: sign without one) or throws Win32Exception to stop the signing.
using SignatureStamper = std::function<std::vector<BYTE>(const std::vector<BYTE>& signature)>;

// Asked after the stamper for the validation data to keep beside the signature, given the
// signer and the token (empty: none came); throws Win32Exception to stop the signing.
using ValidationDataSource =
    std::function<ValidationData(PCCERT_CONTEXT signer, const std::vector<BYTE>& token)>;

class SignedDataEncoder {
public:
    // One stretch of the encoding, in the encoder's own memory or the caller's.
    struct Piece {
        const BYTE* data;
        size_t length;
    };

    // A SignedData over `content` (id-data, one OCTET STRING) without signers yet. The
    // content is not copied: it must outlive the encoder.
    SignedDataEncoder(const BYTE* content, size_t length);
    // The bare SignedData `encoding` (definite lengths, id-data content) to be extended, its
    // fields referred to where they lie; false when it is not one.
    static bool Read(const BYTE* encoding, size_t length, SignedDataEncoder& encoder);
    // An empty encoder, for Read to fill.
    SignedDataEncoder() = default;

    // The content's digest under `hashOid`, over the content as it lies.
    std::vector<BYTE> ContentDigest(const std::string& hashOid) const;

    // A new SignerInfo by `signer` (issuer and serial number, `hashOid`, RSA) after the
    // others, its certificate and the data of `source` joining the message. `contentDigest`
    // saves the pass over the content when it is known already. Throws Win32Exception:
    // kErrorSigningKeyHashUnsupported for a key that cannot hash with `hashOid`, NTE_BAD_ALGID
    // for a key that is not RSA.
    void AddSigner(PCCERT_CONTEXT signer, const std::string& hashOid,
                   const SignatureStamper& stamper, const ValidationDataSource& source,
                   std::vector<BYTE> contentDigest = {});
    // The SignerInfos, certificates, revocation data and digest algorithms of another bare
    // SignedData over the same content, its signers after ours; false when it is none.
    bool Join(const BYTE* encoding, size_t length);
    void AddValidationData(const ValidationData& data);

    // The bare encoding, valid until the encoder changes or goes.
    const std::vector<Piece>& Encode();
    size_t Length() const noexcept;
    // Copies what Encode() laid out to `out`, Length() bytes.
    void Write(BYTE* out) const;

    // The ContentInfo's header before a bare SignedData of `length` bytes.
    static std::vector<BYTE> ContentInfoHeader(size_t length);

private:
    BYTE version_ = 1;
    std::vector<std::vector<BYTE>> digestAlgorithms_;
    // The encapsulated content: kept whole when read, else written around `content_`.
    Piece kept_ = {nullptr, 0};
    Piece content_ = {nullptr, 0};
    std::vector<Piece> contentPieces_;
    std::vector<std::vector<BYTE>> certificates_;
    std::vector<std::vector<BYTE>> crls_;
    std::vector<Piece> keptSigners_;
    std::vector<std::vector<BYTE>> newSigners_;
    // What Encode() laid out.
    std::vector<BYTE> outer_, before_, after_;
    std::vector<Piece> pieces_;
};

} // namespace Dossiq::Documents
