#include "shell/registry_script.h"

#include <cwctype>
#include <memory>
#include <new>

#include "foundation/handle.h"

namespace Dossiq::Shell {

namespace {

enum class Flag { None, NoRemove, ForceRemove, Delete };

struct Node {
    bool isValue = false; // a `val` entry
    Flag flag = Flag::None;
    std::wstring name;
    bool hasData = false; // a key's default value, or the named value's data
    DWORD type = REG_SZ;
    std::vector<BYTE> data;
    std::vector<Node> children;
};

struct Root {
    HKEY key;
    std::vector<Node> children;
};

struct SyntaxFailure {};

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring Substitute(std::wstring_view script, const RegistryScript::Replacements& table) {
    std::wstring out;
    for (std::size_t i = 0; i < script.size(); ++i) {
        if (script[i] != L'%') {
            out += script[i];
            continue;
        }
        const std::size_t end = script.find(L'%', i + 1);
        if (end == std::wstring_view::npos) {
            throw SyntaxFailure();
        }
        const std::wstring_view name = script.substr(i + 1, end - i - 1);
        if (name.empty()) {
            out += L'%';
        } else {
            bool found = false;
            for (const auto& [key, value] : table) {
                if (EqualsIgnoringCase(key, name)) {
                    out += value;
                    found = true;
                    break;
                }
            }
            if (!found) {
                throw SyntaxFailure();
            }
        }
        i = end;
    }
    return out;
}

struct Token {
    std::wstring text;
    bool quoted = false;
    bool Is(const wchar_t* word) const { return !quoted && text == word; }
};

std::vector<Token> Tokenize(const std::wstring& text) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        if (std::iswspace(text[i])) {
            ++i;
            continue;
        }
        Token token;
        if (text[i] == L'\'') {
            token.quoted = true;
            for (++i;; ++i) {
                if (i >= text.size()) {
                    throw SyntaxFailure();
                }
                if (text[i] == L'\'') {
                    if (i + 1 < text.size() && text[i + 1] == L'\'') {
                        token.text += L'\'';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                token.text += text[i];
            }
        } else if (text[i] == L'=') {
            token.text = L"=";
            ++i;
        } else {
            // A brace alone is a block; glued to other characters it is part of a name,
            // as in {ACE88176-...}.
            const std::size_t start = i;
            while (i < text.size() && !std::iswspace(text[i]) && !(text[i] == L'=' && i > start)) {
                ++i;
            }
            token.text = text.substr(start, i - start);
        }
        tokens.push_back(std::move(token));
    }
    return tokens;
}

class Parser {
public:
    explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

    std::vector<Root> Parse() {
        std::vector<Root> roots;
        while (!AtEnd()) {
            Root root{RootKey(Next()), {}};
            Expect(L"{");
            root.children = Block();
            roots.push_back(std::move(root));
        }
        return roots;
    }

private:
    bool AtEnd() const { return position_ >= tokens_.size(); }
    const Token& Peek() const {
        if (AtEnd())
            throw SyntaxFailure();
        return tokens_[position_];
    }
    const Token& Next() {
        const Token& token = Peek();
        ++position_;
        return token;
    }
    void Expect(const wchar_t* word) {
        if (!Next().Is(word))
            throw SyntaxFailure();
    }

    static HKEY RootKey(const Token& token) {
        static const struct {
            const wchar_t* shortName;
            const wchar_t* longName;
            HKEY key;
        } roots[] = {{L"HKCR", L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
                     {L"HKCU", L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
                     {L"HKLM", L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
                     {L"HKU", L"HKEY_USERS", HKEY_USERS}};
        for (const auto& root : roots) {
            if (!token.quoted && (EqualsIgnoringCase(token.text, root.shortName) ||
                                  EqualsIgnoringCase(token.text, root.longName))) {
                return root.key;
            }
        }
        throw SyntaxFailure();
    }

    // Entries up to and including the closing brace.
    std::vector<Node> Block() {
        std::vector<Node> nodes;
        while (!Peek().Is(L"}")) {
            nodes.push_back(Entry());
        }
        Next();
        return nodes;
    }

    Node Entry() {
        Node node;
        const Token* token = &Next();
        if (token->quoted == false && EqualsIgnoringCase(token->text, L"val")) {
            node.isValue = true;
            node.name = Name(Next());
            Expect(L"=");
            Data(node);
            return node;
        }
        static const struct {
            const wchar_t* word;
            Flag flag;
        } flags[] = {{L"NoRemove", Flag::NoRemove},
                     {L"ForceRemove", Flag::ForceRemove},
                     {L"Delete", Flag::Delete}};
        for (const auto& f : flags) {
            if (!token->quoted && EqualsIgnoringCase(token->text, f.word)) {
                node.flag = f.flag;
                token = &Next();
                break;
            }
        }
        node.name = Name(*token);
        if (!AtEnd() && Peek().Is(L"=")) {
            Next();
            Data(node);
        }
        if (!AtEnd() && Peek().Is(L"{")) {
            Next();
            node.children = Block();
        }
        return node;
    }

    static std::wstring Name(const Token& token) {
        if (token.text.empty() ||
            (!token.quoted && (token.text == L"{" || token.text == L"}" || token.text == L"="))) {
            throw SyntaxFailure();
        }
        return token.text;
    }

    void Data(Node& node) {
        const Token& type = Next();
        const Token& value = Next();
        if (type.quoted || value.Is(L"{") || value.Is(L"}")) {
            throw SyntaxFailure();
        }
        node.hasData = true;
        if (EqualsIgnoringCase(type.text, L"s") || EqualsIgnoringCase(type.text, L"e")) {
            node.type = EqualsIgnoringCase(type.text, L"s") ? REG_SZ : REG_EXPAND_SZ;
            const BYTE* bytes = reinterpret_cast<const BYTE*>(value.text.c_str());
            node.data.assign(bytes, bytes + (value.text.size() + 1) * sizeof(wchar_t));
        } else if (EqualsIgnoringCase(type.text, L"d")) {
            node.type = REG_DWORD;
            wchar_t* end = nullptr;
            const unsigned long number = std::wcstoul(value.text.c_str(), &end, 0);
            if (value.text.empty() || *end != L'\0')
                throw SyntaxFailure();
            const DWORD dword = number;
            const BYTE* bytes = reinterpret_cast<const BYTE*>(&dword);
            node.data.assign(bytes, bytes + sizeof(dword));
        } else if (EqualsIgnoringCase(type.text, L"b")) {
            node.type = REG_BINARY;
            if (value.text.size() % 2 != 0)
                throw SyntaxFailure();
            for (std::size_t i = 0; i < value.text.size(); i += 2) {
                wchar_t* end = nullptr;
                const std::wstring pair = value.text.substr(i, 2);
                const unsigned long byte = std::wcstoul(pair.c_str(), &end, 16);
                if (*end != L'\0' || !std::iswxdigit(pair[0]))
                    throw SyntaxFailure();
                node.data.push_back(static_cast<BYTE>(byte));
            }
        } else {
            throw SyntaxFailure();
        }
    }

    std::vector<Token> tokens_;
    std::size_t position_ = 0;
};

struct RegistryFailure {
    LSTATUS status;
};

void Check(LSTATUS status) {
    if (status != ERROR_SUCCESS)
        throw RegistryFailure{status};
}

bool IsMissing(LSTATUS status) {
    return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND;
}

void DeleteTree(HKEY parent, const std::wstring& name) {
    const LSTATUS status = ::RegDeleteTreeW(parent, name.c_str());
    if (!IsMissing(status))
        Check(status);
    const LSTATUS key = ::RegDeleteKeyW(parent, name.c_str());
    if (!IsMissing(key))
        Check(key);
}

void SetData(HKEY key, const wchar_t* name, const Node& node) {
    Check(::RegSetValueExW(key, name, 0, node.type, node.data.data(),
                           static_cast<DWORD>(node.data.size())));
}

void DeleteValue(HKEY key, const wchar_t* name) {
    const LSTATUS status = ::RegDeleteValueW(key, name);
    if (!IsMissing(status))
        Check(status);
}

void CountContent(HKEY key, DWORD& subkeys, DWORD& values) {
    Check(::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                             nullptr, nullptr, nullptr, nullptr));
}

void Register(HKEY parent, const std::vector<Node>& nodes);
void Unregister(HKEY parent, const std::vector<Node>& nodes);

void RegisterKey(HKEY parent, const Node& node) {
    if (node.flag == Flag::Delete) {
        DeleteTree(parent, node.name);
        return;
    }
    if (node.flag == Flag::ForceRemove) {
        DeleteTree(parent, node.name);
    }
    MHFX::RegKeyHandle key;
    DWORD disposition = 0;
    Check(::RegCreateKeyExW(parent, node.name.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                            key.put(), &disposition));
    if (node.flag == Flag::None && disposition == REG_OPENED_EXISTING_KEY) {
        DWORD subkeys = 0;
        DWORD values = 0;
        CountContent(key.get(), subkeys, values);
        if (subkeys == 0 && values == 0) {
            const DWORD one = 1;
            Check(::RegSetValueExW(key.get(), RegistryScript::KeepMarker, 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&one), sizeof(one)));
        }
    }
    if (node.hasData) {
        SetData(key.get(), nullptr, node);
    }
    Register(key.get(), node.children);
}

void Register(HKEY parent, const std::vector<Node>& nodes) {
    for (const Node& node : nodes) {
        if (node.isValue) {
            SetData(parent, node.name.c_str(), node);
        } else {
            RegisterKey(parent, node);
        }
    }
}

void UnregisterKey(HKEY parent, const Node& node) {
    if (node.flag == Flag::Delete) {
        return;
    }
    if (node.flag == Flag::ForceRemove) {
        DeleteTree(parent, node.name);
        return;
    }
    MHFX::RegKeyHandle key;
    const LSTATUS opened =
        ::RegOpenKeyExW(parent, node.name.c_str(), 0, KEY_READ | KEY_WRITE, key.put());
    if (IsMissing(opened)) {
        return;
    }
    Check(opened);
    Unregister(key.get(), node.children);
    if (node.flag == Flag::NoRemove) {
        return;
    }
    if (node.hasData) {
        DeleteValue(key.get(), nullptr);
    }
    DWORD subkeys = 0;
    DWORD values = 0;
    CountContent(key.get(), subkeys, values);
    if (subkeys != 0) {
        return;
    }
    if (values == 0) {
        key.reset();
        const LSTATUS status = ::RegDeleteKeyW(parent, node.name.c_str());
        if (!IsMissing(status))
            Check(status);
    } else if (values == 1 && ::RegQueryValueExW(key.get(), RegistryScript::KeepMarker, nullptr,
                                                 nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        DeleteValue(key.get(), RegistryScript::KeepMarker);
    }
}

void Unregister(HKEY parent, const std::vector<Node>& nodes) {
    for (const Node& node : nodes) {
        if (node.isValue) {
            DeleteValue(parent, node.name.c_str());
        } else {
            UnregisterKey(parent, node);
        }
    }
}

} // namespace

HRESULT RegistryScript::Run(std::wstring_view script, const Replacements& replacements,
                            bool registering, bool perUser) noexcept {
    try {
        std::vector<Root> roots;
        try {
            roots = Parser(Tokenize(Substitute(script, replacements))).Parse();
        } catch (const SyntaxFailure&) {
            return SyntaxError;
        }
        for (Root& root : roots) {
            if (perUser && root.key == HKEY_CLASSES_ROOT) {
                // The user's classes key is handled like any key the script names, so a
                // user without one has none again after unregistering.
                Node classes;
                classes.name = L"Classes";
                classes.children = std::move(root.children);
                Node software;
                software.flag = Flag::NoRemove;
                software.name = L"Software";
                software.children.push_back(std::move(classes));
                root.children.clear();
                root.children.push_back(std::move(software));
                root.key = HKEY_CURRENT_USER;
            } else if (perUser && root.key == HKEY_LOCAL_MACHINE) {
                root.key = HKEY_CURRENT_USER;
            }
            if (registering) {
                Register(root.key, root.children);
            } else {
                Unregister(root.key, root.children);
            }
        }
        return S_OK;
    } catch (const RegistryFailure& failure) {
        return HRESULT_FROM_WIN32(failure.status);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

std::wstring RegistryScript::Decode(const void* data, DWORD size) {
    const auto* bytes = static_cast<const BYTE*>(data);
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes + 2), (size - 2) / 2);
    }
    if (size == 0) {
        return std::wstring();
    }
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, static_cast<const char*>(data),
                                             static_cast<int>(size), nullptr, 0);
    std::wstring text(length, L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, static_cast<const char*>(data), static_cast<int>(size),
                          text.data(), length);
    return text;
}

std::wstring RegistryScript::Quote(const std::wstring& text) {
    std::wstring quoted;
    for (wchar_t c : text) {
        quoted += c;
        if (c == L'\'')
            quoted += L'\'';
    }
    return quoted;
}

} // namespace Dossiq::Shell
