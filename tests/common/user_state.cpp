#include "common/user_state.h"

namespace TestSupport {

namespace {

const wchar_t kShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

class Key {
public:
    Key() { ::RegCreateKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, nullptr, 0,
                              KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_, nullptr); }
    ~Key() {
        if (key_)
            ::RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

bool Query(std::wstring& value, DWORD& type) {
    Key key;
    wchar_t buffer[MAX_PATH * 2] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    if (::RegQueryValueExW(key.get(), L"AppData", nullptr, &type,
                           reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) {
        return false;
    }
    value = buffer;
    return true;
}

void Store(const std::wstring& value, DWORD type) {
    Key key;
    ::RegSetValueExW(key.get(), L"AppData", 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

} // namespace

AppDataRedirect::AppDataRedirect(const std::wstring& folder) {
    hadOld_ = Query(old_, oldType_);
    Set(folder);
}

AppDataRedirect::~AppDataRedirect() {
    if (hadOld_) {
        Store(old_, oldType_);
    } else {
        Key key;
        ::RegDeleteValueW(key.get(), L"AppData");
    }
}

void AppDataRedirect::Set(const std::wstring& folder) {
    Store(folder, REG_SZ);
}

std::wstring AppDataRedirect::Current() {
    std::wstring value;
    DWORD type = 0;
    Query(value, type);
    return value;
}

} // namespace TestSupport
