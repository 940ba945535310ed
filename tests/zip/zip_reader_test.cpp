// Reading an archive over a memory block in place and extracting its entries to disk.
#include "zip_test_util.h"

#include "zip/zip_compatibility.h"
#include "zip/zip_exception.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

using namespace ZipTest;

namespace {

int CodeOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const CZipException& e) {
        return e.GetCode();
    }
    return 0;
}

int64_t ModifiedTime(const std::wstring& path) {
    struct _stat64 status {};
    return ::_wstat64(path.c_str(), &status) == 0 ? status.st_mtime : -1;
}

class Stopper : public CZipActionCallback {
public:
    int stopAt = -1;
    int calls = 0;
    int ends = 0;
    uint64_t total = 0;
    bool OnProgress(uint64_t) override { return calls++ != stopAt; }
    void SetTotal(uint64_t value) override { total = value; }
    void OnEnd() override { ++ends; }
};

class ZipReader : public ::testing::Test {
protected:
    void SetUp() override {
        source = TestSupport::MakeTempDir(L"src");
        bytes = PackFiles(source, {{L"dir\\sub\\a.txt", TextBytes(150000, 1)},
                                   {L"Top.TXT", "top level"},
                                   {L"empty.dat", ""},
                                   {L"ro\\locked.txt", "read only", FILE_ATTRIBUTE_READONLY}});
        ::SetFileAttributesW((source + L"\\ro\\locked.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
        block = bytes;
        memory = std::make_unique<CZipMemFile>(block.data(), block.size());
        ASSERT_TRUE(archive.Open(*memory, CZipArchive::zipOpenReadOnly));
        out = TestSupport::MakeTempDir(L"out");
    }
    void TearDown() override {
        archive.Close();
        memory.reset();
        EXPECT_EQ(bytes, block); // the block was read in place, never written
    }

    std::wstring source;
    std::wstring out;
    std::string bytes;
    std::string block;
    std::unique_ptr<CZipMemFile> memory;
    CZipArchive archive;
};

} // namespace

TEST_F(ZipReader, ListsEntriesAndFindsThemByName) {
    ASSERT_EQ(4, archive.GetCount());
    EXPECT_EQ(4, archive.GetNumberOfFiles());
    CZipFileHeader info;
    ASSERT_TRUE(archive.GetFileInfo(info, 0));
    EXPECT_EQ(L"dir\\sub\\a.txt", info.GetFileName());
    EXPECT_EQ(L"a.txt", info.GetFileName(false));
    EXPECT_EQ(150000u, info.m_uncomprSize);
    EXPECT_EQ(8, info.m_method);
    EXPECT_FALSE(info.IsDirectory());
    EXPECT_EQ(0x20u, info.GetSystemAttr());
    EXPECT_FALSE(archive.GetFileInfo(info, 4));

    EXPECT_EQ(1, archive.FindFile(L"top.txt"));
    EXPECT_EQ(1, archive.FindFile(L"top.txt", CZipArchive::caseInsensitive));
    EXPECT_EQ(ZIP_FILE_INDEX_NOT_FOUND, archive.FindFile(L"top.txt", CZipArchive::caseSensitive));
    EXPECT_EQ(1, archive.FindFile(L"Top.TXT", CZipArchive::caseSensitive));
    EXPECT_EQ(0, archive.FindFile(L"DIR\\SUB\\A.TXT"));
    EXPECT_EQ(ZIP_FILE_INDEX_NOT_FOUND, archive.FindFile(L"a.txt"));
    EXPECT_EQ(0, archive.FindFile(L"A.txt", CZipArchive::caseDefault, true));
    EXPECT_EQ(ZIP_FILE_INDEX_NOT_FOUND, archive.FindFile(L"dir\\sub"));

    // A folder entry counts in the list but not among the files.
    CZipMemFile withFolder;
    CZipArchive writer;
    ASSERT_TRUE(writer.Open(withFolder, CZipArchive::zipCreate));
    CZipFileHeader folder;
    folder.SetFileName(L"folder\\");
    ASSERT_TRUE(writer.OpenNewFile(folder));
    ASSERT_TRUE(writer.CloseNewFile());
    writer.Close();
    CZipArchive reader;
    ASSERT_TRUE(reader.Open(withFolder, CZipArchive::zipOpenReadOnly));
    EXPECT_EQ(1, reader.GetCount());
    EXPECT_EQ(0, reader.GetNumberOfFiles());
    EXPECT_TRUE(reader.GetFileHeader(0)->IsDirectory());
    EXPECT_TRUE(reader.ExtractFile(0, out));
    EXPECT_TRUE(::GetFileAttributesW((out + L"\\folder").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    reader.Close();
    EXPECT_EQ(ZIP_FILE_INDEX_NOT_FOUND, reader.FindFile(L"folder\\"));
    EXPECT_FALSE(reader.GetFileInfo(info, 0));
}

TEST_F(ZipReader, ExtractsWithAndWithoutPath) {
    EXPECT_TRUE(archive.ExtractFile(0, out));
    const std::string expected = TextBytes(150000, 1);
    EXPECT_EQ(expected, TestSupport::ReadFileBytes(out + L"\\dir\\sub\\a.txt"));
    EXPECT_TRUE(archive.ExtractFile(0, out + L"\\flat", false));
    EXPECT_EQ(expected, TestSupport::ReadFileBytes(out + L"\\flat\\a.txt"));
    // A trailing separator on the destination changes nothing.
    EXPECT_TRUE(archive.ExtractFile(1, out + L"\\slash\\"));
    EXPECT_TRUE(archive.ExtractFile(1, out + L"\\slash//", true, L"renamed.txt"));
    EXPECT_EQ(
        (std::vector<std::wstring>{L"dir", L"dir\\sub", L"dir\\sub\\a.txt", L"flat", L"flat\\a.txt",
                                   L"slash", L"slash\\Top.TXT", L"slash\\renamed.txt"}),
        ListTree(out));
    // A 0-byte entry gives an empty file.
    EXPECT_TRUE(archive.ExtractFile(2, out));
    EXPECT_TRUE(Exists(out + L"\\empty.dat"));
    EXPECT_EQ("", TestSupport::ReadFileBytes(out + L"\\empty.dat"));
    EXPECT_FALSE(archive.ExtractFile(9, out));
    EXPECT_FALSE(archive.ExtractFile(0, L"", true, L"", 0));
}

TEST_F(ZipReader, RestoresTimeAndAttributes) {
    ASSERT_TRUE(archive.ExtractFile(3, out));
    const std::wstring locked = out + L"\\ro\\locked.txt";
    const DWORD attributes = ::GetFileAttributesW(locked.c_str());
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_READONLY);
    const CZipFileHeader* header = archive.GetFileHeader(3);
    EXPECT_EQ(0x21u, header->GetSystemAttr());
    EXPECT_EQ(header->GetTime(), ModifiedTime(locked));
    EXPECT_EQ(0, ModifiedTime(locked) % 2);
    // A destination that cannot be made fails with the runtime's error and the name.
    WriteFile(out + L"\\blocker", "a file where a folder should be");
    try {
        archive.ExtractFile(1, out + L"\\blocker");
        ADD_FAILURE() << "extracted below a file";
    } catch (const CZipException& e) {
        EXPECT_EQ(20, e.GetCode());
        EXPECT_EQ(out + L"\\blocker", e.GetFileName());
        EXPECT_EQ(L"Not a directory.", e.GetErrorDescription());
    }
    ::SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_NORMAL);

    ASSERT_TRUE(archive.ExtractFile(1, out));
    EXPECT_EQ(archive.GetFileHeader(1)->GetTime(), ModifiedTime(out + L"\\Top.TXT"));
    EXPECT_FALSE(::GetFileAttributesW((out + L"\\Top.TXT").c_str()) & FILE_ATTRIBUTE_READONLY);
}

TEST_F(ZipReader, ProgressAndStops) {
    Stopper stopper;
    archive.SetCallback(&stopper, CZipActionCallback::actExtract);
    EXPECT_TRUE(archive.ExtractFile(0, out, true, L"", 65536));
    EXPECT_EQ(3, stopper.calls); // 65536 + 65536 + 18928
    EXPECT_EQ(150000u, stopper.total);
    EXPECT_EQ(150000u, stopper.GetProcessed());
    EXPECT_EQ(1, stopper.ends);

    // A stop with data still to come is 105; with the last chunk it is 106.
    stopper.calls = 0;
    stopper.stopAt = 0;
    try {
        archive.ExtractFile(0, out + L"\\stop");
        ADD_FAILURE() << "no stop";
    } catch (const CZipException& e) {
        EXPECT_EQ(CZipException::abortedAction, e.GetCode());
        EXPECT_EQ(out + L"\\stop\\dir\\sub\\a.txt", e.GetFileName());
    }
    stopper.calls = 0;
    stopper.stopAt = 2;
    EXPECT_EQ(CZipException::abortedSafely,
              CodeOf([&] { archive.ExtractFile(0, out + L"\\stop2"); }));
    // The archive is usable afterwards.
    archive.SetCallback(nullptr, CZipActionCallback::actExtract);
    EXPECT_TRUE(archive.ExtractFile(1, out + L"\\after"));
}

TEST(ZipReaderFailures, DamagedEntriesAndTexts) {
    const std::wstring dir = TestSupport::MakeTempDir(L"dmg");
    const std::string zip = PackFiles(dir, {{L"a.txt", TextBytes(5000, 4)}, {L"b.txt", "bbbbbb"}});
    const std::wstring out = TestSupport::MakeTempDir(L"dmgout");

    // A corrupt CRC in both headers: the check fails, and the file the entry would have
    // replaced is still the user's, with no part file beside it.
    std::string badCrc = zip;
    const size_t central = zip.find("PK\x01\x02");
    badCrc[14] ^= 1;
    badCrc[central + 16] ^= 1;
    CZipMemFile crcFile(badCrc.data(), badCrc.size());
    CZipArchive archive;
    ASSERT_TRUE(archive.Open(crcFile, CZipArchive::zipOpenReadOnly));
    WriteFile(out + L"\\a.txt", "the user's own");
    EXPECT_EQ(CZipException::badCrc, CodeOf([&] { archive.ExtractFile(0, out); }));
    EXPECT_EQ("the user's own", TestSupport::ReadFileBytes(out + L"\\a.txt"));
    // Data shorter than declared: false, and nothing new either.
    std::string cut = zip;
    for (size_t at : {size_t{18}, central + 20}) { // compressed size, local and central
        uint32_t size;
        memcpy(&size, &cut[at], 4);
        size /= 2;
        memcpy(&cut[at], &size, 4);
    }
    CZipMemFile cutFile(cut.data(), cut.size());
    CZipArchive shortArchive;
    ASSERT_TRUE(shortArchive.Open(cutFile, CZipArchive::zipOpenReadOnly));
    bool written = true;
    CodeOf([&] { written = shortArchive.ExtractFile(0, out); });
    EXPECT_FALSE(written);
    EXPECT_EQ(std::vector<std::wstring>{L"a.txt"}, ListTree(out));
    EXPECT_EQ("the user's own", TestSupport::ReadFileBytes(out + L"\\a.txt"));
    ::DeleteFileW((out + L"\\a.txt").c_str());
    archive.Close();

    // An unknown method: nothing is written.
    std::string method = zip;
    method[8] = method[central + 10] = 12; // bzip2
    CZipMemFile methodFile(method.data(), method.size());
    ASSERT_TRUE(archive.Open(methodFile, CZipArchive::zipOpenReadOnly));
    EXPECT_FALSE(archive.ExtractFile(0, out + L"\\m"));
    EXPECT_FALSE(Exists(out + L"\\m"));
    archive.Close();

    // Encrypted and AES entries.
    std::string encrypted = zip;
    encrypted[6] |= 1;
    encrypted[central + 8] |= 1;
    CZipMemFile encryptedFile(encrypted.data(), encrypted.size());
    ASSERT_TRUE(archive.Open(encryptedFile, CZipArchive::zipOpenReadOnly));
    EXPECT_EQ(CZipException::badPassword, CodeOf([&] { archive.ExtractFile(0, out); }));
    archive.Close();

    // Corrupt deflate data.
    std::string data = zip;
    for (size_t i = 40; i < 60; ++i) {
        data[i] = static_cast<char>(0xFF);
    }
    CZipMemFile dataFile(data.data(), data.size());
    ASSERT_TRUE(archive.Open(dataFile, CZipArchive::zipOpenReadOnly));
    const int code = CodeOf([&] { archive.ExtractFile(0, out + L"\\d"); });
    EXPECT_TRUE(code == CZipException::dataError || code == CZipException::badCrc) << code;
    archive.Close();

    EXPECT_EQ(L"Damaged or not a zip file.", CZipException(101).GetErrorDescription());
    EXPECT_EQ(L"Crc is mismatched.", CZipException(102).GetErrorDescription());
    EXPECT_EQ(L"Action aborted safely.", CZipException(106).GetErrorDescription());
    EXPECT_EQ(L"Not enough memory.", CZipException(505).GetErrorDescription());
    EXPECT_EQ(L"Zlib library error (data error).", CZipException(504).GetErrorDescription());
    EXPECT_EQ(L"No such file or directory.", CZipException(2).GetErrorDescription());
    EXPECT_EQ(std::string("Crc is mismatched."), CZipException(102).what());
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    const CZipException generic(100, L"x");
    EXPECT_FALSE(generic.GetErrorDescription().empty());
    EXPECT_NE(L"Unknown error", generic.GetErrorDescription());
    EXPECT_EQ(L"x", generic.GetFileName());
}
