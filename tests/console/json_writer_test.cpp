// The writer of dossiq.exe's JSON report, in this process: its layout and its escapes.
#include <gtest/gtest.h>

#include "console/json_writer.h"

using Dossiq::Console::JsonWriter;

TEST(JsonWriter, IndentsTwoSpacesAndWritesEmptyContainersOnOneLine) {
    JsonWriter json;
    json.BeginObject();
    json.String(L"format", L"x");
    json.Number(L"size", -12);
    json.Bool(L"passed", false);
    json.StringOrNull(L"email", L"");
    json.Strings(L"none", {});
    json.BeginArray(L"list");
    json.BeginObject();
    json.EndObject();
    json.String(nullptr, L"a");
    json.EndArray();
    json.EndObject();
    EXPECT_EQ(L"{\n"
              L"  \"format\": \"x\",\n"
              L"  \"size\": -12,\n"
              L"  \"passed\": false,\n"
              L"  \"email\": null,\n"
              L"  \"none\": [],\n"
              L"  \"list\": [\n"
              L"    {},\n"
              L"    \"a\"\n"
              L"  ]\n"
              L"}\n",
              json.Text());
}

TEST(JsonWriter, QuoteEscapesWhatIsUnsafeToShowAndKeepsTheRest) {
    const struct {
        std::wstring value;
        std::wstring quoted;
    } cases[] = {
        {L"a\"b\\c", L"\"a\\\"b\\\\c\""},
        {L"\r\n\t", L"\"\\r\\n\\t\""},
        {std::wstring(1, L'\x01') + L"\x7f", L"\"\\u0001\\u007f\""},
        {L"a\x202e"
         L"b\x2028\x2029",
         L"\"a\\u202eb\\u2028\\u2029\""},
        {L"\x0161\x0107 \x0434\x043e\x043a", L"\"\x0161\x0107 \x0434\x043e\x043a\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.quoted, JsonWriter::Quote(c.value));
    }
}
