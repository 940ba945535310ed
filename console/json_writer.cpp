#include "console/json_writer.h"

#include <cwchar>

#include "foundation/text/readable_text.h"

namespace Dossiq::Console {

std::wstring JsonWriter::Quote(const std::wstring& value) {
    std::wstring text = L"\"";
    for (wchar_t c : value) {
        switch (c) {
        case L'"':
            text += L"\\\"";
            break;
        case L'\\':
            text += L"\\\\";
            break;
        case L'\n':
            text += L"\\n";
            break;
        case L'\r':
            text += L"\\r";
            break;
        case L'\t':
            text += L"\\t";
            break;
        default:
            // Controls, bidirectional controls and line separators as escapes: the value
            // stays exact and the raw file stays safe to look at.
            if (MHFX::IsUnsafeToShow(c)) {
                wchar_t escaped[8];
                std::swprintf(escaped, 8, L"\\u%04x", static_cast<unsigned>(c));
                text += escaped;
            } else {
                text += c;
            }
        }
    }
    return text + L"\"";
}

void JsonWriter::Key(const wchar_t* key) {
    if (!hasItems_.empty()) {
        text_ += hasItems_.back() ? L",\n" : L"\n";
        hasItems_.back() = true;
        text_.append(hasItems_.size() * 2, L' ');
    }
    if (key) {
        text_ += Quote(key) + L": ";
    }
}

void JsonWriter::BeginObject(const wchar_t* key) {
    Key(key);
    text_ += L"{";
    hasItems_.push_back(false);
}

void JsonWriter::EndObject() {
    const bool had = hasItems_.back();
    hasItems_.pop_back();
    if (had) {
        text_ += L"\n";
        text_.append(hasItems_.size() * 2, L' ');
    }
    text_ += L"}";
    if (hasItems_.empty()) {
        text_ += L"\n";
    }
}

void JsonWriter::BeginArray(const wchar_t* key) {
    Key(key);
    text_ += L"[";
    hasItems_.push_back(false);
}

void JsonWriter::EndArray() {
    const bool had = hasItems_.back();
    hasItems_.pop_back();
    if (had) {
        text_ += L"\n";
        text_.append(hasItems_.size() * 2, L' ');
    }
    text_ += L"]";
}

void JsonWriter::String(const wchar_t* key, const std::wstring& value) {
    Key(key);
    text_ += Quote(value);
}

void JsonWriter::Number(const wchar_t* key, std::int64_t value) {
    Key(key);
    text_ += std::to_wstring(value);
}

void JsonWriter::Bool(const wchar_t* key, bool value) {
    Key(key);
    text_ += value ? L"true" : L"false";
}

void JsonWriter::Null(const wchar_t* key) {
    Key(key);
    text_ += L"null";
}

void JsonWriter::StringOrNull(const wchar_t* key, const std::wstring& value) {
    if (value.empty()) {
        Null(key);
    } else {
        String(key, value);
    }
}

void JsonWriter::Strings(const wchar_t* key, const std::vector<std::wstring>& values) {
    BeginArray(key);
    for (const std::wstring& value : values) {
        String(nullptr, value);
    }
    EndArray();
}

} // namespace Dossiq::Console
