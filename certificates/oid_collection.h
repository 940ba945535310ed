#pragma once

#include <vector>

#include "certificates/oid.h"

namespace MHFX::Security::Cryptography::X509 {

class OidCollection {
public:
    void Add(Oid oid) { items_.push_back(std::move(oid)); }
    size_t Count() const { return items_.size(); }
    bool Empty() const { return items_.empty(); }
    const Oid& operator[](size_t index) const { return items_.at(index); }
    void Clear() { items_.clear(); }

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    std::vector<Oid> items_;
};

} // namespace MHFX::Security::Cryptography::X509
