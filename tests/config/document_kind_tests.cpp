// The document kinds and creation modes with their names and file-dialog filters.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>

#include "common/language_scope.h"
#include "config/localization.h"
#include "config/preferences.h"
#include "document/creation/create_mode.h"
#include "document/container/document_kind.h"

using namespace Dossiq::Config;
using namespace Dossiq::Documents;

namespace {

class EnglishScope : public TestSupport::LanguageScope {
public:
    explicit EnglishScope(WORD language = LanguageEnglish) : LanguageScope(language) {}
};

TEST(CreateMode, EveryModeMapsToItsKindAndNames) {
    EnglishScope english;
    const struct {
        std::uint32_t mode;
        const wchar_t* extension;
        const wchar_t* name;
        bool quick;
        bool signing;
        bool recipient;
    } cases[] = {
        {0, L"", L"", false, false, false},
        {1, L"snx", L"Signed Document", true, true, false},
        {2, L"snx", L"Signed Document", false, true, false},
        {3, L"enx", L"Encrypted Document", true, false, true},
        {4, L"enx", L"Encrypted Document", false, false, true},
        {5, L"pnx", L"Protected Document", true, true, true},
        {6, L"pnx", L"Protected Document", false, true, true},
        {7, L"", L"", false, false, false},
        {0xFFFFFFFF, L"", L"", false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        const auto mode = static_cast<CreateMode>(c.mode);
        EXPECT_EQ(c.extension, ModeExtension(mode));
        EXPECT_EQ(c.name, ModeDisplayName(mode));
        EXPECT_EQ(*c.extension != 0, ModeKind(mode).has_value());
        EXPECT_EQ(c.quick, IsQuickMode(mode));
        EXPECT_EQ(c.signing, NeedsSigningCertificate(mode));
        EXPECT_EQ(c.recipient, NeedsRecipientCertificate(mode));
    }
}

TEST(DocumentKind, NamesFollowTheLanguageExtensionsDoNot) {
    EnglishScope serbian(LanguageSerbianCyrillic);
    EXPECT_EQ(L"\u0428\u0438\u0444\u0440\u043e\u0432\u0430\u043d\u0438 "
              L"\u0434\u043e\u043a\u0443\u043c\u0435\u043d\u0442",
              KindDisplayName(DocumentKind::Encrypted));
    EXPECT_EQ(L"enx", KindExtension(DocumentKind::Encrypted));
    EXPECT_EQ(L"Za\u0161ti\u0107eni dokument (*.pnx)", [] {
        EnglishScope latin(LanguageSerbianLatin);
        return KindFilter(DocumentKind::Protected).label;
    }());
}

TEST(DocumentKind, FilterPairsAndDialogFilterText) {
    EnglishScope english;
    const FileFilter signedFilter = KindFilter(DocumentKind::Signed);
    EXPECT_EQ(L"Signed Document (*.snx)", signedFilter.label);
    EXPECT_EQ(L"*.snx", signedFilter.pattern);

    const std::wstring expected(L"Signed Document (*.snx)\0*.snx\0"
                                L"Protected Document (*.pnx)\0*.pnx\0\0",
                                23 + 1 + 5 + 1 + 26 + 1 + 5 + 1 + 1);
    EXPECT_EQ(expected, FilterText({DocumentKind::Signed, DocumentKind::Protected}));
}

} // namespace
