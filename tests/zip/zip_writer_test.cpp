// The memory file and the archive writer: growth and stream rules, entries as the document
// layer adds them, the progress interface and how a stop ends an add.
#include "zip_test_util.h"

#include "zip/zip_bytes.h"
#include "zip/zip_compatibility.h"
#include "zip/zip_exception.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <functional>

using namespace ZipTest;
using ZipBytes::Get16;
using ZipBytes::Get32;

namespace {

int CodeOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const CZipException& e) {
        return e.GetCode();
    }
    return 0;
}

const unsigned char* U(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

// Records every call the writer makes, and answers stop at a chosen progress call.
class RecordingCallback : public CZipActionCallback {
public:
    std::vector<std::string> calls;
    int stopAt = -1; // index of the OnProgress call that answers false
    int progressCalls = 0;

    void Init(const std::wstring& inZip, const std::wstring& external) override {
        CZipActionCallback::Init(inZip, external);
        calls.push_back("init " + TestSupport::Narrow(inZip) + " | " +
                        TestSupport::Narrow(external));
    }
    void SetTotal(uint64_t total) override {
        CZipActionCallback::SetTotal(total);
        calls.push_back("total " + std::to_string(total));
    }
    bool OnProgress(uint64_t amount) override {
        calls.push_back("progress " + std::to_string(amount));
        return progressCalls++ != stopAt;
    }
    void OnEnd() override { calls.push_back("end"); }
};

} // namespace

TEST(ZipMemFile, GrowsInWholeStepsAndKeepsStreamRules) {
    CZipMemFile file(1024);
    EXPECT_EQ(0u, file.GetCapacity());
    file.Write("", 0);
    EXPECT_EQ(nullptr, file.GetBuffer()); // a write of nothing allocates nothing
    file.Write("0123456789", 10);
    EXPECT_EQ(1024u, file.GetCapacity());
    EXPECT_EQ(10u, file.GetLength());
    const std::string big = RandomBytes(65536, 1);
    file.Write(big.data(), big.size());
    EXPECT_EQ(65546u, file.GetLength());
    EXPECT_GE(file.GetCapacity(), 65546u);
    EXPECT_EQ(0u, file.GetCapacity() % 1024);

    char buffer[16] = {};
    file.Seek(5, CZipAbstractFile::begin);
    EXPECT_EQ(5u, file.Read(buffer, 5));
    EXPECT_EQ("56789", std::string(buffer, 5));
    file.Seek(-3, CZipAbstractFile::end);
    EXPECT_EQ(3u, file.Read(buffer, 16));
    EXPECT_EQ(0u, file.Read(buffer, 16));
    EXPECT_EQ(29, CodeOf([&] { file.Seek(-1, CZipAbstractFile::begin); }));

    // Seeking past the capacity grows the block, not the length.
    const uint64_t beyond = file.GetCapacity() + 5000;
    EXPECT_EQ(beyond, file.Seek(static_cast<int64_t>(beyond), CZipAbstractFile::begin));
    EXPECT_GE(file.GetCapacity(), beyond);
    EXPECT_EQ(65546u, file.GetLength());
    EXPECT_EQ(0u, file.Read(buffer, 1));

    file.SetLength(4);
    EXPECT_EQ(4u, file.GetLength());
    EXPECT_EQ(4u, file.GetPosition());
    const uint64_t capacity = file.GetCapacity();
    file.SetLength(capacity + 1);
    EXPECT_EQ(capacity + 1, file.GetLength());
    EXPECT_EQ(4u, file.GetPosition());

    // A producer writing in place: room at the position, then only what was reserved.
    file.Seek(2, CZipAbstractFile::begin);
    unsigned char* room = file.Reserve(capacity * 2);
    ASSERT_EQ(file.GetBuffer() + 2, room);
    std::memcpy(room, "AB", 2);
    file.Advance(2);
    EXPECT_EQ(4u, file.GetPosition());
    EXPECT_EQ(0, std::memcmp(file.GetBuffer(), "01AB", 4));
    EXPECT_EQ(CZipException::memError, CodeOf([&] { file.Advance(file.GetCapacity()); }));
    uint64_t available = 0;
    EXPECT_EQ(file.GetBuffer() + 1, file.View(1, available));
    EXPECT_EQ(file.GetLength() - 1, available);
    EXPECT_EQ(nullptr, file.View(file.GetLength(), available));
    EXPECT_EQ(0u, available);
    file.SetLength(4);

    // Detach hands the block over and leaves nothing to free.
    void* block = file.Detach();
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(0, std::memcmp(block, "01AB", 4));
    EXPECT_EQ(0u, file.GetLength());
    EXPECT_EQ(nullptr, file.GetBuffer());
    std::free(block);

    CZipMemFile fixed(0);
    EXPECT_EQ(CZipException::memError, CodeOf([&] { fixed.Write("x", 1); }));
}

TEST(ZipMemFile, BorrowedBlockIsNeverWrittenOrFreed) {
    std::string block = "PK\x05\x06 borrowed bytes";
    const std::string before = block;
    {
        CZipMemFile view(block.data(), block.size());
        EXPECT_EQ(reinterpret_cast<const unsigned char*>(block.data()), view.GetBuffer());
        EXPECT_EQ(block.size(), view.GetLength());
        EXPECT_FALSE(view.OwnsBuffer());
        EXPECT_EQ(CZipException::memError, CodeOf([&] { view.Write("zz", 2); }));
        EXPECT_EQ(CZipException::memError,
                  CodeOf([&] { view.Seek(1000, CZipAbstractFile::begin); }));
        EXPECT_EQ(CZipException::memError, CodeOf([&] { view.Reserve(1); }));
        char head[4];
        view.SeekToBegin();
        EXPECT_EQ(4u, view.Read(head, 4));
    }
    EXPECT_EQ(before, block);
}

TEST(ZipWriter, SmallFilesStoredOthersDeflatedWithConsistentHeaders) {
    const std::wstring dir = TestSupport::MakeTempDir(L"w");
    const std::vector<SourceFile> files = {
        {L"empty.txt", ""},
        {L"four.bin", "\x01\x02\x03\x04"},
        {L"five.bin", "\x9A\x01\xFE\x33\x7C"},
        {L"sub\\text.txt", TextBytes(100000, 2)},
        {L"random.bin", RandomBytes(70000, 3)},
    };
    const std::string zip = PackFiles(dir, files);

    // Walk the archive as a reader would and check every record by hand.
    const auto* p = U(zip);
    size_t offset = 0;
    size_t expectedLength = 0;
    std::vector<size_t> localOffsets;
    for (const SourceFile& file : files) {
        ASSERT_EQ(CZipFileHeader::localSignature, Get32(p + offset));
        localOffsets.push_back(offset);
        const uint16_t method = Get16(p + offset + 8);
        const uint32_t crc = Get32(p + offset + 14);
        const uint32_t compr = Get32(p + offset + 18);
        const uint32_t uncompr = Get32(p + offset + 22);
        const uint16_t nameLength = Get16(p + offset + 26);
        EXPECT_EQ(0, Get16(p + offset + 28));
        std::wstring name = file.name;
        std::replace(name.begin(), name.end(), L'\\', L'/');
        EXPECT_EQ(TestSupport::Narrow(name), zip.substr(offset + 30, nameLength));
        EXPECT_EQ(file.content.size() < 5 ? 0 : 8, method) << TestSupport::Narrow(file.name);
        EXPECT_EQ(Crc(file.content), crc);
        EXPECT_EQ(file.content.size(), uncompr);
        if (method == 0) {
            EXPECT_EQ(file.content.size(), compr);
            EXPECT_EQ(file.content, zip.substr(offset + 30 + nameLength, compr));
        }
        if (file.name == L"five.bin") {
            EXPECT_GT(compr, 5u); // deflated even though it grew
        }
        offset += 30 + nameLength + compr;
        expectedLength += 30 + nameLength + compr;
    }
    // The central directory repeats the final values.
    for (size_t i = 0; i < files.size(); ++i) {
        ASSERT_EQ(CZipFileHeader::centralSignature, Get32(p + offset));
        const size_t local = localOffsets[i];
        EXPECT_EQ(zip.substr(local + 6, 24 - 4), zip.substr(offset + 8, 20)); // flags..sizes
        EXPECT_EQ(0x0014, Get16(p + offset + 4));
        EXPECT_EQ(local, Get32(p + offset + 42));
        EXPECT_EQ(0x81B40020u, Get32(p + offset + 38));
        const size_t size = 46 + Get16(p + offset + 28);
        offset += size;
        expectedLength += size;
    }
    EXPECT_EQ(Hex(std::string("PK\x05\x06\0\0\0\0\x05\0\x05\0", 12)), Hex(zip.substr(offset, 12)));
    EXPECT_EQ(expectedLength + 22, zip.size());
    EXPECT_EQ(0u, Crc(""));
}

TEST(ZipWriter, BeginEntryRules) {
    CZipMemFile memory;
    CZipArchive archive;
    ASSERT_TRUE(archive.Open(memory, CZipArchive::zipCreate));
    struct {
        int level;
        uint16_t method;
        uint16_t flags;
    } const levels[] = {{-1, 8, 0}, {0, 0, 0}, {1, 8, 6}, {2, 8, 4},  {3, 8, 0},
                        {6, 8, 0},  {8, 8, 2}, {9, 8, 2}, {12, 8, 0}, {-7, 8, 0}};
    for (const auto& l : levels) {
        CZipFileHeader header;
        header.SetFileName(L"");
        ASSERT_TRUE(archive.OpenNewFile(header, l.level));
        const std::string data = TextBytes(1000, 1);
        ASSERT_TRUE(archive.WriteNewFile(data.data(), data.size()));
        EXPECT_FALSE(archive.OpenNewFile(header)); // one entry at a time
        ASSERT_TRUE(archive.CloseNewFile());
        const CZipFileHeader* written = archive.GetFileHeader(archive.GetCount() - 1);
        EXPECT_EQ(l.method, written->m_method) << l.level;
        EXPECT_EQ(l.flags, written->m_flags) << l.level;
        EXPECT_EQ(20, written->m_versionNeeded);
        EXPECT_TRUE(written->HasTime());
    }
    // Empty names are numbered by the entries already there.
    EXPECT_EQ(L"file0", archive.GetFileHeader(0)->GetFileName());
    EXPECT_EQ(L"file9", archive.GetFileHeader(9)->GetFileName());

    CZipFileHeader folder;
    folder.SetFileName(L"folder");
    folder.SetSystemAttr(ZipCompatibility::attrDirectory);
    ASSERT_TRUE(archive.OpenNewFile(folder, 6));
    ASSERT_TRUE(archive.CloseNewFile());
    const CZipFileHeader* dir = archive.GetFileHeader(10);
    EXPECT_EQ(L"folder\\", dir->GetFileName());
    EXPECT_EQ("folder/", dir->m_nameBytes);
    EXPECT_EQ(0, dir->m_method);
    EXPECT_EQ(10, dir->m_versionNeeded);
    EXPECT_TRUE(dir->IsDirectory());

    CZipFileHeader longName;
    longName.SetFileName(std::wstring(65536, L'n'));
    EXPECT_EQ(CZipException::tooLongData, CodeOf([&] { archive.OpenNewFile(longName); }));
    archive.Close();
    EXPECT_FALSE(archive.WriteNewFile("x", 1));
    EXPECT_FALSE(archive.CloseNewFile());

    // Two files under one name are two entries.
    const std::wstring src = TestSupport::MakeTempDir(L"dup");
    WriteFile(src + L"\\a.txt", "first");
    WriteFile(src + L"\\b.txt", "second");
    CZipMemFile dupMemory;
    CZipArchive dup;
    ASSERT_TRUE(dup.Open(dupMemory, CZipArchive::zipCreate));
    EXPECT_TRUE(dup.AddNewFile(src + L"\\a.txt", L"same.txt"));
    EXPECT_TRUE(dup.AddNewFile(src + L"\\b.txt", L"same.txt"));
    dup.Close();
    CZipArchive reader;
    ASSERT_TRUE(reader.Open(dupMemory, CZipArchive::zipOpenReadOnly));
    ASSERT_EQ(2, reader.GetCount());
    EXPECT_EQ(L"same.txt", reader.GetFileHeader(1)->GetFileName());
    EXPECT_EQ(Crc("second"), reader.GetFileHeader(1)->m_crc32);
}

TEST(ZipWriter, AddFileTakesAttributesAndTimeFromDisk) {
    const std::wstring dir = TestSupport::MakeTempDir(L"attr");
    WriteFile(dir + L"\\ro.txt", "read only content");
    WriteFile(dir + L"\\old.txt", "from the seventies");
    WriteFile(dir + L"\\hidden.txt", "hidden");
    ASSERT_TRUE(::SetFileAttributesW((dir + L"\\ro.txt").c_str(),
                                     FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    ASSERT_TRUE(::SetFileAttributesW((dir + L"\\hidden.txt").c_str(),
                                     FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    // 1979-06-15 12:00:00 local time.
    SYSTEMTIME local{1979, 6, 0, 15, 12, 0, 0, 0}, utc{};
    ASSERT_TRUE(::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc));
    FILETIME old{};
    ASSERT_TRUE(::SystemTimeToFileTime(&utc, &old));
    {
        HANDLE h = ::CreateFileW((dir + L"\\old.txt").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        EXPECT_TRUE(::SetFileTime(h, nullptr, nullptr, &old));
        ::CloseHandle(h);
    }
    CZipMemFile memory;
    CZipArchive archive;
    ASSERT_TRUE(archive.Open(memory, CZipArchive::zipCreate));
    ASSERT_TRUE(archive.AddNewFile(dir + L"\\ro.txt\\", L"ro.txt"));
    ASSERT_TRUE(archive.AddNewFile(dir + L"\\old.txt", L"old.txt"));
    ASSERT_TRUE(archive.AddNewFile(dir + L"\\hidden.txt", L""));
    const CZipFileHeader* ro = archive.GetFileHeader(0);
    EXPECT_EQ(0x81240021u, ro->m_externalAttr);
    const CZipFileHeader* seventies = archive.GetFileHeader(1);
    EXPECT_EQ(15 + 32 * 6, seventies->m_modDate);
    EXPECT_EQ(12 * 2048, seventies->m_modTime);
    const CZipFileHeader* hidden = archive.GetFileHeader(2);
    EXPECT_EQ(L"hidden.txt", hidden->GetFileName()); // derived from the path
    EXPECT_EQ(0x80900022u, hidden->m_externalAttr);

    // The modification time is the file's, in local time.
    struct _stat64 status {};
    ASSERT_EQ(0, ::_wstat64((dir + L"\\ro.txt").c_str(), &status));
    uint16_t date = 0, time = 0;
    ZipCompatibility::TimeToDos(status.st_mtime, date, time);
    EXPECT_EQ(date, ro->m_modDate);
    EXPECT_EQ(time, ro->m_modTime);

    // What cannot be added leaves the archive as it was.
    const uint64_t length = memory.GetLength();
    EXPECT_FALSE(archive.AddNewFile(dir + L"\\missing.txt", L"missing.txt"));
    EXPECT_FALSE(archive.AddNewFile(L"", L"x"));
    EXPECT_FALSE(archive.AddNewFile(L"\\\\", L"x"));
    {
        HANDLE locked = ::CreateFileW((dir + L"\\old.txt").c_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, locked);
        EXPECT_FALSE(archive.AddNewFile(dir + L"\\old.txt", L"locked.txt"));
        ::CloseHandle(locked);
    }
    EXPECT_EQ(length, memory.GetLength());
    EXPECT_EQ(3, archive.GetCount());
    archive.Close();
    EXPECT_FALSE(archive.AddNewFile(dir + L"\\ro.txt", L"closed.txt"));
    ::SetFileAttributesW((dir + L"\\ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(ZipWriter, OpenModes) {
    CZipMemFile memory;
    CZipArchive archive;
    for (int mode : {3, 5, 8, -1}) {
        EXPECT_FALSE(archive.Open(memory, mode)) << mode;
    }
    ASSERT_TRUE(archive.Open(memory, CZipArchive::zipCreate));
    EXPECT_FALSE(archive.Open(memory, CZipArchive::zipCreate));
    CZipFileHeader header;
    header.SetFileName(L"one.txt");
    ASSERT_TRUE(archive.OpenNewFile(header));
    ASSERT_TRUE(archive.WriteNewFile("one", 3));
    archive.Close(); // ends the open entry, then writes the directory

    // An opened archive takes more entries in place of its old directory.
    CZipArchive more;
    ASSERT_TRUE(more.Open(memory, CZipArchive::zipOpen));
    EXPECT_EQ(1, more.GetCount());
    CZipFileHeader second;
    second.SetFileName(L"two.txt");
    ASSERT_TRUE(more.OpenNewFile(second));
    ASSERT_TRUE(more.WriteNewFile("two", 3));
    ASSERT_TRUE(more.CloseNewFile());
    more.Close();

    // A new archive after existing data reads back through the bytes-before shift.
    const std::string stub = "MZ self-extractor stub";
    CZipMemFile appended;
    appended.Write(stub.data(), stub.size());
    CZipArchive after;
    ASSERT_TRUE(after.Open(appended, CZipArchive::zipCreateAppend));
    CZipFileHeader third;
    third.SetFileName(L"three.txt");
    ASSERT_TRUE(after.OpenNewFile(third));
    ASSERT_TRUE(after.WriteNewFile("three", 5));
    after.Close();
    EXPECT_EQ(stub, Contents(appended).substr(0, stub.size()));

    const std::wstring out = TestSupport::MakeTempDir(L"modes");
    CZipArchive reader;
    ASSERT_TRUE(reader.Open(memory, CZipArchive::zipOpenReadOnly));
    ASSERT_EQ(2, reader.GetCount());
    EXPECT_TRUE(reader.ExtractFile(0, out));
    EXPECT_TRUE(reader.ExtractFile(1, out));
    reader.Close();
    ASSERT_TRUE(reader.Open(appended, CZipArchive::zipOpenReadOnly));
    EXPECT_EQ(stub.size(), reader.GetBytesBeforeZip());
    EXPECT_TRUE(reader.ExtractFile(0, out));
    reader.Close();
    EXPECT_EQ("one", TestSupport::ReadFileBytes(out + L"\\one.txt"));
    EXPECT_EQ("two", TestSupport::ReadFileBytes(out + L"\\two.txt"));
    EXPECT_EQ("three", TestSupport::ReadFileBytes(out + L"\\three.txt"));
}

TEST(ZipWriter, EntryLimitGivesFullCountWithoutZip64) {
    CZipMemFile memory(1 << 20);
    CZipArchive archive;
    ASSERT_TRUE(archive.Open(memory, CZipArchive::zipCreate));
    for (unsigned i = 0; i < 0xFFFF; ++i) {
        CZipFileHeader header;
        header.SetFileName(L"e" + std::to_wstring(i));
        ASSERT_TRUE(archive.OpenNewFile(header, 0));
        ASSERT_TRUE(archive.CloseNewFile());
    }
    CZipFileHeader extra;
    EXPECT_FALSE(archive.OpenNewFile(extra));
    const std::wstring dir = TestSupport::MakeTempDir(L"lim");
    WriteFile(dir + L"\\x.txt", "x");
    EXPECT_FALSE(archive.AddNewFile(dir + L"\\x.txt", L"x.txt"));
    archive.Close();
    const std::string zip = Contents(memory);
    EXPECT_EQ(0xFFFF, Get16(U(zip) + zip.size() - 12));

    CZipArchive reader;
    ASSERT_TRUE(reader.Open(memory, CZipArchive::zipOpenReadOnly));
    EXPECT_EQ(0xFFFF, reader.GetCount());
    EXPECT_EQ(L"e65534", reader.GetFileHeader(0xFFFE)->GetFileName());
    EXPECT_EQ(0xFFFE, reader.FindFile(L"E65534"));
}

TEST(ZipWriter, ProgressFollowsTheStepRules) {
    const std::wstring dir = TestSupport::MakeTempDir(L"prog");
    WriteFile(dir + L"\\big.bin", RandomBytes(200000, 5));
    CZipMemFile memory;
    CZipArchive archive;
    RecordingCallback callback;
    archive.SetCallback(&callback, CZipActionCallback::actAdd);
    EXPECT_EQ(nullptr, archive.GetCallback(CZipActionCallback::actExtract));
    ASSERT_TRUE(archive.Open(memory, CZipArchive::zipCreate));
    ASSERT_TRUE(archive.AddNewFile(dir + L"\\big.bin", L"data\\big.bin"));
    const std::vector<std::string> expected = {"init data\\big.bin | " + TestSupport::Narrow(dir) +
                                                   "\\big.bin",
                                               "total 200000",
                                               "progress 65536",
                                               "progress 65536",
                                               "progress 65536",
                                               "progress 3392",
                                               "end"};
    EXPECT_EQ(expected, callback.calls);
    EXPECT_EQ(200000u, callback.GetProcessed());
    EXPECT_EQ(1, callback.GetStepSize());

    // Registering null removes the kinds again.
    archive.SetCallback(nullptr, CZipActionCallback::actAdd);
    callback.calls.clear();
    ASSERT_TRUE(archive.AddNewFile(dir + L"\\big.bin", L"again.bin"));
    EXPECT_TRUE(callback.calls.empty());
    archive.Close();

    // Kinds counted in steps of 256 accumulate until the 256th request.
    RecordingCallback counter;
    counter.SetKind(CZipActionCallback::actSaveCentralDir);
    counter.Init(L"", L"");
    EXPECT_EQ(256, counter.GetStepSize());
    for (int i = 0; i < 255; ++i) {
        EXPECT_TRUE(counter.RequestStep(2));
    }
    EXPECT_EQ(1u, counter.calls.size()); // the init only
    EXPECT_TRUE(counter.RequestStep(2));
    EXPECT_EQ("progress 512", counter.calls.back());
    EXPECT_TRUE(counter.RequestStep(0));
    EXPECT_TRUE(counter.RequestStep(7));
    EXPECT_TRUE(counter.RequestLast(3));
    EXPECT_EQ("progress 10", counter.calls.back());
    const size_t calls = counter.calls.size();
    EXPECT_TRUE(counter.RequestLast(0));
    EXPECT_EQ(calls, counter.calls.size());
    EXPECT_EQ(522u, counter.GetProcessed());
}

TEST(ZipWriter, StopEndsTheAddWithTheRightCode) {
    const std::wstring dir = TestSupport::MakeTempDir(L"stop");
    WriteFile(dir + L"\\big.bin", TextBytes(200000, 9));
    WriteFile(dir + L"\\small.txt", "small but deflated");
    CZipMemFile memory;
    CZipArchive archive;
    RecordingCallback callback;
    archive.SetCallback(&callback, CZipActionCallback::actAdd | CZipActionCallback::actExtract);
    ASSERT_TRUE(archive.Open(memory, CZipArchive::zipCreate));
    ASSERT_TRUE(archive.AddNewFile(dir + L"\\small.txt", L"kept.txt"));
    const uint64_t length = memory.GetLength();

    // Stopped in the middle: the entry is abandoned and leaves nothing behind.
    callback.stopAt = callback.progressCalls; // the next progress call
    EXPECT_EQ(CZipException::abortedAction,
              CodeOf([&] { archive.AddNewFile(dir + L"\\big.bin", L"big.bin"); }));
    EXPECT_EQ("end", callback.calls.back());
    EXPECT_EQ(1, archive.GetCount());
    EXPECT_EQ(length, memory.GetLength());

    // Stopped with the last chunk: the entry is complete and stays.
    callback.stopAt = callback.progressCalls;
    EXPECT_EQ(CZipException::abortedSafely,
              CodeOf([&] { archive.AddNewFile(dir + L"\\small.txt", L"last.txt"); }));
    EXPECT_EQ(2, archive.GetCount());
    archive.Close();

    archive.SetCallback(nullptr, CZipActionCallback::actAdd | CZipActionCallback::actExtract);
    const std::wstring out = TestSupport::MakeTempDir(L"stopped");
    ASSERT_TRUE(archive.Open(memory, CZipArchive::zipOpenReadOnly));
    ASSERT_EQ(2, archive.GetCount());
    EXPECT_TRUE(archive.ExtractFile(1, out));
    EXPECT_EQ("small but deflated", TestSupport::ReadFileBytes(out + L"\\last.txt"));
}

// Cuts the file being added to nothing at its first step, as a file that shrinks while it
// is packed, or a network file that ends early.
class ShrinkingCallback : public CZipActionCallback {
public:
    bool OnProgress(uint64_t) override {
        const HANDLE file =
            ::CreateFileW(GetExternalFile().c_str(), GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        cut = file != INVALID_HANDLE_VALUE && ::SetEndOfFile(file);
        ::CloseHandle(file);
        return true;
    }
    bool cut = false;
};

TEST(ZipWriter, AFileThatShrinksWhileReadIsNotAdded) {
    const std::wstring file = TestSupport::MakeTempDir(L"shrink") + L"\\shrinks.bin";
    CZipMemFile memory;
    CZipArchive archive;
    ASSERT_TRUE(archive.Open(memory, CZipArchive::zipCreate));
    for (const int level : {0, -1}) {
        WriteFile(file, TextBytes(1000, 3));
        ShrinkingCallback callback;
        archive.SetCallback(&callback, CZipActionCallback::actAdd);
        EXPECT_FALSE(archive.AddNewFile(file, L"shrinks.bin", level, CZipArchive::addDefault, 100));
        EXPECT_TRUE(callback.cut);
        EXPECT_EQ(0, archive.GetCount()) << level;
        EXPECT_EQ(0u, memory.GetLength()) << level;
    }
}

TEST(ZipWriter, ZlibCodesMapToExceptionCodes) {
    const std::pair<int, int> table[] = {
        {Z_STREAM_END, 500}, {Z_NEED_DICT, 501}, {Z_ERRNO, 502},     {Z_STREAM_ERROR, 503},
        {Z_DATA_ERROR, 504}, {Z_MEM_ERROR, 505}, {Z_BUF_ERROR, 506}, {Z_VERSION_ERROR, 507},
        {-42, 100},          {Z_OK, 100}};
    for (const auto& [zlib, code] : table) {
        EXPECT_EQ(code, CZipException::ZlibErrToZip(zlib)) << zlib;
    }
    EXPECT_EQ(0, CodeOf([] { CZipException::CheckZlib(Z_OK); }));
    EXPECT_EQ(0, CodeOf([] { CZipException::CheckZlib(Z_NEED_DICT); }));
    EXPECT_EQ(504, CodeOf([] { CZipException::CheckZlib(Z_DATA_ERROR); }));
}

TEST(ZipWriter, EfficiencyCheckStoresWhatDeflateCannotShrink) {
    const std::wstring dir = TestSupport::MakeTempDir(L"eff");
    const std::string noise = RandomBytes(3000, 31);
    const std::string text = TextBytes(3000, 32);
    WriteFile(dir + L"\\noise.bin", noise);
    WriteFile(dir + L"\\text.txt", text);
    CZipMemFile memory;
    CZipArchive archive;
    ASSERT_TRUE(archive.Open(memory, CZipArchive::zipCreate));
    const int options = CZipArchive::addDefault | CZipArchive::addCheckEfficiency;
    ASSERT_TRUE(archive.AddNewFile(dir + L"\\noise.bin", L"noise.bin", -1, options));
    ASSERT_TRUE(archive.AddNewFile(dir + L"\\text.txt", L"text.txt", -1, options));
    ASSERT_TRUE(archive.AddNewFile(dir + L"\\noise.bin", L"plain.bin"));
    EXPECT_EQ(0, archive.GetFileHeader(0)->m_method);
    EXPECT_EQ(3000u, archive.GetFileHeader(0)->m_comprSize);
    EXPECT_EQ(8, archive.GetFileHeader(1)->m_method);
    EXPECT_EQ(8, archive.GetFileHeader(2)->m_method); // without the option it stays deflated
    archive.Close();

    const std::wstring out = TestSupport::MakeTempDir(L"effout");
    ASSERT_TRUE(archive.Open(memory, CZipArchive::zipOpenReadOnly));
    ASSERT_EQ(3, archive.GetCount());
    for (ZipIndex i = 0; i < 3; ++i) {
        EXPECT_TRUE(archive.ExtractFile(i, out));
    }
    EXPECT_EQ(noise, TestSupport::ReadFileBytes(out + L"\\noise.bin"));
    EXPECT_EQ(text, TestSupport::ReadFileBytes(out + L"\\text.txt"));
    EXPECT_EQ(noise, TestSupport::ReadFileBytes(out + L"\\plain.bin"));
}
