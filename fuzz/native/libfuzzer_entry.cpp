// One libFuzzer program per target: DOSSIQ_FUZZ_ENTRY names the target function.
#include "targets/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return DossiqFuzz::DOSSIQ_FUZZ_ENTRY(data, size);
}
