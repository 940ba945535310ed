#include <gtest/gtest.h>

#include "certificates/oid.h"
#include "common/test_support.h"
#include "common/dialog_driver.h"
#include "certificates/x509_certificate.h"
#include "certificates/x509_exception.h"
#include "foundation/win32_exception.h"
#include "pki/test_pki.h"

using TestSupport::CreateTestWindow;
using TestSupport::DialogUser;

using namespace MHFX::Security::Cryptography::X509;
using MHFX::Win32Exception;

namespace {

X509Certificate Kit(const std::string& name) {
    auto context = TestPki::Pki::Get().Certificate(name);
    return X509Certificate(context.get());
}

X509Certificate FromFile(const std::string& name) {
    auto context = TestPki::Pki::Get().LoadCertificate(name);
    return X509Certificate(context.get());
}

template <typename F> void ExpectNotInitialized(F call) {
    try {
        call();
        ADD_FAILURE() << "no exception";
    } catch (const X509Exception& e) {
        EXPECT_EQ(e.Message(), L"Certificate is not initialized.");
    }
}

// A memory store closed with the check flag tells whether any context of it is still held.
bool StoreHasNoOpenContexts(HCERTSTORE store) {
    if (::CertCloseStore(store, CERT_CLOSE_STORE_CHECK_FLAG)) {
        return true;
    }
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(CRYPT_E_PENDING_CLOSE));
    return false;
}

PCCERT_CONTEXT AddToMemoryStore(HCERTSTORE store, const std::string& name) {
    const auto& der = TestPki::Pki::Get().Find(name).der;
    PCCERT_CONTEXT context = nullptr;
    EXPECT_TRUE(::CertAddEncodedCertificateToStore(
        store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
        static_cast<DWORD>(der.size()), CERT_STORE_ADD_ALWAYS, &context));
    return context;
}

} // namespace

TEST(Certificate, CopiesAndMovesReleaseEveryReference) {
    HCERTSTORE store = ::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
    {
        PCCERT_CONTEXT context = AddToMemoryStore(store, "qualified");
        X509Certificate a(context);
        ::CertFreeCertificateContext(context); // the wrapper holds its own reference
        X509Certificate b = a;
        X509Certificate c;
        c = b;
        X509Certificate d = std::move(c);
        EXPECT_FALSE(c.IsInitialized());
        c = d;
        b = c; // self-family assignment must not leak or double free
        a = a;
        EXPECT_EQ(a.Handle(), d.Handle());
        X509Certificate::Adopt(::CertDuplicateCertificateContext(a.Handle()));
        b.Reset();
        EXPECT_FALSE(b.IsInitialized());
    }
    EXPECT_TRUE(StoreHasNoOpenContexts(store));

    HCERTSTORE leaking = ::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
    PCCERT_CONTEXT context = AddToMemoryStore(leaking, "qualified");
    X509Certificate kept(context);
    ::CertFreeCertificateContext(context);
    EXPECT_FALSE(StoreHasNoOpenContexts(leaking)); // `kept` still holds one
}

TEST(Certificate, EveryOperationOnAnEmptyWrapperThrows) {
    X509Certificate empty;
    EXPECT_FALSE(empty.IsInitialized());
    ExpectNotInitialized([&] { empty.Extensions(); });
    ExpectNotInitialized([&] { empty.KeyUsage(); });
    ExpectNotInitialized([&] { empty.GetNameInfo(CERT_NAME_ATTR_TYPE, szOID_COMMON_NAME); });
    ExpectNotInitialized([&] { empty.HasPrivateKey(); });
    ExpectNotInitialized([&] { empty.ShowCertificate(nullptr); });
    ExpectNotInitialized([] { X509Certificate(nullptr).Extensions(); });
}

TEST(Certificate, ExtensionsInStoredOrderWithRawValues) {
    const X509ExtensionCollection extensions = Kit("qualified").Extensions();
    // The order make_pki.sh writes them in.
    const std::vector<std::wstring> expected = {L"2.5.29.14",         L"2.5.29.35", L"2.5.29.17",
                                                L"1.3.6.1.5.5.7.1.3", L"2.5.29.15", L"2.5.29.31"};
    ASSERT_EQ(extensions.Count(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(extensions[i].Oid.Value, expected[i]) << i;
        EXPECT_EQ(extensions[i].Oid.FriendlyName, L"") << i;
        EXPECT_EQ(extensions[i].Critical, expected[i] == L"2.5.29.15") << i;
    }
    // keyUsage: BIT STRING, 6 unused bits, digitalSignature and nonRepudiation.
    EXPECT_EQ(extensions[4].RawData, (std::vector<BYTE>{0x03, 0x02, 0x06, 0xC0}));
    // qcStatements: SEQUENCE { SEQUENCE { OID 0.4.0.1862.1.1 }, SEQUENCE { OID ...1.4 } }
    EXPECT_EQ(
        extensions[3].RawData,
        (std::vector<BYTE>{0x30, 0x14, 0x30, 0x08, 0x06, 0x06, 0x04, 0x00, 0x8E, 0x46, 0x01,
                           0x01, 0x30, 0x08, 0x06, 0x06, 0x04, 0x00, 0x8E, 0x46, 0x01, 0x04}));
}

TEST(Certificate, ExtensionsOfACertificateWithoutAnyIsEmpty) {
    // A version 1 certificate has no extensions at all.
    auto made = TestSupport::RunHost(
        "cd " + TestSupport::ShellQuote(TestPki::Pki::Get().UnixDir()) +
        " && openssl x509 -req -in work/qualified.csr -signkey qualified.key.pem -days 2 "
        "-outform DER -out v1.der 2>/dev/null; openssl x509 -inform DER -in v1.der -noout "
        "-text | grep -c 'X509v3 extensions'");
    ASSERT_EQ(made.output.substr(0, 1), "0") << made.output;
    const std::string der = TestSupport::ReadFileBytes(TestPki::Pki::Get().Dir() + L"\\v1.der");
    MHFX::CertContextHandle context(
        ::CertCreateCertificateContext(X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                       static_cast<DWORD>(der.size())));
    ASSERT_TRUE(context);
    X509Certificate certificate(context.get());
    EXPECT_TRUE(certificate.Extensions().Empty());
    EXPECT_THROW(certificate.KeyUsage(), Win32Exception);
}

TEST(Oid, NamesAreLookedUpDottedIdentifiersKept) {
    const Oid sha1 = Oid::FromText("sha1");
    EXPECT_EQ(sha1.Value, L"1.3.14.3.2.26");
    EXPECT_EQ(sha1.FriendlyName, L"sha1");
    const Oid qc = Oid::FromText("1.3.6.1.5.5.7.1.3");
    EXPECT_EQ(qc.Value, L"1.3.6.1.5.5.7.1.3");
    EXPECT_EQ(qc.FriendlyName, L"");
    EXPECT_EQ(Oid::FromText("2.5.29.15").Value, L"2.5.29.15");
}

TEST(Certificate, KeyUsageReadsTheBitsFirstByteLow) {
    EXPECT_EQ(Kit("qualified").KeyUsage(), 0xC0u);
    EXPECT_EQ(Kit("ds_nr_ke").KeyUsage(), 0xE0u);
    EXPECT_EQ(Kit("no_nonrepudiation").KeyUsage(), 0x80u);
    EXPECT_EQ(Kit("recipient_tp").KeyUsage(), 0x20u);
    // decipherOnly lives in the second byte.
    EXPECT_EQ(Kit("recipient_both").KeyUsage(), 0x80B8u);
}

TEST(Certificate, KeyUsageWithoutTheExtensionThrowsWithCodeZero) {
    const X509Certificate certificate = Kit("no_key_usage");
    ::SetLastError(ERROR_ACCESS_DENIED); // a stale error must not leak into the answer
    try {
        certificate.KeyUsage();
        ADD_FAILURE() << "no exception";
    } catch (const Win32Exception& e) {
        EXPECT_EQ(e.ErrorCode(), 0u);
    }
}

TEST(Certificate, GetNameInfoForTheThreeNameTypes) {
    const X509Certificate qualified = Kit("qualified");
    EXPECT_EQ(qualified.GetNameInfo(CERT_NAME_ATTR_TYPE, szOID_COMMON_NAME),
              L"Marko Markovi\u0107 1234567");
    EXPECT_EQ(qualified.GetNameInfo(CERT_NAME_FRIENDLY_DISPLAY_TYPE, nullptr),
              L"Marko Markovi\u0107 1234567");
    EXPECT_EQ(qualified.GetNameInfo(CERT_NAME_EMAIL_TYPE, nullptr), L"qualified@dossiq.test");
    EXPECT_EQ(Kit("recipient_both").GetNameInfo(CERT_NAME_ATTR_TYPE, szOID_COMMON_NAME),
              L"\u0110or\u0111e \u0110uri\u0107");
    EXPECT_EQ(Kit("name_trailing_space").GetNameInfo(CERT_NAME_ATTR_TYPE, szOID_COMMON_NAME),
              L"Marko Markovi\u0107 ");

    const X509Certificate noCommonName = Kit("no_cn");
    EXPECT_EQ(noCommonName.GetNameInfo(CERT_NAME_ATTR_TYPE, szOID_COMMON_NAME), L"");
    EXPECT_EQ(noCommonName.GetNameInfo(CERT_NAME_EMAIL_TYPE, nullptr), L"no_cn@dossiq.test");
    // The expired certificate carries no e-mail address at all.
    EXPECT_EQ(Kit("expired").GetNameInfo(CERT_NAME_EMAIL_TYPE, nullptr), L"");
}

TEST(Certificate, HasPrivateKeyOnlyWhereAKeyIsNamed) {
    EXPECT_TRUE(Kit("qualified").HasPrivateKey());
    EXPECT_TRUE(Kit("recipient_ab").HasPrivateKey());
    EXPECT_FALSE(FromFile("qualified").HasPrivateKey());
    EXPECT_FALSE(Kit("issuing").HasPrivateKey());
}

namespace {

BOOL CALLBACK CollectText(HWND window, LPARAM param) {
    wchar_t text[512] = {};
    ::SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    *reinterpret_cast<std::wstring*>(param) += std::wstring(text) + L"\n";
    return TRUE;
}

} // namespace

TEST(Certificate, ShowCertificateShowsThisCertificateUntilClosed) {
    const X509Certificate certificate = Kit("qualified");
    HWND parent = CreateTestWindow(L"owner");
    ASSERT_NE(parent, nullptr) << ::GetLastError();
    std::wstring title;
    std::wstring shown;
    DialogUser user(
        [&](HWND viewer) {
            wchar_t buffer[256] = {};
            ::GetWindowTextW(viewer, buffer, 256);
            title = buffer;
            ::EnumChildWindows(viewer, CollectText, reinterpret_cast<LPARAM>(&shown));
            ::PostMessageW(viewer, WM_CLOSE, 0, 0);
        },
        parent);
    certificate.ShowCertificate(parent);
    const HWND viewer = user.Finish();
    ::DestroyWindow(parent);
    ASSERT_NE(viewer, nullptr);
    // Wine's viewer ignores the parent window (no owner, parent stays enabled), so only
    // what it shows can be checked here.
    EXPECT_EQ(title, L"Certificate");
    EXPECT_NE(shown.find(L"Marko Markovi\u0107 1234567"), std::wstring::npos) << shown;
    EXPECT_NE(shown.find(L"Dossiq Test Qualified CA"), std::wstring::npos) << shown;
}
