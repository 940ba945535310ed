#include "targets.h"

#include <cstdio>
#include <cstdlib>

namespace DossiqFuzz {

const Target kTargets[8] = {
    {"zip_end_record", ZipEndRecord}, {"zip_central_dir", ZipCentralDir},
    {"zip_entries", ZipEntries},      {"zip_extract", ZipExtract},
    {"der_reader", DerReader},        {"envelope", EnvelopeParser},
    {"tst_info", TstInfoDecoder},     {"unsigned_attributes", UnsignedAttributes},
};

void Violation(const char* what) {
    std::fprintf(stderr, "dossiq fuzz: invariant broken: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

} // namespace DossiqFuzz
