#pragma once

#include <vector>

#include "certificates/x509_extension.h"

namespace MHFX::Security::Cryptography::X509 {

// The extensions of a certificate in the order the certificate holds them.
class X509ExtensionCollection {
public:
    void Add(X509Extension extension) { items_.push_back(std::move(extension)); }
    size_t Count() const { return items_.size(); }
    bool Empty() const { return items_.empty(); }
    const X509Extension& operator[](size_t index) const { return items_.at(index); }

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    std::vector<X509Extension> items_;
};

} // namespace MHFX::Security::Cryptography::X509
