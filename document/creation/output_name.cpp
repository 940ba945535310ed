#include "document/creation/output_name.h"

#include <algorithm>
#include <vector>

namespace Dossiq::Documents {

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// The last component of a path; a trailing separator (a folder written as "C:\Work\") does
// not hide the folder's name, but a drive root has none.
std::wstring LastComponent(std::wstring path) {
    while (path.size() > 1 && IsSeparator(path.back()) && path[path.size() - 2] != L':') {
        path.pop_back();
    }
    const size_t last = path.find_last_of(L"\\/:");
    return last == std::wstring::npos ? path : path.substr(last + 1);
}

} // namespace

std::wstring OutputName::BaseName(const std::vector<std::wstring>& selection,
                                  const std::wstring& rootFolder) {
    if (selection.size() == 1) {
        const std::wstring name = LastComponent(selection.front());
        const size_t dot = name.rfind(L'.');
        return dot == std::wstring::npos ? name : name.substr(0, dot);
    }
    return LastComponent(rootFolder);
}

std::wstring OutputName::QuickPath(const std::vector<std::wstring>& selection,
                                   const std::wstring& rootFolder, CreateMode mode) {
    const std::wstring extension = ModeExtension(mode);
    if (extension.empty()) {
        return std::wstring();
    }
    std::wstring path = rootFolder;
    if (path.empty() || !(IsSeparator(path.back()) || path.back() == L':')) {
        path += L'\\';
    }
    return path + BaseName(selection, rootFolder) + L'.' + extension;
}

} // namespace Dossiq::Documents
