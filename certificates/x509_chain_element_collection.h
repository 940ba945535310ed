#pragma once

#include <vector>

#include "certificates/x509_chain_element.h"

namespace MHFX::Security::Cryptography::X509 {

class X509ChainElementCollection {
public:
    void Add(X509ChainElement element) { items_.push_back(std::move(element)); }
    size_t Count() const { return items_.size(); }
    bool Empty() const { return items_.empty(); }
    const X509ChainElement& operator[](size_t index) const { return items_.at(index); }
    void Clear() { items_.clear(); }

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    std::vector<X509ChainElement> items_;
};

} // namespace MHFX::Security::Cryptography::X509
