#include "manager/open_with_care.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <string_view>

#include "config/localization.h"
#include "document/report/validation_report.h"
#include "foundation/resource_string.h"
#include "resources/common/localized_ids.h"
#include "foundation/text/readable_text.h"

using namespace Dossiq::Config;
using namespace Dossiq::Documents;

namespace Dossiq::Manager {

namespace {

// Types that run code or commands when opened, as mail and browsers block them: Windows'
// own list of high-risk types, macro-enabled Office documents, disk images (their files
// escape the zone mark), scripts and shortcuts.
constexpr wchar_t kDangerousExtensions[] =
    L" .ade .adp .app .application .appref-ms .appx .appxbundle .asp .bas .bat .cer .chm"
    L" .cmd .cnt .com .cpl .crt .csh .der .diagcab .docm .dotm .exe .fxp .gadget .grp .hlp"
    L" .hpj .hta .img .inf .ins .iso .isp .its .jar .jnlp .js .jse .ksh .library-ms .lnk"
    L" .mad .maf .mag .mam .maq .mar .mas .mat .mau .mav .maw .mcf .mda .mdb .mde .mdt"
    L" .mdw .mdz .msc .msh .msh1 .msh1xml .msh2 .msh2xml .mshxml .msi .msix .msixbundle"
    L" .msp .mst .ops .pcd .pif .plg .potm .ppam .ppsm .pptm .prf .prg .ps1 .ps1xml .ps2"
    L" .ps2xml .psc1 .psc2 .psd1 .psm1 .pst .py .pyw .reg .scf .scr .sct"
    L" .searchconnector-ms .settingcontent-ms .shb .shs .sldm .tmp .url .vb .vbe .vbs .vhd"
    L" .vhdx .vsmacros .vsw .website .ws .wsc .wsf .wsh .xbap .xlam .xll .xlsm .xltm .xnk ";

std::wstring TypeName(const std::wstring& fileName) {
    SHFILEINFOW info = {};
    if (::SHGetFileInfoW(fileName.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof(info),
                         SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES) &&
        info.szTypeName[0]) {
        return info.szTypeName;
    }
    return ::PathFindExtensionW(fileName.c_str());
}

// The question for a report that did not pass, by what failed.
UINT QuestionOf(const ValidationReport& report) {
    const SignatureFacts& signature = report.Selected();
    if (report.decoding == DecodingOutcome::NotTampered && signature.signer.present) {
        if (!signature.validated) {
            return IDS_VIEW_NOT_CHECKED;
        }
        for (int check = 0; check < kReportCheckCount; ++check) {
            if (signature.checks[check].status == CheckStatus::Failed) {
                return IDS_VIEW_CHECK_FAILED_BASE + check;
            }
        }
    }
    return IDS_VIEW_UNVERIFIED;
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

bool ConfirmOpening(HWND owner, const std::wstring& fileName, const ValidationReport* finished) {
    const std::wstring type = TypeName(fileName);
    const std::wstring shown = MHFX::ReadableText(fileName);
    if (!finished) {
        ::MessageBoxW(
            owner,
            MHFX::FormatString(LoadLocalizedString(IDS_VIEW_STILL_CHECKING), shown.c_str()).c_str(),
            LoadLocalizedString(IDS_MANAGER_NAME).c_str(), MB_OK | MB_ICONINFORMATION);
        return false;
    }
    if (IsDangerousType(fileName) &&
        !Ask(owner, MHFX::FormatString(LoadLocalizedString(IDS_VIEW_DANGEROUS), shown.c_str(),
                                       type.c_str()))) {
        return false;
    }
    if (HasPassed(*finished)) {
        return true;
    }
    return Ask(owner, MHFX::FormatString(LoadLocalizedString(QuestionOf(*finished)), shown.c_str(),
                                         type.c_str()));
}

} // namespace Dossiq::Manager
