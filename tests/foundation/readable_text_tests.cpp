// What a person may be shown of a stranger's text: controls and reordering characters spelled
// out, everything else (right-to-left marks included) as it was.
#include <gtest/gtest.h>

#include "foundation/text/readable_text.h"

using MHFX::ReadableText;

TEST(ReadableText, SpellsOutControlsAndReorderingCharactersOnly) {
    const struct {
        const wchar_t* text;
        const wchar_t* shown;
    } cases[] = {
        {L"plain \u010Di\u0107 \u05D0\u05D1.txt", L"plain \u010Di\u0107 \u05D0\u05D1.txt"},
        {L"\x1B[2K\r\nPASSED\t", L"\\x1B[2K\\x0D\\x0APASSED\\x09"},
        {L"\x7F\x80\x9B\x9F\xA0", L"\\x7F\\x80\\x9B\\x9F\xA0"},
        {L"invoice\u202Efdp.exe", L"invoice[U+202E]fdp.exe"},
        {L"\u202A\u202B\u202C\u202D\u2066\u2067\u2068\u2069",
         L"[U+202A][U+202B][U+202C][U+202D][U+2066][U+2067][U+2068][U+2069]"},
        {L"a\u2028b\u2029c", L"a[U+2028]b[U+2029]c"},
        // Marks reorder nothing and right-to-left names need them.
        {L"\u200E\u200F\u061C\u2069x", L"\u200E\u200F\u061C[U+2069]x"},
        {L"\u2065\u206A\u2027\u202F", L"\u2065\u206A\u2027\u202F"},
        {L"", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.shown, ReadableText(c.text));
        // Spelling out twice changes nothing more.
        EXPECT_EQ(c.shown, ReadableText(c.shown));
    }
}
