// OpenSSL as the other PKCS#7 implementation: it reads what we write and we open what it
// writes.
#include <gtest/gtest.h>

#include <algorithm>

#include "document/creation/archive_builder.h"
#include "document/container/container_writer.h"
#include "document/container/document.h"
#include "document/container/message_builder.h"
#include "document/document_test_util.h"
#include "document/operations/co_signing.h"

using namespace Dossiq::Documents;

using namespace DocTest;
using TestSupport::ReadFileBytes;
using TestSupport::ShellQuote;

namespace {

// Wraps a bare SignedData (argv[1]) into its ContentInfo (argv[2]), strips one (argv[1]
// "unwrap"), or turns the inner content type of an envelope into signedData ("retype").
constexpr char kDerScript[] = R"(import sys
def length(n):
    if n < 128:
        return bytes([n])
    raw = n.to_bytes((n.bit_length() + 7) // 8, 'big')
    return bytes([0x80 | len(raw)]) + raw
def element(data, offset):
    n = data[offset + 1]
    start = offset + 2
    if n & 0x80:
        count = n & 0x7F
        n = int.from_bytes(data[start:start + count], 'big')
        start += count
    return start, n
SIGNED = bytes.fromhex('06092a864886f70d010702')
DATA = bytes.fromhex('06092a864886f70d010701')
mode, source, target = sys.argv[1:4]
data = open(source, 'rb').read()
if mode == 'wrap':
    body = SIGNED + b'\xa0' + length(len(data)) + data
    out = b'\x30' + length(len(body)) + body
elif mode == 'unwrap':
    start, n = element(data, 0)
    assert data[start:start + len(SIGNED)] == SIGNED
    start, n = element(data, start + len(SIGNED))
    out = data[start:start + n]
else:
    assert data.count(DATA) == 1
    out = data.replace(DATA, SIGNED)
open(target, 'wb').write(out)
)";

// Re-encodes the first primitive OCTET STRING or [0] at least argv[2] bytes long in a DER
// file (argv[1]) as a constructed string of 1000-byte OCTET STRING pieces (argv[3]),
// as streaming writers put large content.
constexpr char kPiecesScript[] = R"(import sys
def length(n):
    if n < 128:
        return bytes([n])
    raw = n.to_bytes((n.bit_length() + 7) // 8, 'big')
    return bytes([0x80 | len(raw)]) + raw
def rewrite(data, least):
    out, offset = b'', 0
    while offset < len(data):
        tag, n, start = data[offset], data[offset + 1], offset + 2
        if n & 0x80:
            n, start = int.from_bytes(data[start:start + (n & 0x7F)], 'big'), start + (n & 0x7F)
        body = data[start:start + n]
        if tag & 0x20:
            body = rewrite(body, least)
        elif tag in (0x04, 0x80) and n >= least and not rewrite.done:
            rewrite.done = True
            body = b''.join(b'\x04' + length(len(body[i:i + 1000])) + body[i:i + 1000]
                            for i in range(0, n, 1000))
            tag |= 0x20
        out += bytes([tag]) + length(len(body)) + body
        offset = start + n
    return out
rewrite.done = False
data = open(sys.argv[1], 'rb').read()
open(sys.argv[3], 'wb').write(rewrite(data, int(sys.argv[2])))
)";

class OpenSslPeer : public testing::Test {
protected:
    void SetUp() override {
        pki = &TestPki::Pki::Get();
        dir = TestSupport::MakeTempDir(L"ossl");
        const std::wstring root = TestSupport::MakeTempDir(L"tree");
        MakeSampleTree(root);
        ASSERT_EQ(ArchiveOutcome::Built,
                  PackSelection({root + L"\\a.txt", root + L"\\sub", root + L"\\b.bin"}, root,
                                nullptr, archive));
        archiveBytes = Bytes(archive);
        TestSupport::WriteFileBytes(dir + L"\\archive.zip", archiveBytes);
        TestSupport::WriteFileBytes(dir + L"\\der.py", kDerScript);
        TestSupport::WriteFileBytes(dir + L"\\pieces.py", kPiecesScript);
        TestSupport::RemoveTree(root);
    }
    void TearDown() override { TestSupport::RemoveTree(dir); }

    void Write(DocumentKind kind, const std::wstring& name) {
        MessageBlob message = MakeContainer(kind, archive);
        ASSERT_TRUE(WriteContainer(message, dir + L"\\" + name));
    }
    void Run(const std::string& command) {
        const TestSupport::HostResult result = TestSupport::RunHostIn(dir, command);
        ASSERT_EQ(0, result.exitCode) << command << "\n" << result.output;
    }
    std::string Output(const std::string& command) {
        const TestSupport::HostResult result = TestSupport::RunHostIn(dir, command);
        EXPECT_EQ(0, result.exitCode) << command << "\n" << result.output;
        return result.output;
    }
    std::string Chain() { return ShellQuote(pki->UnixTrustedChainPath()); }
    std::string Decrypt(const std::string& in, const std::string& out) {
        return "openssl cms -decrypt -inform DER -in " + in + " -recip " + CertArg(kRecipient) +
               " -inkey " + KeyArg(kRecipient) + " -out " + out;
    }

    TestPki::Pki* pki = nullptr;
    std::wstring dir;
    MessageBlob archive;
    std::string archiveBytes;
};

} // namespace

TEST_F(OpenSslPeer, VerifiesOurSignedDocument) {
    Write(DocumentKind::Signed, L"ours.snx");
    Run("openssl cms -verify -inform DER -in ours.snx -CAfile " + Chain() + " -out content.bin");
    EXPECT_EQ(archiveBytes, ReadFileBytes(dir + L"\\content.bin"));
    // Exactly one certificate, the signer's, and SHA-256 digests.
    const std::string certificates =
        Output("openssl pkcs7 -inform DER -in ours.snx -print_certs -noout");
    EXPECT_EQ(1u, std::count(certificates.begin(), certificates.end(), '\n') / 2) << certificates;
    EXPECT_NE(std::string::npos, certificates.find("1234567")) << certificates;
    const std::string printed = Output("openssl cms -cmsout -print -inform DER -in ours.snx");
    EXPECT_NE(std::string::npos, printed.find("algorithm: sha256 (2.16.840.1.101.3.4.2.1)"))
        << printed;
    EXPECT_EQ(std::string::npos, printed.find("sha1")) << printed;
    // Baseline B. OpenSSL 3.0's cms -verify does not look at signing-certificate-v2, so its
    // one certHash is set beside OpenSSL's SHA-256 of the signer's certificate.
    for (const char* attribute :
         {"contentType (1.2.840.113549.1.9.3)", "messageDigest (1.2.840.113549.1.9.4)",
          "signingTime (1.2.840.113549.1.9.5)",
          "id-smime-aa-signingCertificateV2 (1.2.840.113549.1.9.16.2.47)"}) {
        EXPECT_NE(std::string::npos, printed.find(attribute)) << attribute << "\n" << printed;
    }
    const size_t ess = printed.find("id-smime-aa-signingCertificateV2");
    const std::string certHash = "d=3  hl=2 l=  32 prim:    OCTET STRING      [HEX DUMP]:";
    const size_t hash = printed.find(certHash, ess);
    ASSERT_NE(std::string::npos, hash) << printed;
    std::string expected =
        Output("openssl x509 -in " + CertArg(kSigner) + " -outform DER | openssl dgst -sha256 -r");
    std::transform(expected.begin(), expected.end(), expected.begin(), ::toupper);
    EXPECT_EQ(expected.substr(0, 64), printed.substr(hash + certHash.size(), 64));
}

TEST_F(OpenSslPeer, DecryptsOurEncryptedDocument) {
    Write(DocumentKind::Encrypted, L"ours.enx");
    Run(Decrypt("ours.enx", "content.bin"));
    EXPECT_EQ(archiveBytes, ReadFileBytes(dir + L"\\content.bin"));
    const std::string printed = Output("openssl cms -cmsout -print -inform DER -in ours.enx");
    EXPECT_NE(std::string::npos, printed.find("aes-256-cbc (2.16.840.1.101.3.4.1.42)")) << printed;
    EXPECT_NE(std::string::npos, printed.find("contentType: pkcs7-data")) << printed;
    EXPECT_NE(std::string::npos, printed.find("d.issuerAndSerialNumber")) << printed;
    // The IV is the algorithm's parameter: 16 bytes, fresh for every container.
    const std::string ivPrefix("\x06\x09\x60\x86\x48\x01\x65\x03\x04\x01\x2A\x04\x10", 13);
    const std::string first = ReadFileBytes(dir + L"\\ours.enx");
    Write(DocumentKind::Encrypted, L"again.enx");
    const std::string second = ReadFileBytes(dir + L"\\again.enx");
    const size_t at = first.find(ivPrefix);
    ASSERT_NE(std::string::npos, at);
    ASSERT_NE(std::string::npos, second.find(ivPrefix));
    EXPECT_NE(first.substr(at, 29), second.substr(second.find(ivPrefix), 29));
}

TEST_F(OpenSslPeer, DecryptsOurProtectedDocumentAndVerifiesTheSignedDataInside) {
    Write(DocumentKind::Protected, L"ours.pnx");
    const std::string printed = Output("openssl cms -cmsout -print -inform DER -in ours.pnx");
    EXPECT_NE(std::string::npos, printed.find("contentType: pkcs7-signedData")) << printed;
    EXPECT_NE(std::string::npos, printed.find("aes-256-cbc (2.16.840.1.101.3.4.1.42)")) << printed;
    Run(Decrypt("ours.pnx", "inner.der"));
    Run("python3 der.py wrap inner.der signed.der");
    Run("openssl cms -verify -inform DER -in signed.der -CAfile " + Chain() + " -out content.bin");
    EXPECT_EQ(archiveBytes, ReadFileBytes(dir + L"\\content.bin"));
    const std::string inner = Output("openssl cms -cmsout -print -inform DER -in signed.der");
    EXPECT_NE(std::string::npos, inner.find("algorithm: sha256 (2.16.840.1.101.3.4.2.1)")) << inner;
    // The signed data inside is the one our Signed Document carries.
    Write(DocumentKind::Signed, L"ours.snx");
    Run("python3 der.py unwrap ours.snx bare.der");
    EXPECT_EQ(ReadFileBytes(dir + L"\\bare.der").size(),
              ReadFileBytes(dir + L"\\inner.der").size());
}

TEST_F(OpenSslPeer, EachRecipientOfSeveralDecryptsAlone) {
    const std::vector<std::string> five = {"recipient_ab", "recipient_tp", "recipient_both",
                                           "recipient_expired", "recipient_revoked"};
    const struct {
        bool sign;
        size_t count;
    } cases[] = {{false, 2}, {true, 2}, {false, 5}, {true, 5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.count) + (c.sign ? " signed" : ""));
        std::vector<MHFX::CertContextHandle> held;
        Recipients recipients;
        for (size_t i = 0; i < c.count; ++i) {
            held.push_back(pki->LoadCertificate(five[i]));
            recipients.push_back(held.back().get());
        }
        MessageBlob message;
        ASSERT_TRUE(c.sign ? ProtectArchive(archive, pki->Certificate(kSigner).get(),
                                            kSignatureHashOid, recipients, message)
                           : EncryptArchive(archive, recipients, message));
        ASSERT_TRUE(WriteContainer(message, dir + L"\\many.enx"));
        const std::string printed = Output("openssl cms -cmsout -print -inform DER -in many.enx");
        size_t infos = 0;
        for (size_t at = printed.find("d.ktri:"); at != std::string::npos;
             at = printed.find("d.ktri:", at + 1)) {
            ++infos;
        }
        EXPECT_EQ(c.count, infos) << printed;
        for (size_t i = 0; i < c.count; ++i) {
            SCOPED_TRACE(five[i]);
            Run("openssl cms -decrypt -inform DER -in many.enx -recip " + CertArg(five[i]) +
                " -inkey " + KeyArg(five[i]) + (c.sign ? " -out inner.der" : " -out content.bin"));
            if (c.sign) {
                Run("python3 der.py wrap inner.der signed.der");
                Run("openssl cms -verify -inform DER -in signed.der -CAfile " + Chain() +
                    " -out content.bin");
            }
            EXPECT_EQ(archiveBytes, ReadFileBytes(dir + L"\\content.bin"));
        }
    }
    // No envelope beyond the limit.
    auto one = pki->LoadCertificate(kRecipient);
    MessageBlob message;
    EXPECT_FALSE(EncryptArchive(archive, Recipients(kMostRecipients + 1, one.get()), message));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), ::GetLastError());
}

TEST_F(OpenSslPeer, SignedDocumentsOfOpenSslOpen) {
    const std::string sign = " -binary -nodetach -outform DER -in archive.zip -signer " +
                             CertArg(kSigner) + " -inkey " + KeyArg(kSigner);
    const struct {
        const char* name;
        std::string command;
        bool outdated;
    } cases[] = {
        {"cms with signed attributes", "openssl cms -sign -md sha1" + sign + " -out theirs.snx",
         true},
        {"cms without attributes", "openssl cms -sign -noattr -md sha1" + sign + " -out theirs.snx",
         true},
        {"smime (PKCS#7)", "openssl smime -sign -md sha1" + sign + " -out theirs.snx", true},
        {"cms sha256", "openssl cms -sign -md sha256" + sign + " -out theirs.snx", false},
        {"cms sha512 without attributes",
         "openssl cms -sign -noattr -md sha512" + sign + " -out theirs.snx", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Run(c.command);
        Document document(dir + L"\\theirs.snx");
        ASSERT_TRUE(document.Open(0));
        EXPECT_TRUE(document.IsSignatureValid());
        EXPECT_EQ(c.outdated, document.IsSignatureAlgorithmOutdated());
        EXPECT_EQ(archiveBytes, ContentOf(document));
        ASSERT_NE(nullptr, document.SignerCertificate());
        auto signer = pki->Certificate(kSigner);
        EXPECT_TRUE(::CertCompareCertificate(X509_ASN_ENCODING, signer.get()->pCertInfo,
                                             document.SignerCertificate()->pCertInfo));
    }
}

TEST_F(OpenSslPeer, ChangedContentUnderSignedAttributesIsNotValid) {
    // The signature covers the attributes; only their message digest ties it to the content.
    for (const char* digest : {"sha1", "sha256"}) {
        SCOPED_TRACE(digest);
        Run(std::string("openssl cms -sign -binary -nodetach -md ") + digest +
            " -outform DER -in archive.zip -signer " + CertArg(kSigner) + " -inkey " +
            KeyArg(kSigner) + " -out theirs.snx");
        std::string bytes = ReadFileBytes(dir + L"\\theirs.snx");
        const size_t at = bytes.find(archiveBytes);
        ASSERT_NE(std::string::npos, at);
        bytes[at + archiveBytes.size() / 2] ^= 0x01;
        TestSupport::WriteFileBytes(dir + L"\\changed.snx", bytes);
        Document document(dir + L"\\changed.snx");
        ASSERT_TRUE(document.Open(0));
        EXPECT_FALSE(document.IsSignatureValid());
    }
}

TEST_F(OpenSslPeer, EnvelopesOfOpenSslOpen) {
    for (const char* cipher : {"-des3", "-aes256"}) {
        SCOPED_TRACE(cipher);
        Run(std::string("openssl cms -encrypt ") + cipher +
            " -binary -outform DER -in archive.zip -recip " + CertArg(kRecipient) +
            " -out theirs.enx");
        Document document(dir + L"\\theirs.enx");
        ASSERT_TRUE(document.Open(0));
        EXPECT_FALSE(document.IsSignatureValid());
        EXPECT_EQ(nullptr, document.SignerCertificate());
        EXPECT_EQ(archiveBytes, ContentOf(document));
    }
}

TEST_F(OpenSslPeer, SignedThenEnvelopedDocumentsOfOpenSslOpen) {
    Run("openssl cms -sign -binary -nodetach -md sha1 -outform DER -in archive.zip -signer " +
        CertArg(kSigner) + " -inkey " + KeyArg(kSigner) + " -out signed.der");
    Run("python3 der.py unwrap signed.der bare.der");
    Run("openssl cms -encrypt -des3 -binary -outform DER -in bare.der -recip " +
        CertArg(kRecipient) + " -out data.pnx");
    Run("python3 der.py retype data.pnx theirs.pnx");
    const std::string printed = Output("openssl cms -cmsout -print -inform DER -in theirs.pnx");
    ASSERT_NE(std::string::npos, printed.find("contentType: pkcs7-signedData")) << printed;

    Document document(dir + L"\\theirs.pnx");
    ASSERT_TRUE(document.Open(0));
    EXPECT_TRUE(document.IsSignatureValid());
    EXPECT_EQ(archiveBytes, ContentOf(document));
    ASSERT_NE(nullptr, document.SignerCertificate());
    auto signer = pki->Certificate(kSigner);
    EXPECT_TRUE(::CertCompareCertificate(X509_ASN_ENCODING, signer.get()->pCertInfo,
                                         document.SignerCertificate()->pCertInfo));

    // The inner type is what the reader goes by: the same envelope announced as data opens
    // as an unsigned document whose content is the signed data itself.
    Document asData(dir + L"\\data.pnx");
    ASSERT_TRUE(asData.Open(0));
    EXPECT_FALSE(asData.IsSignatureValid());
    EXPECT_EQ(ReadFileBytes(dir + L"\\bare.der"), ContentOf(asData));
}

// Content in definite-length pieces opens as in one string, and a changed piece is caught.
TEST_F(OpenSslPeer, ContentInPiecesOpens) {
    const std::string sign = "openssl cms -sign -binary -nodetach -outform DER -in archive.zip "
                             "-signer " +
                             CertArg(kSigner) + " -inkey " + KeyArg(kSigner);
    const struct {
        const char* name;
        std::string command;
        bool signedDocument;
    } cases[] = {
        {"signed attributes", sign + " -md sha256 -out whole.der", true},
        {"no attributes", sign + " -noattr -md sha512 -out whole.der", true},
        {"envelope",
         "openssl cms -encrypt -aes256 -binary -outform DER -in archive.zip -recip " +
             CertArg(kRecipient) + " -out whole.der",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Run(c.command);
        Run("python3 pieces.py whole.der " + std::to_string(archiveBytes.size() / 2) +
            " theirs.snx");
        std::string bytes = ReadFileBytes(dir + L"\\theirs.snx");
        ASSERT_LT(ReadFileBytes(dir + L"\\whole.der").size(), bytes.size());
        Document document(dir + L"\\theirs.snx");
        ASSERT_TRUE(document.Open(0));
        EXPECT_EQ(c.signedDocument, document.IsSignatureValid());
        EXPECT_EQ(archiveBytes, ContentOf(document));
        if (c.signedDocument) {
            // A byte of the second piece: the content after the first piece's move.
            const size_t at = bytes.find(archiveBytes.substr(1000, 100));
            ASSERT_NE(std::string::npos, at);
            bytes[at + 10] ^= 0x01;
            TestSupport::WriteFileBytes(dir + L"\\changed.snx", bytes);
            Document changed(dir + L"\\changed.snx");
            ASSERT_TRUE(changed.Open(0));
            EXPECT_FALSE(changed.IsSignatureValid());
            // Co-signed, the pieces are kept as they are and both signers verify.
            ASSERT_EQ(CoSigningOutcome::Signed,
                      AddSignature(dir + L"\\theirs.snx", dir + L"\\both.snx",
                                   pki->Certificate("no_qc").get())
                          .outcome);
            Run("openssl cms -verify -inform DER -in both.snx -CAfile " + Chain() +
                " -out content.bin");
            EXPECT_EQ(archiveBytes, ReadFileBytes(dir + L"\\content.bin"));
            Document both(dir + L"\\both.snx");
            ASSERT_TRUE(both.Open(0));
            EXPECT_EQ(2u, both.SignatureCount());
            EXPECT_TRUE(both.AreAllSignaturesValid());
        }
    }
}

// Replaces the signer infos of a SignedData (argv[1]) by its own followed by those of
// another over other content (argv[2]), with both certificate sets (argv[3]).
constexpr char kSpliceScript[] = R"(import sys
def length(n):
    if n < 128:
        return bytes([n])
    raw = n.to_bytes((n.bit_length() + 7) // 8, 'big')
    return bytes([0x80 | len(raw)]) + raw
def children(data):
    out, offset = [], 0
    while offset < len(data):
        n, start = data[offset + 1], offset + 2
        if n & 0x80:
            n, start = int.from_bytes(data[start:start + (n & 0x7F)], 'big'), start + (n & 0x7F)
        out.append((data[offset], data[start:start + n]))
        offset = start + n
    return out
def enc(tag, body):
    return bytes([tag]) + length(len(body)) + body
def fields(path):
    info = children(children(open(path, 'rb').read())[0][1])
    return children(children(info[1][1])[0][1])
ours, theirs = fields(sys.argv[1]), fields(sys.argv[2])
extra = {0xA0: theirs[3][1], 0x31: theirs[-1][1]}
merged = ours[:3] + [(t, b + extra.get(t, b'')) for t, b in ours[3:]]
signed = enc(0x30, b''.join(enc(t, b) for t, b in merged))
oid = bytes.fromhex('06092a864886f70d010702')
open(sys.argv[3], 'wb').write(enc(0x30, oid + enc(0xA0, signed)))
)";

// A document we signed with a second signature beside the first, each judged on its own.
TEST_F(OpenSslPeer, CoSignedDocumentsOpenWithEverySignature) {
    TestSupport::WriteFileBytes(dir + L"\\splice.py", kSpliceScript);
    TestSupport::WriteFileBytes(dir + L"\\changed.zip", archiveBytes + "x");
    const std::string second =
        " -md sha256 -signer " + CertArg("no_qc") + " -inkey " + KeyArg("no_qc");
    const struct {
        const char* name;
        std::string command;
        bool secondValid;
    } cases[] = {
        {"co-signed by OpenSSL",
         "openssl cms -resign -binary -inform DER -outform DER -in ours.snx" + second +
             " -out both.snx",
         true},
        {"second signature over other content",
         "openssl cms -sign -binary -nodetach -outform DER -in changed.zip" + second +
             " -out other.snx && python3 splice.py ours.snx other.snx both.snx",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Write(DocumentKind::Signed, L"ours.snx");
        Run(c.command);
        Document document(dir + L"\\both.snx");
        ASSERT_TRUE(document.Open(0)) << std::hex << document.FailureCode();
        ASSERT_EQ(2u, document.SignatureCount());
        EXPECT_EQ(archiveBytes, ContentOf(document));
        EXPECT_TRUE(document.IsSignatureValid());
        EXPECT_TRUE(document.Signatures()[0].valid);
        EXPECT_EQ(c.secondValid, document.Signatures()[1].valid);
        EXPECT_EQ(c.secondValid, document.AreAllSignaturesValid());
        ASSERT_TRUE(document.SelectSignature(1));
        EXPECT_EQ(c.secondValid, document.IsSignatureValid());
        auto signer = pki->Certificate("no_qc");
        EXPECT_TRUE(::CertCompareCertificate(X509_ASN_ENCODING, signer.get()->pCertInfo,
                                             document.SignerCertificate()->pCertInfo));
        EXPECT_FALSE(document.SelectSignature(2));
    }
}

// Two of our messages over the same content merged: the second signer joins after the first,
// which is kept byte for byte, and a certificate both carry is kept once.
TEST_F(OpenSslPeer, ParallelSignerJoinsWithoutDuplicates) {
    Write(DocumentKind::Signed, L"first.snx");
    Write(DocumentKind::Signed, L"second.snx");
    Run("python3 der.py unwrap first.snx first.der && python3 der.py unwrap second.snx "
        "second.der");
    const std::string first = ReadFileBytes(dir + L"\\first.der");
    const std::string second = ReadFileBytes(dir + L"\\second.der");
    const auto* a = reinterpret_cast<const BYTE*>(first.data());
    const auto* b = reinterpret_cast<const BYTE*>(second.data());
    const std::vector<BYTE> merged = WithParallelSigner(a, first.size(), b, second.size());
    ASSERT_FALSE(merged.empty());
    const std::string bytes(merged.begin(), merged.end());
    auto signer = pki->Certificate(kSigner);
    const std::string certificate(reinterpret_cast<const char*>(signer.get()->pbCertEncoded),
                                  signer.get()->cbCertEncoded);
    const size_t at = bytes.find(certificate);
    ASSERT_NE(std::string::npos, at);
    EXPECT_EQ(std::string::npos, bytes.find(certificate, at + 1));
    // Both signers' tails (their signature values) as they were, the first one's first.
    const size_t firstTail = bytes.find(first.substr(first.size() - 200));
    ASSERT_NE(std::string::npos, firstTail);
    EXPECT_EQ(bytes.size() - 200, bytes.rfind(second.substr(second.size() - 200)));
    EXPECT_LT(firstTail, bytes.size() - 200);
    EXPECT_TRUE(WithParallelSigner(a, first.size() - 1, b, second.size()).empty());
}
