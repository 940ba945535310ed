// Containers that OpenSSL makes with today's algorithms (ECDSA, RSA-PSS, RSA-OAEP, key
// agreement), and signed containers rewritten as a sender or a relay could: each opens and
// verifies as OpenSSL judges it, or names the algorithm it cannot use.
#include <gtest/gtest.h>

#include "document/container/document.h"
#include "document/container/envelope.h"
#include "document/document_test_util.h"

using namespace Dossiq::Documents;

using namespace DocTest;
using TestSupport::ReadFileBytes;

namespace {

class PeerAlgorithms : public testing::Test {
protected:
    void SetUp() override {
        dir = TestSupport::MakeTempDir(L"peer");
        archive = RandomBytes(3000, 38);
        TestSupport::WriteFileBytes(dir + L"\\archive.zip", archive);
    }
    void TearDown() override { TestSupport::RemoveTree(dir); }

    void Run(const std::string& command) {
        const TestSupport::HostResult result = TestSupport::RunHostIn(dir, command);
        ASSERT_EQ(0, result.exitCode) << command << "\n" << result.output;
    }
    static std::string Sign(const std::string& signer, const std::string& options) {
        return "openssl cms -sign -binary -nodetach -outform DER -in archive.zip -signer " +
               CertArg(signer) + " -inkey " + KeyArg(signer) + " " + options + " -out theirs.snx";
    }
    static std::string Rewrite(const std::string& mode, const std::string& argument) {
        return "python3 " +
               TestSupport::ShellQuote(TestSupport::UnixPath(
                   TestSupport::SourceDir() + L"\\tests\\document\\peer_rewrite.py")) +
               " " + mode + " theirs.snx " + argument + " theirs.snx";
    }

    std::wstring dir;
    std::string archive;
};

} // namespace

TEST_F(PeerAlgorithms, SignaturesVerifyAsOpenSslJudgesThemOrNameTheirAlgorithm) {
    const std::string pss = " -keyopt rsa_padding_mode:pss";
    const struct {
        const char* name;
        std::string make, rewrite;
        SignatureStatus status;
        const char* algorithm;
    } cases[] = {
        {"ECDSA P-256", Sign("ec_p256", "-md sha256"), "", SignatureStatus::Valid, ""},
        {"ECDSA P-384", Sign("ec_p384", "-md sha384"), "", SignatureStatus::Valid, ""},
        // Wine's bcrypt has no P-521; Windows verifies it on the same path.
        {"ECDSA P-521", Sign("ec_p521", "-md sha512"), "", SignatureStatus::Unsupported,
         "1.3.132.0.35"},
        {"ECDSA without attributes", Sign("ec_p256", "-md sha256 -noattr"), "",
         SignatureStatus::Valid, ""},
        {"RSA-PSS SHA-256", Sign(kSigner, "-md sha256" + pss), "", SignatureStatus::Valid, ""},
        {"RSA-PSS SHA-384, salt 20",
         Sign(kSigner, "-md sha384" + pss + " -keyopt rsa_pss_saltlen:20"), "",
         SignatureStatus::Valid, ""},
        {"RSA-PSS, MGF1 over another hash",
         Sign(kSigner, "-md sha256" + pss + " -keyopt rsa_mgf1_md:sha384"), "",
         SignatureStatus::Unsupported, "1.2.840.113549.1.1.10"},
        {"attributes as sent, not sorted", Sign(kSigner, "-md sha256"),
         Rewrite("unsorted", KeyArg(kSigner)), SignatureStatus::Valid, ""},
        {"signer pointed at a second certificate of its key", Sign(kSigner, "-md sha256"), "",
         SignatureStatus::SignerMismatch, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Run(c.make);
        if (!c.rewrite.empty()) {
            Run(c.rewrite);
        }
        if (c.status == SignatureStatus::SignerMismatch) {
            // OpenSSL 3.0 writes no signing-certificate attribute; ours carry one.
            TestSupport::WriteFileBytes(dir + L"\\theirs.snx",
                                        Bytes(MakeContainer(DocumentKind::Signed, Blob(archive))));
            Run(Rewrite("swap", CertArg("qualified_twin")));
        }
        if (c.status == SignatureStatus::Valid) {
            Run("openssl cms -verify -binary -inform DER -in theirs.snx -CAfile " +
                TestSupport::ShellQuote(TestPki::Pki::Get().UnixTrustedChainPath()) +
                " -out /dev/null");
        }
        Document document(dir + L"\\theirs.snx");
        ASSERT_TRUE(document.Open(0));
        EXPECT_EQ(c.status, document.SignatureCheck());
        EXPECT_EQ(c.algorithm, document.UnsupportedAlgorithm());
        EXPECT_EQ(archive, ContentOf(document));
        if (c.status != SignatureStatus::Valid) {
            continue;
        }
        // The content under the signature is what binds it.
        std::string bytes = ReadFileBytes(dir + L"\\theirs.snx");
        bytes[bytes.find(archive) + 100] ^= 0x01;
        TestSupport::WriteFileBytes(dir + L"\\changed.snx", bytes);
        Document changed(dir + L"\\changed.snx");
        ASSERT_TRUE(changed.Open(0));
        EXPECT_EQ(SignatureStatus::Invalid, changed.SignatureCheck());
    }
}

// A countersignature made by hand over the signer's signature value verifies with its own
// certificate; one whose digest is of other bytes does not, and neither touches the
// signature it stands beside.
TEST_F(PeerAlgorithms, CountersignaturesAreVerifiedOverTheSignatureValue) {
    const std::string by = TestPki::Pki::Get().UnixCertPath("qualified_others") + "," +
                           TestPki::Pki::Get().UnixKeyPath("qualified_others");
    for (const auto& [mode, status] : {std::pair{"countersign", SignatureStatus::Valid},
                                       std::pair{"countersign-wrong", SignatureStatus::Invalid}}) {
        SCOPED_TRACE(mode);
        Run(Sign(kSigner, "-md sha256"));
        Run(Rewrite(mode, TestSupport::ShellQuote(by)));
        Document document(dir + L"\\theirs.snx");
        ASSERT_TRUE(document.Open(0));
        EXPECT_EQ(SignatureStatus::Valid, document.SignatureCheck());
        ASSERT_EQ(1u, document.Signatures().size());
        const auto& counters = document.Signatures()[0].countersignatures;
        ASSERT_EQ(1u, counters.size());
        EXPECT_EQ(status, counters[0].status);
        ASSERT_TRUE(counters[0].signer);
        EXPECT_TRUE(::CertCompareCertificate(
            X509_ASN_ENCODING, counters[0].signer.get()->pCertInfo,
            TestPki::Pki::Get().Certificate("qualified_others").get()->pCertInfo));
    }
}

TEST_F(PeerAlgorithms, EnvelopesOpenOrNameTheirAlgorithmOnlyForTheirOwnRecipient) {
    const std::string encrypt = "openssl cms -encrypt -aes256 -binary -outform DER -in "
                                "archive.zip -out theirs.enx -recip ";
    const std::string oaep = " -keyopt rsa_padding_mode:oaep";
    // A certificate of ours whose key CryptoAPI is said to hold: a key-agreement recipient
    // is ours as soon as the certificate is.
    const auto ec = TestPki::Pki::Get().LoadCertificate("ec_p256");
    CRYPT_KEY_PROV_INFO keyInfo = {};
    keyInfo.pwszContainerName = const_cast<wchar_t*>(L"DossiqNoSuchContainer");
    keyInfo.dwProvType = PROV_RSA_AES;
    keyInfo.dwKeySpec = AT_KEYEXCHANGE;
    ASSERT_TRUE(
        ::CertSetCertificateContextProperty(ec.get(), CERT_KEY_PROV_INFO_PROP_ID, 0, &keyInfo));
    MHFX::CertStoreHandle my(
        ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                        CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, L"My"));
    MHFX::CertStoreHandle withEc(::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
    ASSERT_TRUE(
        ::CertAddCertificateContextToStore(withEc.get(), ec.get(), CERT_STORE_ADD_NEW, nullptr));
    const struct {
        const char* name;
        std::string command;
        HCERTSTORE store;
        DWORD error; // 0: opens
        const char* algorithm;
    } cases[] = {
        {"RSA-OAEP, SHA-1", encrypt + CertArg(kRecipient) + oaep, my.get(), 0, ""},
        {"indefinite lengths", encrypt + CertArg(kRecipient) + " -stream", my.get(), 0, ""},
        {"RSA-OAEP, SHA-256", encrypt + CertArg(kRecipient) + oaep + " -keyopt rsa_oaep_md:sha256",
         my.get(), static_cast<DWORD>(CRYPT_E_UNKNOWN_ALGO), "1.2.840.113549.1.1.7"},
        {"RSA-OAEP, SHA-256, for someone else",
         encrypt + CertArg("recipient_expired") + oaep + " -keyopt rsa_oaep_md:sha256", my.get(),
         static_cast<DWORD>(CRYPT_E_RECIPIENT_NOT_FOUND), ""},
        {"ECDH", encrypt + CertArg("ec_p256"), withEc.get(),
         static_cast<DWORD>(CRYPT_E_UNKNOWN_ALGO), "1.3.133.16.840.63.0.2"},
        {"ECDH for someone else", encrypt + CertArg("ec_p256"), my.get(),
         static_cast<DWORD>(CRYPT_E_RECIPIENT_NOT_FOUND), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Run(c.command);
        const std::string message = ReadFileBytes(dir + L"\\theirs.enx");
        EXPECT_TRUE(std::string(c.name) != "indefinite lengths" || message[1] == '\x80');
        ContentSection content;
        std::vector<BYTE> type;
        std::string algorithm = "none";
        const EnvelopeResult result =
            OpenEnvelope(reinterpret_cast<const BYTE*>(message.data()),
                         static_cast<DWORD>(message.size()), c.store, content, type, &algorithm);
        if (c.error == 0) {
            ASSERT_EQ(EnvelopeResult::Opened, result) << std::hex << ::GetLastError();
            EXPECT_EQ(archive,
                      std::string(reinterpret_cast<const char*>(content.Data()), content.Length()));
        } else {
            EXPECT_EQ(EnvelopeResult::Failed, result);
            EXPECT_EQ(c.error, ::GetLastError());
        }
        EXPECT_EQ(c.algorithm, algorithm);
    }
}

// The base and smart-card providers (PROV_RSA_FULL) decrypt RSA but know no AES.
TEST_F(PeerAlgorithms, ARecipientKeyInAFullRsaProviderOpensOurAes256Document) {
    const auto original = TestPki::Pki::Get().Certificate(kRecipient);
    MHFX::CertStoreHandle store(::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
    MHFX::CertContextHandle copy;
    ASSERT_TRUE(::CertAddEncodedCertificateToStore(
        store.get(), X509_ASN_ENCODING, original.get()->pbCertEncoded,
        original.get()->cbCertEncoded, CERT_STORE_ADD_NEW, copy.put()));
    const std::wstring container = TestPki::Pki::Get().Find(kRecipient).container;
    CRYPT_KEY_PROV_INFO info = {};
    info.pwszContainerName = const_cast<wchar_t*>(container.c_str());
    info.pwszProvName = const_cast<wchar_t*>(MS_ENHANCED_PROV_W);
    info.dwProvType = PROV_RSA_FULL;
    info.dwKeySpec = AT_KEYEXCHANGE;
    ASSERT_TRUE(
        ::CertSetCertificateContextProperty(copy.get(), CERT_KEY_PROV_INFO_PROP_ID, 0, &info));
    for (DocumentKind kind : {DocumentKind::Encrypted, DocumentKind::Protected}) {
        const std::string message = Bytes(MakeContainer(kind, Blob(archive)));
        ContentSection content;
        std::vector<BYTE> type;
        EXPECT_EQ(EnvelopeResult::Opened,
                  OpenEnvelope(reinterpret_cast<const BYTE*>(message.data()),
                               static_cast<DWORD>(message.size()), store.get(), content, type))
            << std::hex << ::GetLastError();
    }
}
