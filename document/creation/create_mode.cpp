#include "document/creation/create_mode.h"

namespace Dossiq::Documents {

std::optional<DocumentKind> ModeKind(CreateMode mode) {
    switch (mode) {
    case CreateMode::SignQuick:
    case CreateMode::Sign:
        return DocumentKind::Signed;
    case CreateMode::EncryptQuick:
    case CreateMode::Encrypt:
        return DocumentKind::Encrypted;
    case CreateMode::ProtectQuick:
    case CreateMode::Protect:
        return DocumentKind::Protected;
    }
    return std::nullopt;
}

bool IsQuickMode(CreateMode mode) {
    return ModeKind(mode) && (static_cast<std::uint32_t>(mode) % 2) == 1;
}

bool NeedsSigningCertificate(CreateMode mode) {
    const std::optional<DocumentKind> kind = ModeKind(mode);
    return kind && kind != DocumentKind::Encrypted;
}

bool NeedsRecipientCertificate(CreateMode mode) {
    const std::optional<DocumentKind> kind = ModeKind(mode);
    return kind && kind != DocumentKind::Signed;
}

std::wstring ModeExtension(CreateMode mode) {
    const std::optional<DocumentKind> kind = ModeKind(mode);
    return kind ? KindExtension(*kind) : std::wstring();
}

std::wstring ModeDisplayName(CreateMode mode) {
    const std::optional<DocumentKind> kind = ModeKind(mode);
    return kind ? KindDisplayName(*kind) : std::wstring();
}

} // namespace Dossiq::Documents
