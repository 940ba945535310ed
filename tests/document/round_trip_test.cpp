// Containers of each kind written and opened again: the same files come out.
#include <gtest/gtest.h>

#include "document/creation/archive_builder.h"
#include "document/container/container_writer.h"
#include "document/container/document.h"
#include "document/document_test_util.h"
#include "zip/zip_mem_file.h"

using namespace Dossiq::Documents;

using namespace DocTest;

namespace {

class RoundTrip : public testing::TestWithParam<DocumentKind> {};

std::wstring Extension(DocumentKind kind) {
    return kind == DocumentKind::Signed      ? L".snx"
           : kind == DocumentKind::Protected ? L".pnx"
                                             : L".enx";
}

} // namespace

TEST_P(RoundTrip, FilesAndFoldersComeBackUnchanged) {
    const DocumentKind kind = GetParam();
    const std::wstring root = TestSupport::MakeTempDir(L"root");
    const Tree source = MakeSampleTree(root);
    ASSERT_EQ(5u, source.size());

    MessageBlob archive;
    ASSERT_EQ(ArchiveOutcome::Built, PackSelection({root + L"\\a.txt", root + L"\\sub",
                                                    root + L"\\empty", root + L"\\b.bin"},
                                                   root, nullptr, archive));
    const std::string archiveBytes = Bytes(archive);
    MessageBlob message = MakeContainer(kind, archive);
    const std::wstring path = TestSupport::MakeTempDir(L"out") + L"\\Report" + Extension(kind);
    ASSERT_TRUE(WriteContainer(message, path));
    EXPECT_EQ(Bytes(message), TestSupport::ReadFileBytes(path));

    Document document(path);
    EXPECT_FALSE(document.IsOpened());
    ASSERT_TRUE(document.Open(0));
    EXPECT_TRUE(document.IsOpened());
    EXPECT_FALSE(document.HasFailed());
    EXPECT_EQ(path, document.Path());
    EXPECT_EQ(archiveBytes, ContentOf(document));
    if (kind == DocumentKind::Encrypted) {
        EXPECT_FALSE(document.IsSignatureValid());
        EXPECT_EQ(nullptr, document.SignerCertificate());
    } else {
        EXPECT_TRUE(document.IsSignatureValid());
        ASSERT_NE(nullptr, document.SignerCertificate());
        auto signer = TestPki::Pki::Get().Certificate(kSigner);
        EXPECT_TRUE(::CertCompareCertificate(X509_ASN_ENCODING, signer.get()->pCertInfo,
                                             document.SignerCertificate()->pCertInfo));
    }

    // Names, bytes, times and attributes; the empty folder leaves no trace.
    const std::wstring out = TestSupport::MakeTempDir(L"x");
    int entries = 0;
    ASSERT_TRUE(ExtractAll(document.Content().data, document.Content().length, out, &entries));
    EXPECT_EQ(5, entries);
    const Tree extracted = ReadTree(out);
    ASSERT_EQ(source.size(), extracted.size());
    for (const auto& [name, state] : source) {
        auto found = extracted.find(name);
        ASSERT_NE(extracted.end(), found) << TestSupport::Narrow(name);
        EXPECT_TRUE(state == found->second) << TestSupport::Narrow(name);
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW((out + L"\\empty").c_str()));
    TestSupport::RemoveTree(out);
    TestSupport::RemoveTree(root);
}

INSTANTIATE_TEST_SUITE_P(Document, RoundTrip,
                         testing::Values(DocumentKind::Signed, DocumentKind::Protected,
                                         DocumentKind::Encrypted),
                         [](const testing::TestParamInfo<DocumentKind>& info) {
                             return info.param == DocumentKind::Signed      ? "Signed"
                                    : info.param == DocumentKind::Protected ? "Protected"
                                                                            : "Encrypted";
                         });

TEST(Archive, EmptyFoldersOnlyGiveAnArchiveWithoutEntries) {
    const std::wstring root = TestSupport::MakeTempDir(L"empty");
    ::CreateDirectoryW((root + L"\\one").c_str(), nullptr);
    ::CreateDirectoryW((root + L"\\two").c_str(), nullptr);
    ::CreateDirectoryW((root + L"\\two\\nested").c_str(), nullptr);
    MessageBlob archive;
    ASSERT_EQ(ArchiveOutcome::Built,
              PackSelection({root + L"\\one", root + L"\\two"}, root, nullptr, archive));
    int entries = -1;
    ASSERT_TRUE(ExtractAll(archive.Data(), archive.Length(), root, &entries));
    EXPECT_EQ(0, entries);
    EXPECT_EQ(22u, archive.Length()); // the end record alone

    // Such an archive still makes a container that opens.
    MessageBlob message = MakeContainer(DocumentKind::Signed, archive);
    ASSERT_TRUE(WriteContainer(message, root + L"\\empty.snx"));
    Document document(root + L"\\empty.snx");
    ASSERT_TRUE(document.Open(0));
    EXPECT_TRUE(document.IsSignatureValid());
    EXPECT_EQ(Bytes(archive), ContentOf(document));
    TestSupport::RemoveTree(root);
}

TEST(Archive, SizeLimitIsOneHundredMegabytesExclusive) {
    CZipMemFile tooLarge;
    tooLarge.SetLength(kMaxArchiveLength);
    MessageBlob archive;
    EXPECT_FALSE(TakeArchive(tooLarge, archive));
    EXPECT_TRUE(archive.Empty());
    EXPECT_EQ(0u, tooLarge.GetLength());
    EXPECT_EQ(nullptr, tooLarge.GetBuffer());

    CZipMemFile largest;
    largest.SetLength(kMaxArchiveLength - 1);
    const unsigned char* buffer = largest.GetBuffer();
    ASSERT_TRUE(TakeArchive(largest, archive));
    EXPECT_EQ(kMaxArchiveLength - 1, archive.Length());
    // Handed over, not copied.
    EXPECT_EQ(buffer, archive.Data());
    EXPECT_EQ(nullptr, largest.GetBuffer());
}

TEST(Archive, EntryNamesAreRelativeToTheRootAndStayInside) {
    struct Case {
        const wchar_t* root;
        const wchar_t* path;
        const wchar_t* name;
    };
    const Case cases[] = {
        {L"C:\\Work\\Reports", L"C:\\Work\\Reports\\report.final.docx", L"report.final.docx"},
        {L"C:\\Work\\Reports", L"C:\\Work\\Reports\\Q1\\Jan\\a.xlsx", L"Q1\\Jan\\a.xlsx"},
        {L"C:\\Work\\Reports\\", L"C:\\Work\\Reports\\b.txt", L"b.txt"},
        {L"C:\\", L"C:\\boot.ini", L"boot.ini"},
        // Items outside the root folder (a search-results selection) lose the steps up.
        {L"C:\\Work\\Reports", L"C:\\Work\\Other\\c.txt", L"Other\\c.txt"},
        {L"C:\\Work\\Reports", L"C:\\d.txt", L"d.txt"},
        // Items on another drive are named after their own folder.
        {L"C:\\Work\\Reports", L"R:\\Far\\e.txt", L"e.txt"},
        {L"c:\\Work", L"C:/Work/f.txt", L"f.txt"},
        {L"C:\\Work", L"\\\\server\\share\\Sub\\", L"Sub"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::wstring(c.name), ArchiveEntryName(c.root, c.path))
            << TestSupport::Narrow(c.path);
    }
}
