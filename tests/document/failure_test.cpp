// Containers that are damaged, foreign or not ours to open, and writing over an existing
// container that fails.
#include <gtest/gtest.h>

#include "document/creation/archive_builder.h"
#include "document/container/container_writer.h"
#include "document/container/document.h"
#include "document/document_test_util.h"
#include "foundation/win32_exception.h"

using namespace Dossiq::Documents;

using namespace DocTest;
using TestSupport::ReadFileBytes;
using TestSupport::WriteFileBytes;

namespace {

class Damaged : public testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::wstring root = TestSupport::MakeTempDir(L"dmg");
        MakeSampleTree(root);
        MessageBlob blob;
        ASSERT_EQ(ArchiveOutcome::Built,
                  PackSelection({root + L"\\b.bin", root + L"\\sub"}, root, nullptr, blob));
        archive = Bytes(blob);
        signedMessage = Bytes(MakeContainer(DocumentKind::Signed, blob));
        protectedMessage = Bytes(MakeContainer(DocumentKind::Protected, blob));
        TestSupport::RemoveTree(root);
    }

    void SetUp() override { dir = TestSupport::MakeTempDir(L"d"); }
    void TearDown() override { TestSupport::RemoveTree(dir); }

    std::wstring Put(const std::string& bytes, const wchar_t* name = L"doc.snx") {
        const std::wstring path = dir + L"\\" + name;
        WriteFileBytes(path, bytes);
        return path;
    }

    static void ExpectFailed(Document& document) {
        EXPECT_FALSE(document.Open(0));
        EXPECT_TRUE(document.HasFailed());
        EXPECT_FALSE(document.IsOpened());
        EXPECT_FALSE(document.IsSignatureValid());
        EXPECT_EQ(nullptr, document.SignerCertificate());
        EXPECT_FALSE(document.Content());
    }

    static std::string Flip(std::string bytes, size_t offset) {
        bytes[offset] = static_cast<char>(bytes[offset] ^ 0x01);
        return bytes;
    }

    static std::string archive;
    static std::string signedMessage;
    static std::string protectedMessage;
    std::wstring dir;
};

std::string Damaged::archive;
std::string Damaged::signedMessage;
std::string Damaged::protectedMessage;

std::string DataMessage(const std::string& content) {
    MHFX::CryptMsgHandle message(::CryptMsgOpenToEncode(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                                        CMSG_DATA, nullptr, nullptr, nullptr));
    EXPECT_TRUE(message);
    EXPECT_TRUE(::CryptMsgUpdate(message.get(), reinterpret_cast<const BYTE*>(content.data()),
                                 static_cast<DWORD>(content.size()), TRUE));
    DWORD length = 0;
    EXPECT_TRUE(::CryptMsgGetParam(message.get(), CMSG_CONTENT_PARAM, 0, nullptr, &length));
    std::string bytes(length, '\0');
    EXPECT_TRUE(::CryptMsgGetParam(message.get(), CMSG_CONTENT_PARAM, 0, bytes.data(), &length));
    bytes.resize(length);
    return bytes;
}

} // namespace

TEST_F(Damaged, ChangedContentOpensAsTampered) {
    const size_t at = signedMessage.find(archive);
    ASSERT_NE(std::string::npos, at);
    Document document(Put(Flip(signedMessage, at + archive.size() / 2)));
    ASSERT_TRUE(document.Open(0));
    EXPECT_FALSE(document.IsSignatureValid());
    EXPECT_EQ(Flip(archive, archive.size() / 2), ContentOf(document));
    EXPECT_NE(nullptr, document.SignerCertificate());
}

TEST_F(Damaged, ChangedSignatureOpensAsTampered) {
    // The signature value ends the message.
    Document document(Put(Flip(signedMessage, signedMessage.size() - 20)));
    ASSERT_TRUE(document.Open(0));
    EXPECT_FALSE(document.IsSignatureValid());
    EXPECT_EQ(archive, ContentOf(document));
    EXPECT_NE(nullptr, document.SignerCertificate());
}

TEST_F(Damaged, ChangedCiphertextOfProtectedDocumentOpensAsTampered) {
    // In the middle the ciphertext covers archive bytes: one block garbled, one bit changed.
    Document document(Put(Flip(protectedMessage, protectedMessage.size() / 2), L"doc.pnx"));
    ASSERT_TRUE(document.Open(0));
    EXPECT_FALSE(document.IsSignatureValid());
    const std::string content = ContentOf(document);
    ASSERT_EQ(archive.size(), content.size());
    EXPECT_NE(archive, content);
}

TEST_F(Damaged, TheExtensionPlaysNoPart) {
    Document signedAsProtected(Put(signedMessage, L"signed.pnx"));
    ASSERT_TRUE(signedAsProtected.Open(0));
    EXPECT_TRUE(signedAsProtected.IsSignatureValid());
    Document protectedAsText(Put(protectedMessage, L"protected.txt"));
    ASSERT_TRUE(protectedAsText.Open(0));
    EXPECT_TRUE(protectedAsText.IsSignatureValid());
}

TEST_F(Damaged, WhatIsNoDocumentFailsToOpen) {
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"signed, truncated to half", signedMessage.substr(0, signedMessage.size() / 2)},
        {"signed, last byte missing", signedMessage.substr(0, signedMessage.size() - 1)},
        {"protected, truncated to half", protectedMessage.substr(0, protectedMessage.size() / 2)},
        {"protected, last block missing", protectedMessage.substr(0, protectedMessage.size() - 8)},
        {"zero length", ""},
        {"text", "This is a text file, not a document.\r\n"},
        {"PKCS#7 of type data", DataMessage(archive)},
        {"random bytes", RandomBytes(5000, 3)},
        {"the archive itself", archive},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Document document(Put(c.bytes));
        ExpectFailed(document);
    }
}

TEST_F(Damaged, MissingOrVanishedFilesFailToOpen) {
    Document missing(dir + L"\\none.snx");
    ExpectFailed(missing);
    Document inMissingFolder(dir + L"\\none\\none.snx");
    ExpectFailed(inMissingFolder);

    const std::wstring path = Put(signedMessage);
    Document vanished(path);
    ASSERT_TRUE(::DeleteFileW(path.c_str()));
    ExpectFailed(vanished);
}

TEST_F(Damaged, FailedOpeningIsNeverRetried) {
    const std::wstring path = dir + L"\\later.snx";
    Document document(path);
    ExpectFailed(document);
    // Repairing the file changes nothing for this Document; a new one opens it.
    WriteFileBytes(path, signedMessage);
    ExpectFailed(document);
    Document fresh(path);
    EXPECT_TRUE(fresh.Open(0));

    // Nor is a successful opening repeated: the content stays without the file.
    ASSERT_TRUE(::DeleteFileW(path.c_str()));
    EXPECT_TRUE(fresh.Open(0));
    EXPECT_TRUE(fresh.IsOpened());
    EXPECT_EQ(archive, ContentOf(fresh));
}

TEST_F(Damaged, EnvelopeForSomebodyElseFailsToOpen) {
    // The root's key is in nobody's "My" store.
    MessageBlob blob = Blob(archive);
    Document protectedForRoot(
        Put(Bytes(MakeContainer(DocumentKind::Protected, blob, "root")), L"root.pnx"));
    ExpectFailed(protectedForRoot);
    Document encryptedForRoot(
        Put(Bytes(MakeContainer(DocumentKind::Encrypted, blob, "root")), L"root.enx"));
    ExpectFailed(encryptedForRoot);
    // Refused from its headers while most of the file is still being read.
    Document largeForRoot(
        Put(Bytes(MakeContainer(DocumentKind::Encrypted, Blob(RandomBytes(48 << 20, 3)), "root")),
            L"large.enx"));
    ExpectFailed(largeForRoot);
    EXPECT_EQ(static_cast<DWORD>(CRYPT_E_RECIPIENT_NOT_FOUND), largeForRoot.FailureCode());
}

TEST(ContainerWriter, ReplacesOnlyWhenTheWholeMessageIsWritten) {
    const std::wstring dir = TestSupport::MakeTempDir(L"w");
    const std::wstring path = dir + L"\\Report.snx";
    const std::string old = "the old container";
    WriteFileBytes(path, old);
    const auto onlyTarget = [&] {
        return ReadTree(dir).size() == 1 && ReadTree(dir).count(L"Report.snx") == 1;
    };

    // A message that cannot be written.
    EXPECT_FALSE(WriteContainer(MessageBlob(), path));
    EXPECT_EQ(old, ReadFileBytes(path));
    EXPECT_TRUE(onlyTarget());

    // A target that cannot be replaced (held open without sharing).
    const MessageBlob message = Blob(RandomBytes(3 * 1024 * 1024, 9));
    {
        MHFX::FileHandle held(
            ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        EXPECT_FALSE(WriteContainer(message, path));
        EXPECT_NE(0u, ::GetLastError());
    }
    EXPECT_EQ(old, ReadFileBytes(path));
    EXPECT_TRUE(onlyTarget());

    // A folder that does not exist: the file stream's exception, nothing written.
    EXPECT_THROW(WriteContainer(message, dir + L"\\missing\\Report.snx"), MHFX::Win32Exception);
    EXPECT_TRUE(onlyTarget());

    EXPECT_TRUE(WriteContainer(message, path));
    EXPECT_EQ(Bytes(message), ReadFileBytes(path));
    EXPECT_TRUE(onlyTarget());
    TestSupport::RemoveTree(dir);
}

TEST_F(Damaged, ChangedBytesAnywhereInSmallDocumentsNeverCrash) {
    const std::string plain = RandomBytes(300, 11);
    const MessageBlob content = Blob(plain);
    for (DocumentKind kind : {DocumentKind::Signed, DocumentKind::Protected}) {
        SCOPED_TRACE(kind == DocumentKind::Signed ? "signed" : "protected");
        const std::string message = Bytes(MakeContainer(kind, content));
        const size_t contentAt = message.find(plain);
        int opened = 0;
        for (size_t at = 0; at < message.size(); at += kind == DocumentKind::Signed ? 7 : 41) {
            Document document(Put(Flip(message, at)));
            const bool result = document.Open(0);
            EXPECT_EQ(result, document.IsOpened());
            EXPECT_NE(result, document.HasFailed());
            opened += result;
            // Whatever covers the content or the signature value (the last 128 bytes at least)
            // never passes as valid.
            // (Changes inside the embedded certificate may: the certificate is judged by
            // the chain checks, not here.)
            const bool inContent =
                contentAt != std::string::npos && at >= contentAt && at < contentAt + plain.size();
            if (inContent || at >= message.size() - 128) {
                EXPECT_FALSE(document.IsSignatureValid()) << at << " of " << message.size();
            }
        }
        EXPECT_GT(opened, 0);
    }
}
