// Which characters of an entry name are spelled out before it is shown or written.
#include <gtest/gtest.h>

#include "document/container/visible_name.h"

using namespace Dossiq::Documents;

namespace {

TEST(VisibleName, OnlyEmbeddingsOverridesAndIsolatesAreSpelledOut) {
    const struct {
        const wchar_t* stored;
        const wchar_t* visible;
    } cases[] = {
        // A Hebrew name with RLM and LRM, an Arabic one with ALM: written as stored.
        {L"\u05D3\u05D5\u05D7\u200F-2024\u200E.pdf", L"\u05D3\u05D5\u05D7\u200F-2024\u200E.pdf"},
        {L"\u062A\u0642\u0631\u064A\u0631\u061C (1).docx",
         L"\u062A\u0642\u0631\u064A\u0631\u061C (1).docx"},
        {L"invoice\u202Efdp.exe", L"invoice[U+202E]fdp.exe"},
        {L"\u202A\u202B\u202C\u202D", L"[U+202A][U+202B][U+202C][U+202D]"},
        {L"a\u2066b\u2067c\u2068d\u2069", L"a[U+2066]b[U+2067]c[U+2068]d[U+2069]"},
        // Neighbours of the ranges stay.
        {L"\u2029\u202F\u2065\u206A\u200D", L"\u2029\u202F\u2065\u206A\u200D"},
        // Marks beside an override: only the override is spelled out.
        {L"\u200F\u05D0\u202Etxt.exe", L"\u200F\u05D0[U+202E]txt.exe"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.visible, MakeBidiVisible(c.stored));
        EXPECT_EQ(std::wstring(c.visible) != c.stored, HasBidiControls(c.stored));
    }
}

} // namespace
