#include "targets/targets.h"

#include "dossiq_fuzz_platform.h"

namespace DossiqFuzz {

void ConfineWrites(const std::string& root) {
    DossiqFuzzSetWriteRoot(root.empty() ? nullptr : root.c_str());
}

} // namespace DossiqFuzz
