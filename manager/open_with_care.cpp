#include "manager/open_with_care.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <string_view>

#include "config/localization.h"
#include "foundation/resource_string.h"
#include "resources/common/localized_ids.h"
#include "foundation/text/readable_text.h"

namespace Manager {

namespace {

// Types that run code or commands when opened, as mail and browsers block them.
constexpr wchar_t kDangerousExtensions[] =
    L" .ade .adp .app .application .appref-ms .bas .bat .chm .cmd .com .cpl .crt .diagcab"
    L" .exe .gadget .hlp .hta .inf .ins .isp .jar .js .jse .lnk .mde .msc .msi .msp .mst"
    L" .msu .pif .ps1 .ps1xml .ps2 .psc1 .psc2 .reg .scf .scr .sct .settingcontent-ms .shb"
    L" .shs .url .vb .vbe .vbs .website .ws .wsc .wsf .wsh .xbap .xll ";

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
    std::wstring extension = ::PathFindExtensionW(name.c_str());
    if (extension.empty()) {
        return false;
    }
    ::CharLowerBuffW(extension.data(), static_cast<DWORD>(extension.size()));
    return std::wstring_view(kDangerousExtensions).find(L" " + extension + L" ") !=
           std::wstring_view::npos;
}

bool ConfirmOpening(HWND owner, const std::wstring& fileName, bool signatureVerified) {
    const std::wstring type = TypeName(fileName);
    const std::wstring shown = MHFX::ReadableText(fileName);
    if (IsDangerousType(fileName) &&
        !Ask(owner, MHFX::FormatString(LoadLocalizedString(IDS_VIEW_DANGEROUS), shown.c_str(),
                                       type.c_str()))) {
        return false;
    }
    return signatureVerified ||
           Ask(owner, MHFX::FormatString(LoadLocalizedString(IDS_VIEW_UNVERIFIED), shown.c_str(),
                                         type.c_str()));
}

} // namespace Manager
