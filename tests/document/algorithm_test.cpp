// The algorithms containers are made with: SHA-256 signatures whatever provider holds the
// signer's key (or a clear refusal), and old containers (SHA-1, des-ede3-cbc) still opening.
#include <gtest/gtest.h>

#include "document/container/document.h"
#include "document/document_test_util.h"
#include "document/container/message_builder.h"

using namespace Dossiq::Documents;

using namespace DocTest;
using TestSupport::ReadFileBytes;

namespace {

// A copy of the signer's certificate in a store of its own, its key looked for in
// `container` of `provider`.
MHFX::CertContextHandle WithKeyIn(const std::wstring& container, const wchar_t* provider,
                                  DWORD providerType, DWORD keySpec) {
    const auto original = TestPki::Pki::Get().Certificate(kSigner);
    MHFX::CertStoreHandle store(::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
    MHFX::CertContextHandle copy;
    EXPECT_TRUE(::CertAddEncodedCertificateToStore(
        store.get(), X509_ASN_ENCODING, original.get()->pbCertEncoded,
        original.get()->cbCertEncoded, CERT_STORE_ADD_NEW, copy.put()));
    CRYPT_KEY_PROV_INFO info = {};
    info.pwszContainerName = const_cast<wchar_t*>(container.c_str());
    info.pwszProvName = const_cast<wchar_t*>(provider);
    info.dwProvType = providerType;
    info.dwKeySpec = keySpec;
    EXPECT_TRUE(
        ::CertSetCertificateContextProperty(copy.get(), CERT_KEY_PROV_INFO_PROP_ID, 0, &info));
    return copy;
}

bool CanHashSha256(const std::wstring& container, const wchar_t* provider, DWORD type) {
    MHFX::CryptProvHandle handle;
    MHFX::CryptHashHandle hash;
    return ::CryptAcquireContextW(handle.put(), container.c_str(), provider, type, 0) &&
           ::CryptCreateHash(handle.get(), CALG_SHA_256, 0, 0, hash.put());
}

class Algorithms : public testing::Test {
protected:
    void SetUp() override {
        dir = TestSupport::MakeTempDir(L"alg");
        content = RandomBytes(5000, 18);
        archive = Blob(content);
    }
    void TearDown() override { TestSupport::RemoveTree(dir); }

    std::wstring Put(const MessageBlob& message, const std::wstring& name) {
        const std::wstring path = dir + L"\\" + name;
        TestSupport::WriteFileBytes(path, Bytes(message));
        return path;
    }
    std::string Printed(const std::wstring& path) {
        const TestSupport::HostResult result =
            TestSupport::RunHostIn(dir, "openssl cms -cmsout -print -inform DER -in " +
                                            TestSupport::ShellQuote(TestSupport::UnixPath(path)));
        EXPECT_EQ(0, result.exitCode) << result.output;
        return result.output;
    }

    std::wstring dir;
    std::string content;
    MessageBlob archive;
};

} // namespace

TEST_F(Algorithms, KeysOfTheBaseProviderSignWithSha256ThroughTheEnhancedOne) {
    const std::wstring container = TestPki::Pki::Get().Find(kSigner).container;
    // The old provider itself knows no SHA-256, so the signature cannot come from it.
    ASSERT_FALSE(CanHashSha256(container, MS_DEF_PROV_W, PROV_RSA_FULL));
    const auto certificate = WithKeyIn(container, MS_DEF_PROV_W, PROV_RSA_FULL, AT_KEYEXCHANGE);
    MessageBlob message;
    ASSERT_TRUE(SignArchive(archive, certificate.get(), message)) << std::hex << ::GetLastError();
    const std::wstring path = Put(message, L"base.snx");
    EXPECT_NE(std::string::npos, Printed(path).find("sha256 (2.16.840.1.101.3.4.2.1)"));
    Document document(path);
    ASSERT_TRUE(document.Open(0));
    EXPECT_TRUE(document.IsSignatureValid());
    EXPECT_FALSE(document.IsSignatureAlgorithmOutdated());
    EXPECT_EQ(content, ContentOf(document));
}

TEST_F(Algorithms, AKeyThatCannotSignWithSha256IsRefusedNotSignedWithSha1) {
    // A DSS key: no provider of it hashes SHA-256, and no RSA container holds it.
    const std::wstring container = L"DossiqDss-" + std::to_wstring(::GetCurrentProcessId());
    {
        MHFX::CryptProvHandle provider;
        MHFX::CryptKeyHandle key;
        ASSERT_TRUE(::CryptAcquireContextW(provider.put(), container.c_str(), MS_DEF_DSS_PROV_W,
                                           PROV_DSS, CRYPT_NEWKEYSET))
            << std::hex << ::GetLastError();
        ASSERT_TRUE(::CryptGenKey(provider.get(), AT_SIGNATURE, 1024u << 16, key.put()));
    }
    const auto certificate = WithKeyIn(container, MS_DEF_DSS_PROV_W, PROV_DSS, AT_SIGNATURE);
    MessageBlob message;
    EXPECT_FALSE(SignArchive(archive, certificate.get(), message));
    EXPECT_EQ(kErrorSigningKeyHashUnsupported, ::GetLastError());
    EXPECT_TRUE(message.Empty());
    EXPECT_FALSE(ProtectArchive(archive, certificate.get(),
                                TestPki::Pki::Get().LoadCertificate(kRecipient).get(), message));
    EXPECT_EQ(kErrorSigningKeyHashUnsupported, ::GetLastError());
    HCRYPTPROV gone = 0;
    ::CryptAcquireContextW(&gone, container.c_str(), MS_DEF_DSS_PROV_W, PROV_DSS,
                           CRYPT_DELETEKEYSET);
}

TEST_F(Algorithms, ContainersOfThePreviousVersionStillOpenAndVerify) {
    const struct {
        DocumentKind kind;
        const wchar_t* name;
        const char* expected;
        bool signedKind;
    } cases[] = {
        {DocumentKind::Signed, L"old.snx", "sha1WithRSAEncryption (1.2.840.113549.1.1.5)", true},
        {DocumentKind::Encrypted, L"old.enx", "des-ede3-cbc (1.2.840.113549.3.7)", false},
        {DocumentKind::Protected, L"old.pnx", "des-ede3-cbc (1.2.840.113549.3.7)", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(TestSupport::Narrow(c.name));
        const std::wstring path = Put(MakeOldStyleContainer(c.kind, archive), c.name);
        const std::string printed = Printed(path);
        EXPECT_NE(std::string::npos, printed.find(c.expected)) << printed;
        Document document(path);
        ASSERT_TRUE(document.Open(0));
        EXPECT_EQ(c.signedKind, document.IsSignatureValid());
        EXPECT_EQ(c.signedKind, document.IsSignatureAlgorithmOutdated());
        EXPECT_EQ(content, ContentOf(document));
    }
}

TEST_F(Algorithms, NewContainersAreNotOutdatedAndATamperedSha256SignatureIsCaught) {
    for (DocumentKind kind :
         {DocumentKind::Signed, DocumentKind::Encrypted, DocumentKind::Protected}) {
        Document document(Put(MakeContainer(kind, archive), L"new.dsq"));
        ASSERT_TRUE(document.Open(0));
        EXPECT_EQ(kind != DocumentKind::Encrypted, document.IsSignatureValid());
        EXPECT_FALSE(document.IsSignatureAlgorithmOutdated());
        EXPECT_EQ(content, ContentOf(document));
    }
    std::string bytes = Bytes(MakeContainer(DocumentKind::Signed, archive));
    const size_t at = bytes.find(content);
    ASSERT_NE(std::string::npos, at);
    bytes[at + content.size() / 2] ^= 0x20;
    TestSupport::WriteFileBytes(dir + L"\\changed.snx", bytes);
    Document changed(dir + L"\\changed.snx");
    ASSERT_TRUE(changed.Open(0));
    EXPECT_FALSE(changed.IsSignatureValid());
}
