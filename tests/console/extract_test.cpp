// list and extract: never replacing a file without --overwrite, chosen entries, and a
// hostile archive whose names try to leave --to.
#include <gtest/gtest.h>

#include <cstring>

#include "console/console_test_util.h"
#include "document/container/container_writer.h"
#include "document/container/message_builder.h"

using namespace Dossiq::Documents;

using namespace ConsoleTest;

namespace {

constexpr char kSha1Rsa[] = "1.2.840.113549.1.1.5";

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A Signed Document over the ZIP file `zipPath`.
void SignZipFile(const std::wstring& zipPath, const std::wstring& out) {
    const std::string zip = TestSupport::ReadFileBytes(zipPath);
    MessageBlob archive;
    archive.Attach(static_cast<BYTE*>(std::malloc(zip.size())), static_cast<DWORD>(zip.size()));
    std::memcpy(archive.Data(), zip.data(), zip.size());
    MessageBlob message;
    ASSERT_TRUE(SignArchive(archive, Kit().Certificate("qualified").get(), kSha1Rsa, message));
    ASSERT_TRUE(WriteContainer(message, out));
}

// A Signed Document over a ZIP that Python writes with the names given.
void SignedZip(const std::wstring& dir, const std::string& entries, const std::wstring& out) {
    const auto made = TestSupport::RunHostIn(
        dir, "python3 -c 'import zipfile,sys\nz=zipfile.ZipFile(\"in.zip\",\"w\")\n"
             "for n in sys.argv[1:]: z.writestr(n, \"content of \"+n)\nz.close()' " +
                 entries);
    ASSERT_EQ(0, made.exitCode) << made.output;
    SignZipFile(dir + L"\\in.zip", out);
}

TEST(ExtractTest, NeverOverwritesWithoutBeingAsked) {
    const std::wstring dir = TestSupport::MakeTempDir(L"extract");
    SignedZip(dir, "a.txt sub/b.txt", dir + L"\\doc.snx");
    ::CreateDirectoryW((dir + L"\\out").c_str(), nullptr);

    Outcome run = RunDossiq(L"list doc.snx", dir);
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_NE(std::string::npos, run.out.find("a.txt"));
    EXPECT_NE(std::string::npos, run.out.find("b.txt"));

    run = RunDossiq(L"extract doc.snx --to out --entry sub/b.txt", dir);
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_EQ("content of sub/b.txt", TestSupport::ReadFileBytes(dir + L"\\out\\sub\\b.txt"));
    EXPECT_FALSE(Exists(dir + L"\\out\\a.txt"));

    // One file is there already: it is kept and named, the others are written.
    ::DeleteFileW((dir + L"\\out\\sub\\b.txt").c_str());
    TestSupport::WriteFileBytes(dir + L"\\out\\sub\\b.txt", "mine");
    run = RunDossiq(L"extract doc.snx --to out", dir);
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_NE(std::string::npos, run.err.find("--overwrite")) << run.err;
    EXPECT_NE(std::string::npos, run.err.find("b.txt")) << run.err;
    EXPECT_EQ("mine", TestSupport::ReadFileBytes(dir + L"\\out\\sub\\b.txt"));
    EXPECT_EQ("content of a.txt", TestSupport::ReadFileBytes(dir + L"\\out\\a.txt"));

    run = RunDossiq(L"extract doc.snx --to out --overwrite", dir);
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_EQ("content of sub/b.txt", TestSupport::ReadFileBytes(dir + L"\\out\\sub\\b.txt"));
    EXPECT_EQ("content of a.txt", TestSupport::ReadFileBytes(dir + L"\\out\\a.txt"));

    EXPECT_EQ(2u, RunDossiq(L"extract doc.snx --to out --entry nothere.txt", dir).exitCode);
    EXPECT_EQ(2u, RunDossiq(L"extract doc.snx --to missing", dir).exitCode);
}

// The exit code says whether every entry was written, and names the one that was not.
TEST(ExtractTest, ExitCodesTellWhatWasNotWritten) {
    const std::wstring dir = TestSupport::MakeTempDir(L"codes");
    // An archive holding a copy named as the container, and an entry of an unknown method.
    const auto made = TestSupport::RunHostIn(
        dir, "python3 -c 'import zipfile\nz=zipfile.ZipFile(\"in.zip\",\"w\")\n"
             "for n in (\"doc.snx\",\"good.txt\",\"odd.txt\"): z.writestr(n, \"content of \"+n)\n"
             "z.close()\nb=bytearray(open(\"in.zip\",\"rb\").read())\n"
             "c=b.rfind(b\"PK\\x01\\x02\"); l=int.from_bytes(b[c+42:c+46],\"little\")\n"
             "b[c+10]=b[l+8]=99\nopen(\"in.zip\",\"wb\").write(b)'");
    ASSERT_EQ(0, made.exitCode) << made.output;
    SignZipFile(dir + L"\\in.zip", dir + L"\\doc.snx");
    const std::string signedBytes = TestSupport::ReadFileBytes(dir + L"\\doc.snx");

    Outcome run = RunDossiq(L"extract doc.snx --overwrite", dir);
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_EQ(signedBytes, TestSupport::ReadFileBytes(dir + L"\\doc.snx"));
    EXPECT_EQ("content of good.txt", TestSupport::ReadFileBytes(dir + L"\\good.txt"));
    EXPECT_FALSE(Exists(dir + L"\\odd.txt"));
    for (const char* named : {"doc.snx", "odd.txt"}) {
        EXPECT_NE(std::string::npos, run.err.find(named)) << run.err;
    }
    EXPECT_EQ(0u, RunDossiq(L"extract doc.snx --overwrite --entry good.txt", dir).exitCode);

    // Changed since it was signed (another entry's bytes): refused unless forced.
    std::string changed = signedBytes;
    const size_t at = changed.find("content of odd.txt");
    ASSERT_NE(std::string::npos, at);
    changed[at] = 'C';
    ::CreateDirectoryW((dir + L"\\t").c_str(), nullptr);
    TestSupport::WriteFileBytes(dir + L"\\t\\changed.snx", changed);
    run = RunDossiq(L"extract changed.snx --entry good.txt", dir + L"\\t");
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_NE(std::string::npos, run.err.find("--force")) << run.err;
    EXPECT_FALSE(Exists(dir + L"\\t\\good.txt"));
    run = RunDossiq(L"extract changed.snx --entry good.txt --force", dir + L"\\t");
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_EQ("content of good.txt", TestSupport::ReadFileBytes(dir + L"\\t\\good.txt"));
}

// --entry takes the name as given before one that differs in case, and "#N" as the JSON
// report numbers the entries.
TEST(ExtractTest, EntryPrefersTheExactNameAndTakesAnIndex) {
    const std::wstring dir = TestSupport::MakeTempDir(L"entry");
    SignedZip(dir, "a.txt A.txt", dir + L"\\doc.snx");
    // The content written as out\\a.txt; null when there is no such entry.
    const std::pair<const wchar_t*, const char*> cases[] = {{L"A.txt", "content of A.txt"},
                                                            {L"a.txt", "content of a.txt"},
                                                            {L"A.TXT", "content of a.txt"},
                                                            {L"#1", "content of A.txt"},
                                                            {L"#2", nullptr}};
    for (const auto& [entry, content] : cases) {
        const std::wstring out = TestSupport::MakeTempDir(L"entry-out");
        const Outcome run =
            RunDossiq(L"extract doc.snx --to \"" + out + L"\" --entry " + entry, dir);
        EXPECT_EQ(content ? 0u : 2u, run.exitCode) << run.err;
        EXPECT_EQ(content ? content : "", TestSupport::ReadFileBytes(out + L"\\a.txt"));
    }
}

// An entry without a name is refused as one before it could be taken for the folder.
TEST(ExtractTest, AnEntryWithoutANameIsAnInvalidName) {
    const std::wstring dir = TestSupport::MakeTempDir(L"unnamed");
    const auto made = TestSupport::RunHostIn(
        dir, "python3 -c 'import zipfile\nz=zipfile.ZipFile(\"in.zip\",\"w\")\n"
             "z.writestr(\"b.txt\",\"content of b.txt\")\nz.writestr(\"E\",\"x\")\nz.close()\n"
             "b=bytearray(open(\"in.zip\",\"rb\").read())\ne=b.rfind(b\"PK\\x05\\x06\")-2\n"
             "c=b.rfind(b\"PK\\x01\\x02\"); l=int.from_bytes(b[c+42:c+46],\"little\")\n"
             "b[c+28]=0; del b[c+46]; b[l+26]=0; del b[l+30]\n"
             "for a in (e+12,e+16): b[a:a+4]=(int.from_bytes(b[a:a+4],\"little\")-1)"
             ".to_bytes(4,\"little\")\nopen(\"in.zip\",\"wb\").write(b)'");
    ASSERT_EQ(0, made.exitCode) << made.output;
    SignZipFile(dir + L"\\in.zip", dir + L"\\doc.snx");
    const Outcome run = RunDossiq(L"extract doc.snx", dir);
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_EQ("content of b.txt", TestSupport::ReadFileBytes(dir + L"\\b.txt"));
    EXPECT_EQ(std::string::npos, run.err.find("--overwrite")) << run.err;
    EXPECT_NE(std::string::npos, run.err.find("name")) << run.err;
}

TEST(ExtractTest, HostileNamesStayInsideTheFolder) {
    const std::wstring dir = TestSupport::MakeTempDir(L"hostile");
    SignedZip(dir,
              "'../escaped.txt' 'inner/../../escaped2.txt' '..\\\\escaped3.txt' "
              "'C:/escaped4.txt' 'NUL.txt' safe.txt",
              dir + L"\\hostile.snx");
    ::CreateDirectoryW((dir + L"\\box").c_str(), nullptr);
    const Outcome run = RunDossiq(L"extract hostile.snx --to box", dir);
    EXPECT_EQ(1u, run.exitCode) << run.err;
    EXPECT_EQ("content of safe.txt", TestSupport::ReadFileBytes(dir + L"\\box\\safe.txt"));
    for (const wchar_t* escaped : {L"\\escaped.txt", L"\\escaped2.txt", L"\\escaped3.txt"}) {
        EXPECT_FALSE(Exists(dir + escaped));
    }
    EXPECT_FALSE(Exists(L"C:\\escaped4.txt"));
    // Everything written is below box.
    const auto listing = TestSupport::RunHostIn(dir, "find . -type f");
    for (const char* line : {"./escaped", "./C:"}) {
        EXPECT_EQ(std::string::npos, listing.output.find(line)) << listing.output;
    }
}

// Info-ZIP on a UTF-8 host stores names as UTF-8 without marking them, as the names of the
// system they came from. With the ANSI and OEM code pages UTF-8 (Wine takes them from a
// Unicode-only locale) they read as they were written, instead of an empty list.
TEST(ExtractTest, ListsNamesWhereTheCodePagesAreUtf8) {
    const std::wstring dir = TestSupport::MakeTempDir(L"utf8cp");
    const std::string cd = "cd " + TestSupport::ShellQuote(TestSupport::UnixPath(dir)) + " && ";
    const auto zipped = TestSupport::RunHost(
        cd + "mkdir in && cd in && printf x >\"$(printf '\\320\\240\\320\\260\\321\\207\\321\\203"
             "\\320\\275.txt')\" && printf y >plain.txt && "
             "LC_ALL=C.UTF-8 zip -q ../in.zip * && cd .. && "
             "python3 -c 'import zipfile; assert not any(i.flag_bits & 0x800 for i in "
             "zipfile.ZipFile(\"in.zip\").infolist())'");
    ASSERT_EQ(0, zipped.exitCode) << zipped.output;
    SignZipFile(dir + L"\\in.zip", dir + L"\\doc.snx");

    // In the prefix's own code pages (1252) the bytes read as other characters.
    const Outcome ansi = RunDossiq(L"list doc.snx", dir);
    EXPECT_EQ(0u, ansi.exitCode) << ansi.err;
    EXPECT_EQ(std::string::npos, ansi.out.find("\u0420\u0430\u0447\u0443\u043D.txt")) << ansi.out;
    EXPECT_NE(std::string::npos, ansi.out.find("plain.txt")) << ansi.out;

    const std::string program =
        TestSupport::UnixPath(TestSupport::BuildDir() + L"\\console\\dossiq.exe");
    const auto utf8 = TestSupport::RunHost(cd + "LC_ALL=hi_IN.UTF-8 LANG=hi_IN.UTF-8 wine " +
                                           TestSupport::ShellQuote(program) +
                                           " list doc.snx >utf8.out 2>utf8.err");
    const std::string listed = TestSupport::ReadFileBytes(dir + L"\\utf8.out");
    EXPECT_EQ(0, utf8.exitCode) << utf8.output << TestSupport::ReadFileBytes(dir + L"\\utf8.err");
    EXPECT_NE(std::string::npos, listed.find("\u0420\u0430\u0447\u0443\u043D.txt")) << listed;
    EXPECT_NE(std::string::npos, listed.find("plain.txt")) << listed;

    // Written there: only the Cyrillic name needs the UTF-8 mark.
    const auto made = TestSupport::RunHost(
        cd + "LC_ALL=hi_IN.UTF-8 LANG=hi_IN.UTF-8 wine " + TestSupport::ShellQuote(program) +
        " create --sign qualified@dossiq.test -o made.snx in >made.out 2>&1 && "
        "openssl cms -verify -noverify -binary -inform DER -in made.snx -out made.zip && "
        "python3 -c 'import zipfile; [print(i.filename, i.flag_bits >> 11 & 1) for i in sorted("
        "zipfile.ZipFile(\"made.zip\").infolist(), key=lambda i: i.filename)]' >flags.txt");
    EXPECT_EQ(0, made.exitCode) << made.output << TestSupport::ReadFileBytes(dir + L"\\made.out");
    EXPECT_EQ("in/plain.txt 0\nin/\u0420\u0430\u0447\u0443\u043D.txt 1\n",
              TestSupport::ReadFileBytes(dir + L"\\flags.txt"));
}

} // namespace
