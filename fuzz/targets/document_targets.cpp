// Our DER reader and the envelope parser behind it.
#include "targets.h"

#include "document/container/der.h"
#include "document/container/envelope.h"

#include <vector>

using namespace Dossiq::Documents;

namespace DossiqFuzz {

namespace {

constexpr int kMaxDepth = 64;

void Walk(const uint8_t* begin, const uint8_t* end, Der::Reader reader, int depth) {
    Der::Element element;
    while (reader.Next(element)) {
        if (element.begin < begin || element.content < element.begin ||
            element.content + element.length != element.begin + element.size ||
            element.begin + element.size > end) {
            Violation("DER element outside its parent");
        }
        static_cast<void>(element.IsOid(Der::kOidEnvelopedData));
        // Constructed elements hold elements; so may an OCTET STRING.
        if (depth < kMaxDepth && ((element.tag & 0x20) != 0 || element.Is(Der::kOctetString))) {
            Walk(element.content, element.content + element.length, Der::Reader(element),
                 depth + 1);
        }
    }
    if (reader.Failed() == reader.AtEnd() && !reader.Failed()) {
        // A reader that stops early must say why.
        Violation("DER reader stopped without failing");
    }
}

} // namespace

int DerReader(const uint8_t* data, size_t size) {
    Walk(data, data + size, Der::Reader(data, size), 0);
    return 0;
}

int EnvelopeParser(const uint8_t* data, size_t size) {
    const auto length = static_cast<DWORD>(size);
    const bool enveloped = IsEnvelopedData(data, length);
    ContentSection content;
    std::vector<BYTE> innerType;
    const EnvelopeResult result = OpenEnvelope(data, length, nullptr, content, innerType);
    if (!enveloped && result != EnvelopeResult::NotEnvelope) {
        Violation("something other than an envelope was opened");
    }
    if (result == EnvelopeResult::Opened &&
        (!content.Valid() || content.Length() > size || innerType.size() > size)) {
        Violation("opened content larger than the message");
    }
    if (result != EnvelopeResult::Opened && content.Valid()) {
        Violation("failed opening kept its content");
    }
    return 0;
}

} // namespace DossiqFuzz
