#include "certificates/qualified_certificate.h"

#include <wincrypt.h>

#include <cstring>
#include <string>
#include <vector>

#include "certificates/decode_object.h"
#include "foundation/win32_exception.h"

namespace MHFX::Security::Cryptography::X509 {

const std::wstring kQcStatementsExtension = L"1.3.6.1.5.5.7.1.3";

namespace {

bool Contains(const std::vector<std::string>& list, const char* wanted) {
    for (const std::string& item : list) {
        if (item == wanted) {
            return true;
        }
    }
    return false;
}

} // namespace

bool IsQualified(const X509Certificate& certificate) {
    const bool statements = HasQcComplianceAndSscd(certificate);
    const bool name = HasQualifiedNameForm(certificate);
    const bool usage = HasKeyUsage(certificate, kQualifiedKeyUsage);
    return statements && name && usage;
}

bool HasQcComplianceAndSscd(const X509Certificate& certificate) {
    const X509ExtensionCollection extensions = certificate.Extensions();
    const X509Extension* qcStatements = nullptr;
    for (const X509Extension& extension : extensions) {
        if (extension.Oid.Value == kQcStatementsExtension) {
            qcStatements = &extension;
            break;
        }
    }
    if (qcStatements == nullptr) {
        return false;
    }
    // qcStatements is a sequence of (identifier, optional information): the shape of
    // SMIMECapabilities, whose decoder hands the identifiers back in encoded order.
    std::vector<std::string> statements;
    {
        ProcessHeapBlock decoded =
            DecodeObject(PKCS_SMIME_CAPABILITIES, qcStatements->RawData.data(),
                         static_cast<DWORD>(qcStatements->RawData.size()));
        const auto* capabilities = static_cast<const CRYPT_SMIME_CAPABILITIES*>(decoded.get());
        for (DWORD i = 0; i < capabilities->cCapability; ++i) {
            const char* id = capabilities->rgCapability[i].pszObjId;
            statements.emplace_back(id ? id : "");
        }
    }
    return Contains(statements, kQcComplianceStatement) && Contains(statements, kQcSscdStatement);
}

bool IsQualifiedNameForm(const std::wstring& name) {
    const size_t space = name.rfind(L' ');
    if (space == std::wstring::npos) {
        return false;
    }
    const size_t hyphen = name.rfind(L'-');
    if (hyphen == std::wstring::npos) {
        return name.size() > space + 1;
    }
    return hyphen > space + 1;
}

bool HasQualifiedNameForm(const X509Certificate& certificate) {
    return IsQualifiedNameForm(certificate.GetNameInfo(CERT_NAME_ATTR_TYPE, szOID_COMMON_NAME));
}

bool HasKeyUsage(const X509Certificate& certificate, DWORD required) {
    try {
        return (certificate.KeyUsage() & required) == required;
    } catch (const Win32Exception&) {
        return false;
    }
}

} // namespace MHFX::Security::Cryptography::X509
