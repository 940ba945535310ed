// A certificate chain built by the platform's chain engine, with the policy it was built
// under and its elements.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <vector>

#include "certificates/x509_certificate.h"
#include "certificates/x509_chain_element_collection.h"
#include "certificates/x509_chain_policy.h"
#include "certificates/x509_chain_status.h"
#include "foundation/handle.h"

namespace MHFX::Security::Cryptography::X509 {

class X509Chain {
public:
    X509Chain() = default;
    X509Chain(const X509Chain&) = delete;
    X509Chain& operator=(const X509Chain&) = delete;

    // Builds the chain of `certificate` under ChainPolicy. An untrusted chain is not an
    // error; a failing engine call throws Win32Exception.
    void Build(const X509Certificate& certificate);
    // Fills ChainElements from the built chain, every simple chain in order.
    void FillChainElements();
    // The problems of the whole chain; empty when nothing was built.
    std::vector<X509ChainStatus> ChainStatus() const;
    // The chain's overall error-status word, 0 when nothing was built.
    DWORD ErrorStatus() const noexcept;
    // The platform's base policy over the built chain; false when nothing was built.
    bool Verify() const;

    PCCERT_CHAIN_CONTEXT ChainContext() const noexcept { return chainContext_.get(); }

    bool UseMachineContext = false;
    X509ChainElementCollection ChainElements;
    X509ChainPolicy ChainPolicy;

private:
    ChainContextHandle chainContext_;
};

} // namespace MHFX::Security::Cryptography::X509
