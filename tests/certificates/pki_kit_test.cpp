// The test PKI itself: what later test programs rely on.
#include <gtest/gtest.h>

#include "common/test_support.h"
#include "pki/test_pki.h"

using TestSupport::RunHost;
using TestSupport::ShellQuote;

namespace {

bool InStore(const wchar_t* storeName, const std::string& der) {
    MHFX::CertStoreHandle store(
        ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                        CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, storeName));
    MHFX::CertContextHandle file(
        ::CertCreateCertificateContext(X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                       static_cast<DWORD>(der.size())));
    MHFX::CertContextHandle found(::CertFindCertificateInStore(
        store.get(), X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, file.get(), nullptr));
    return static_cast<bool>(found);
}

bool ContainerExists(const std::wstring& container) {
    MHFX::CryptProvHandle provider;
    return ::CryptAcquireContextW(provider.put(), container.c_str(),
                                  L"Microsoft Enhanced RSA and AES Cryptographic Provider",
                                  PROV_RSA_AES, 0) != FALSE;
}

} // namespace

TEST(Pki, SignerKeySignsWhatOpenSslVerifies) {
    auto& pki = TestPki::Pki::Get();
    auto signer = pki.Certificate("qualified");
    const std::string content = "Dossiq test content \xC4\x87";
    CRYPT_SIGN_MESSAGE_PARA para = {};
    para.cbSize = sizeof para;
    para.dwMsgEncodingType = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
    para.pSigningCert = signer.get();
    para.HashAlgorithm.pszObjId = const_cast<char*>("1.2.840.113549.1.1.5");
    PCCERT_CONTEXT certificates[] = {signer.get()};
    para.cMsgCert = 1;
    para.rgpMsgCert = certificates;
    const BYTE* data[] = {reinterpret_cast<const BYTE*>(content.data())};
    DWORD sizes[] = {static_cast<DWORD>(content.size())};
    DWORD length = 0;
    ASSERT_TRUE(::CryptSignMessage(&para, FALSE, 1, data, sizes, nullptr, &length))
        << ::GetLastError();
    std::string message(length, '\0');
    ASSERT_TRUE(::CryptSignMessage(&para, FALSE, 1, data, sizes,
                                   reinterpret_cast<BYTE*>(message.data()), &length));
    message.resize(length);
    TestSupport::WriteFileBytes(pki.Dir() + L"\\signed.p7", message);

    auto verified = RunHost("cd " + ShellQuote(pki.UnixDir()) +
                            " && openssl cms -verify -inform DER -in signed.p7 -CAfile "
                            "trusted-chain.pem -out signed.out && cat signed.out");
    EXPECT_EQ(verified.exitCode, 0) << verified.output;
    EXPECT_NE(verified.output.find(content), std::string::npos) << verified.output;
}

TEST(Pki, RecipientKeyDecryptsWhatOpenSslEncrypts) {
    auto& pki = TestPki::Pki::Get();
    auto encrypted = RunHost("cd " + ShellQuote(pki.UnixDir()) +
                             " && printf 'session key 24 bytes....' | openssl pkeyutl -encrypt "
                             "-certin -inkey recipient_tp.cert.pem -pkeyopt rsa_padding_mode:pkcs1"
                             " -out wrapped.bin");
    ASSERT_EQ(encrypted.exitCode, 0) << encrypted.output;
    std::string wrapped = TestSupport::ReadFileBytes(pki.Dir() + L"\\wrapped.bin");
    std::reverse(wrapped.begin(), wrapped.end()); // CryptoAPI reads little-endian

    auto recipient = pki.Certificate("recipient_tp");
    MHFX::CryptProvHandle provider;
    DWORD keySpec = 0;
    BOOL mustFree = FALSE;
    HCRYPTPROV handle = 0;
    ASSERT_TRUE(::CryptAcquireCertificatePrivateKey(recipient.get(), 0, nullptr, &handle, &keySpec,
                                                    &mustFree))
        << ::GetLastError();
    provider.reset(handle);
    EXPECT_EQ(keySpec, static_cast<DWORD>(AT_KEYEXCHANGE));
    MHFX::CryptKeyHandle key;
    ASSERT_TRUE(::CryptGetUserKey(provider.get(), AT_KEYEXCHANGE, key.put()));
    DWORD length = static_cast<DWORD>(wrapped.size());
    ASSERT_TRUE(
        ::CryptDecrypt(key.get(), 0, TRUE, 0, reinterpret_cast<BYTE*>(wrapped.data()), &length))
        << ::GetLastError();
    EXPECT_EQ(wrapped.substr(0, length), "session key 24 bytes....");
}

TEST(Pki, FilesForOpenSsl) {
    auto& pki = TestPki::Pki::Get();
    auto checked = RunHost("cd " + ShellQuote(pki.UnixDir()) +
                           " && openssl verify -CAfile trusted-chain.pem qualified.cert.pem"
                           " && openssl verify -crl_check -CAfile trusted-chain.pem -CRLfile " +
                           ShellQuote(pki.UnixCrlPath("issuing")) +
                           " revoked.cert.pem; echo rc=$?" + " && openssl rsa -in " +
                           ShellQuote(pki.UnixKeyPath("recipient_ab")) + " -check -noout");
    EXPECT_NE(checked.output.find("qualified.cert.pem: OK"), std::string::npos) << checked.output;
    EXPECT_NE(checked.output.find("certificate revoked"), std::string::npos) << checked.output;
    EXPECT_NE(checked.output.find("RSA key ok"), std::string::npos) << checked.output;
    EXPECT_EQ(pki.BaseUrl().rfind("http://127.0.0.1:", 0), 0u);
    EXPECT_NE(pki.BaseUrl(), pki.DeadUrl());
}

TEST(Pki, StaleInstallationsOfEndedRunsAreSwept) {
    auto& pki = TestPki::Pki::Get();
    // A certificate marked by a run that ended long ago, with a key container of its own.
    const std::wstring container = L"DossiqTestPki-stale-test";
    {
        MHFX::CryptProvHandle provider;
        ::CryptAcquireContextW(provider.put(), container.c_str(),
                               L"Microsoft Enhanced RSA and AES Cryptographic Provider",
                               PROV_RSA_AES, CRYPT_NEWKEYSET);
        ASSERT_TRUE(provider);
    }
    std::string der = pki.Find("orphan_ca").der;
    MHFX::CertStoreHandle my(
        ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"My"));
    MHFX::CertContextHandle added;
    ASSERT_TRUE(::CertAddEncodedCertificateToStore(
        my.get(), X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
        static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, added.put()));
    ASSERT_TRUE(TestPki::SetMark(added.get(), "rold 1000"));
    CRYPT_KEY_PROV_INFO info = {};
    info.pwszContainerName = const_cast<wchar_t*>(container.c_str());
    info.pwszProvName =
        const_cast<wchar_t*>(L"Microsoft Enhanced RSA and AES Cryptographic Provider");
    info.dwProvType = PROV_RSA_AES;
    info.dwKeySpec = AT_KEYEXCHANGE;
    ::CertSetCertificateContextProperty(added.get(), CERT_KEY_PROV_INFO_PROP_ID, 0, &info);
    added.reset();
    my.reset();

    EXPECT_GE(TestPki::RemoveStaleInstallations(1800), 1);
    EXPECT_FALSE(InStore(L"My", der));
    EXPECT_FALSE(ContainerExists(container));
    // The running kit is young: it stays.
    EXPECT_TRUE(InStore(L"My", pki.Find("qualified").der));
}

TEST(Pki, ShutdownRemovesEverythingAndGetMakesANewKit) {
    auto& pki = TestPki::Pki::Get();
    std::vector<TestPki::Entry> entries;
    for (const std::string& name : pki.Names()) {
        entries.push_back(pki.Find(name));
    }
    const std::string oldRun = pki.RunId();
    for (const TestPki::Entry& entry : entries) {
        for (const std::wstring& store : entry.stores) {
            EXPECT_TRUE(InStore(store.c_str(), entry.der)) << entry.name;
        }
        if (!entry.container.empty()) {
            EXPECT_TRUE(ContainerExists(entry.container)) << entry.name;
        }
    }
    EXPECT_TRUE(pki.CrlServerRunning());

    TestPki::Pki::Shutdown();
    for (const TestPki::Entry& entry : entries) {
        for (const wchar_t* store : {L"Root", L"CA", L"My", L"AddressBook", L"TrustedPeople"}) {
            EXPECT_FALSE(InStore(store, entry.der)) << entry.name;
        }
        if (!entry.container.empty()) {
            EXPECT_FALSE(ContainerExists(entry.container)) << entry.name;
        }
    }
    EXPECT_NE(TestPki::Pki::Get().RunId(), oldRun);
}
