#include "document/timestamp/signature_stamper.h"

#include "document/timestamp/timestamp_client.h"
#include "foundation/win32_exception.h"

namespace Dossiq::Documents {

SignatureStamper TimestampStamper(const std::wstring& url, UnstampedChoice signWithout) {
    if (url.empty()) {
        return {};
    }
    return [url, signWithout](const std::vector<BYTE>& signature) {
        try {
            return RequestSignatureTimestamp(url, signature);
        } catch (const TimestampError& e) {
            if (signWithout && signWithout(e.Problem())) {
                return std::vector<BYTE>();
            }
        }
        throw MHFX::Win32Exception(ERROR_CANCELLED);
    };
}

} // namespace Dossiq::Documents
