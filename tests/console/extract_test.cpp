// list and extract: never replacing a file without --overwrite, chosen entries, and a
// hostile archive whose names try to leave --to.
#include <gtest/gtest.h>

#include <cstring>

#include "console/console_test_util.h"
#include "document/container/container_writer.h"
#include "document/container/message_builder.h"

using namespace ConsoleTest;

namespace {

constexpr char kSha1Rsa[] = "1.2.840.113549.1.1.5";

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A Signed Document over a ZIP that Python writes with the names given.
void SignedZip(const std::wstring& dir, const std::string& entries, const std::wstring& out) {
    const auto made = TestSupport::RunHost(
        "cd " + TestSupport::ShellQuote(TestSupport::UnixPath(dir)) +
        " && python3 -c 'import zipfile,sys\nz=zipfile.ZipFile(\"in.zip\",\"w\")\n"
        "for n in sys.argv[1:]: z.writestr(n, \"content of \"+n)\nz.close()' " +
        entries);
    ASSERT_EQ(0, made.exitCode) << made.output;
    const std::string zip = TestSupport::ReadFileBytes(dir + L"\\in.zip");
    MessageBlob archive;
    archive.Attach(static_cast<BYTE*>(std::malloc(zip.size())), static_cast<DWORD>(zip.size()));
    std::memcpy(archive.Data(), zip.data(), zip.size());
    MessageBlob message;
    ASSERT_TRUE(SignArchive(archive, Kit().Certificate("qualified").get(), kSha1Rsa, message));
    ASSERT_TRUE(WriteContainer(message, out));
}

TEST(ExtractTest, NeverOverwritesWithoutBeingAsked) {
    const std::wstring dir = TestSupport::MakeTempDir(L"extract");
    SignedZip(dir, "a.txt sub/b.txt", dir + L"\\doc.snx");
    ::CreateDirectoryW((dir + L"\\out").c_str(), nullptr);

    Outcome run = Dossiq(L"list doc.snx", dir);
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_NE(std::string::npos, run.out.find("a.txt"));
    EXPECT_NE(std::string::npos, run.out.find("b.txt"));

    run = Dossiq(L"extract doc.snx --to out --entry sub/b.txt", dir);
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_EQ("content of sub/b.txt", TestSupport::ReadFileBytes(dir + L"\\out\\sub\\b.txt"));
    EXPECT_FALSE(Exists(dir + L"\\out\\a.txt"));

    // One file is there already: nothing is extracted, that file is untouched.
    ::DeleteFileW((dir + L"\\out\\sub\\b.txt").c_str());
    TestSupport::WriteFileBytes(dir + L"\\out\\sub\\b.txt", "mine");
    run = Dossiq(L"extract doc.snx --to out", dir);
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_NE(std::string::npos, run.err.find("--overwrite")) << run.err;
    EXPECT_EQ("mine", TestSupport::ReadFileBytes(dir + L"\\out\\sub\\b.txt"));
    EXPECT_FALSE(Exists(dir + L"\\out\\a.txt"));

    run = Dossiq(L"extract doc.snx --to out --overwrite", dir);
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_EQ("content of sub/b.txt", TestSupport::ReadFileBytes(dir + L"\\out\\sub\\b.txt"));
    EXPECT_EQ("content of a.txt", TestSupport::ReadFileBytes(dir + L"\\out\\a.txt"));

    EXPECT_EQ(2u, Dossiq(L"extract doc.snx --to out --entry nothere.txt", dir).exitCode);
    EXPECT_EQ(2u, Dossiq(L"extract doc.snx --to missing", dir).exitCode);
}

TEST(ExtractTest, HostileNamesStayInsideTheFolder) {
    const std::wstring dir = TestSupport::MakeTempDir(L"hostile");
    SignedZip(dir,
              "'../escaped.txt' 'inner/../../escaped2.txt' '..\\\\escaped3.txt' "
              "'C:/escaped4.txt' 'NUL.txt' safe.txt",
              dir + L"\\hostile.snx");
    ::CreateDirectoryW((dir + L"\\box").c_str(), nullptr);
    const Outcome run = Dossiq(L"extract hostile.snx --to box", dir);
    EXPECT_EQ(1u, run.exitCode) << run.err;
    EXPECT_EQ("content of safe.txt", TestSupport::ReadFileBytes(dir + L"\\box\\safe.txt"));
    for (const wchar_t* escaped : {L"\\escaped.txt", L"\\escaped2.txt", L"\\escaped3.txt"}) {
        EXPECT_FALSE(Exists(dir + escaped));
    }
    EXPECT_FALSE(Exists(L"C:\\escaped4.txt"));
    // Everything written is below box.
    const auto listing = TestSupport::RunHost(
        "cd " + TestSupport::ShellQuote(TestSupport::UnixPath(dir)) + " && find . -type f");
    for (const char* line : {"./escaped", "./C:"}) {
        EXPECT_EQ(std::string::npos, listing.output.find(line)) << listing.output;
    }
}

} // namespace
