// The readers of a signature's time-stamp that run before any signature check: the TSTInfo
// decoder (over a whole token and over a bare TSTInfo), and the unsigned-attributes reader
// and re-encoder that puts a token into a signer.
#include "targets.h"

#include "document/container/der.h"
#include "document/container/signer_attributes.h"
#include "document/timestamp/timestamp_problem.h"
#include "document/timestamp/tst_info.h"

#include <vector>

using namespace Dossiq::Documents;

namespace DossiqFuzz {

namespace {

// 1601 to 9999: what a four-digit year can give.
constexpr unsigned long long kLatestTime = 2650467743999999999ull;

void CheckTstInfo(const BYTE* data, size_t size) {
    try {
        const TstInfo info = DecodeTstInfo(data, size);
        if (info.imprint.size() != ImprintLength(info.imprintHash) || info.nonce.size() > size ||
            info.genTime > kLatestTime) {
            Violation("TSTInfo fields beyond what the input holds");
        }
    } catch (const TimestampError& e) {
        if (e.Problem() != TimestampProblem::Malformed &&
            e.Problem() != TimestampProblem::UnsupportedImprint) {
            Violation("TSTInfo refused for a reason it cannot have");
        }
    }
}

} // namespace

int TstInfoDecoder(const uint8_t* data, size_t size) {
    CheckTstInfo(data, size);
    try {
        const Der::Element inner = EncapsulatedTstInfo(data, size);
        if (inner.content < data || inner.content + inner.length > data + size) {
            Violation("TSTInfo outside its token");
        }
        CheckTstInfo(inner.content, inner.length);
    } catch (const TimestampError& e) {
        if (e.Problem() != TimestampProblem::Malformed) {
            Violation("token refused for a reason it cannot have");
        }
    }
    return 0;
}

int UnsignedAttributes(const uint8_t* data, size_t size) {
    static const std::vector<BYTE> oid = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D,
                                          0x01, 0x09, 0x10, 0x02, 0x0E};
    static const std::vector<BYTE> value = {0x30, 0x03, 0x02, 0x01, 0x07};
    const std::vector<BYTE> signature = FirstSignatureValue(data, size);
    const std::vector<BYTE> extended = WithUnsignedAttribute(data, size, oid, value);
    if (extended.empty()) {
        return 0;
    }
    // What the signature covers never moves; the result is one whole DER element that takes
    // another attribute the same way.
    if (FirstSignatureValue(extended.data(), extended.size()) != signature) {
        Violation("adding an unsigned attribute changed the signature value");
    }
    Der::Reader reader(extended.data(), extended.size());
    Der::Element whole;
    if (!reader.Next(whole) || whole.size != extended.size()) {
        Violation("re-encoded SignedData is not one element");
    }
    if (WithUnsignedAttribute(extended.data(), extended.size(), oid, value).empty()) {
        Violation("re-encoded SignedData no longer reads");
    }
    return 0;
}

} // namespace DossiqFuzz
