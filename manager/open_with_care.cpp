#include "manager/open_with_care.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "config/localization.h"
#include "foundation/resource_string.h"
#include "resources/common/localized_ids.h"

namespace Manager {

namespace {

// Types that run code or commands when opened, as mail and browsers block them.
constexpr const wchar_t* kDangerousExtensions[] = {
    L".ade",  L".adp",  L".app",   L".application", L".appref-ms", L".bas",  L".bat",
    L".chm",  L".cmd",  L".com",   L".cpl",         L".crt",       L".diagcab", L".exe",
    L".gadget", L".hlp", L".hta",  L".inf",         L".ins",       L".isp",  L".jar",
    L".js",   L".jse",  L".lnk",   L".mde",         L".msc",       L".msi",  L".msp",
    L".mst",  L".msu",  L".pif",   L".ps1",         L".ps1xml",    L".ps2",  L".psc1",
    L".psc2", L".reg",  L".scf",   L".scr",         L".sct",       L".settingcontent-ms",
    L".shb",  L".shs",  L".url",   L".vb",          L".vbe",       L".vbs",  L".website",
    L".ws",   L".wsc",  L".wsf",   L".wsh",         L".xbap",      L".xll"};

std::wstring TypeName(const std::wstring& fileName) {
    SHFILEINFOW info = {};
    if (::SHGetFileInfoW(fileName.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof(info),
                         SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES) &&
        info.szTypeName[0]) {
        return info.szTypeName;
    }
    return ::PathFindExtensionW(fileName.c_str());
}

bool Ask(HWND owner, const std::wstring& text) {
    return ::MessageBoxW(owner, text.c_str(), LoadLocalizedString(IDS_MANAGER_NAME).c_str(),
                         MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

} // namespace

bool IsDangerousType(const std::wstring& fileName) {
    if (::AssocIsDangerous(fileName.c_str())) {
        return true;
    }
    // A name may end in dots and blanks that Windows drops when it opens the file.
    std::wstring name = fileName;
    while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) {
        name.pop_back();
    }
    const wchar_t* extension = ::PathFindExtensionW(name.c_str());
    for (const wchar_t* dangerous : kDangerousExtensions) {
        if (::CompareStringOrdinal(extension, -1, dangerous, -1, TRUE) == CSTR_EQUAL) {
            return true;
        }
    }
    return false;
}

bool ConfirmOpening(HWND owner, const std::wstring& fileName, bool signatureVerified) {
    const std::wstring type = TypeName(fileName);
    if (IsDangerousType(fileName) &&
        !Ask(owner, MHFX::FormatString(LoadLocalizedString(IDS_VIEW_DANGEROUS),
                                       fileName.c_str(), type.c_str()))) {
        return false;
    }
    return signatureVerified ||
           Ask(owner, MHFX::FormatString(LoadLocalizedString(IDS_VIEW_UNVERIFIED),
                                         fileName.c_str(), type.c_str()));
}

} // namespace Manager
