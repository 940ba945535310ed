// OCSP responses a signed container keeps beside its CRLs (RFC 5940: a RevocationInfoChoice
// `other` of type id-ri-ocsp-response). The platform's message store holds only certificates
// and CRLs, so the responses ride on the store as a property of their own.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <vector>

namespace MHFX::Security::Cryptography::X509 {

// The encoded OtherRevocationInfoFormat element ([1] IMPLICIT) that keeps `response`.
std::vector<BYTE> KeptResponseElement(const std::vector<BYTE>& response);

// The SignedData fields that follow its encapsulated content (certificates, crls,
// signerInfos) with the kept responses taken out of crls into `responses`; the fields as they
// are when they cannot be read.
std::vector<BYTE> WithoutKeptResponses(const BYTE* fields, size_t length,
                                       std::vector<std::vector<BYTE>>& responses);

// Attaches `responses` to `store`, at most the first few.
void AttachKeptResponses(HCERTSTORE store, const std::vector<std::vector<BYTE>>& responses);

// The responses attached to `store`, at most the first few; empty without any.
std::vector<std::vector<BYTE>> KeptResponses(HCERTSTORE store);

} // namespace MHFX::Security::Cryptography::X509
