#pragma once

#include <vector>

#include "certificates/x509_certificate.h"

namespace MHFX::Security::Cryptography::X509 {

// An ordered list of certificates, each holding its own reference.
class X509CertificateCollection {
public:
    void Add(X509Certificate certificate) { items_.push_back(std::move(certificate)); }
    size_t Count() const { return items_.size(); }
    bool Empty() const { return items_.empty(); }
    const X509Certificate& operator[](size_t index) const { return items_.at(index); }
    void Clear() { items_.clear(); }

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    std::vector<X509Certificate> items_;
};

} // namespace MHFX::Security::Cryptography::X509
