#include "document/container/document_kind.h"

#include "resources/common/localized_ids.h"
#include "config/localization.h"
#include "foundation/resource_string.h"

using namespace Dossiq::Config;

namespace Dossiq::Documents {

namespace {

UINT ExtensionId(DocumentKind kind) {
    switch (kind) {
    case DocumentKind::Signed:
        return IDS_EXT_SIGNED;
    case DocumentKind::Protected:
        return IDS_EXT_PROTECTED;
    case DocumentKind::Encrypted:
        return IDS_EXT_ENCRYPTED;
    }
    return 0;
}

UINT DisplayNameId(DocumentKind kind) {
    switch (kind) {
    case DocumentKind::Signed:
        return IDS_KIND_SIGNED;
    case DocumentKind::Protected:
        return IDS_KIND_PROTECTED;
    case DocumentKind::Encrypted:
        return IDS_KIND_ENCRYPTED;
    }
    return 0;
}

} // namespace

std::wstring KindExtension(DocumentKind kind) {
    return MHFX::LoadNeutralString(ExtensionId(kind));
}

std::wstring KindDisplayName(DocumentKind kind) {
    return LoadLocalizedString(DisplayNameId(kind));
}

FileFilter KindFilter(DocumentKind kind) {
    const std::wstring extension = KindExtension(kind);
    FileFilter filter;
    filter.label = MHFX::FormatString(MHFX::LoadNeutralString(IDS_FILTER_LABEL_FORMAT),
                                      KindDisplayName(kind).c_str(), extension.c_str());
    filter.pattern =
        MHFX::FormatString(MHFX::LoadNeutralString(IDS_FILTER_PATTERN_FORMAT), extension.c_str());
    return filter;
}

std::wstring FilterText(std::initializer_list<DocumentKind> kinds) {
    std::wstring text;
    for (DocumentKind kind : kinds) {
        const FileFilter filter = KindFilter(kind);
        text += filter.label;
        text += L'\0';
        text += filter.pattern;
        text += L'\0';
    }
    text += L'\0';
    return text;
}

} // namespace Dossiq::Documents
