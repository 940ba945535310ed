// The codes of the creation commands. Odd codes are the quick commands (automatic output
// name), even codes let the user pick the output file. Any other value selects nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "document/container/document_kind.h"

namespace Dossiq::Documents {

enum class CreateMode : std::uint32_t {
    SignQuick = 1,
    Sign = 2,
    EncryptQuick = 3,
    Encrypt = 4,
    ProtectQuick = 5,
    Protect = 6,
};

// The kind a mode produces; none outside 1 to 6.
std::optional<DocumentKind> ModeKind(CreateMode mode);
bool IsQuickMode(CreateMode mode);
bool NeedsSigningCertificate(CreateMode mode);
bool NeedsRecipientCertificate(CreateMode mode);

// Extension and display name of the mode's kind; empty outside 1 to 6.
std::wstring ModeExtension(CreateMode mode);
std::wstring ModeDisplayName(CreateMode mode);

} // namespace Dossiq::Documents
