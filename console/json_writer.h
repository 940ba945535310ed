// A JSON document written as it is walked: objects, arrays, strings and numbers, indented
// two spaces, strings escaped so that the UTF-8 form is valid JSON and safe to look at:
// control characters, bidirectional controls and U+2028/U+2029 are written as \u escapes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Dossiq::Console {

class JsonWriter {
public:
    void BeginObject(const wchar_t* key = nullptr);
    void EndObject();
    void BeginArray(const wchar_t* key = nullptr);
    void EndArray();
    void String(const wchar_t* key, const std::wstring& value);
    void Number(const wchar_t* key, std::int64_t value);
    void Bool(const wchar_t* key, bool value);
    void Null(const wchar_t* key);
    // A string, or null when `value` is empty.
    void StringOrNull(const wchar_t* key, const std::wstring& value);
    void Strings(const wchar_t* key, const std::vector<std::wstring>& values);

    const std::wstring& Text() const { return text_; }

    static std::wstring Quote(const std::wstring& value);

private:
    void Key(const wchar_t* key);

    std::wstring text_;
    std::vector<bool> hasItems_; // per open container
};

} // namespace Dossiq::Console
