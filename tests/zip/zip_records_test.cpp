// The byte layout of the records: compared with what Python's zipfile writes, decoded back,
// and the reader's rules for end record, code pages, dates and attributes.
#include "zip_test_util.h"

#include "zip/zip_bytes.h"
#include "zip/zip_compatibility.h"
#include "zip/zip_end_record.h"
#include "zip/zip_exception.h"
#include "zip/zip_file_header.h"

#include <gtest/gtest.h>

#include <functional>

using namespace ZipTest;
using namespace ZipCompatibility;

namespace {

int CodeOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const CZipException& e) {
        return e.GetCode();
    }
    return 0;
}

std::tm Local(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return t;
}

CZipEndRecord::Location ReadEnd(const std::string& stream, CZipEndRecord& record) {
    return record.Read(reinterpret_cast<const unsigned char*>(stream.data()), stream.size(),
                       stream.size());
}

} // namespace

// Python writes the same entries (same names, times, attributes, zlib) as our writer; the
// whole archive must agree byte for byte, so every field of all three records does.
TEST(ZipRecords, ArchiveMatchesPythonZipfileByteForByte) {
    const std::wstring dir = TestSupport::MakeTempDir(L"py");
    const std::string deflated = TextBytes(5000, 7);
    const std::string stored = "abcd";
    const std::string script = "import zipfile\n"
                               "with zipfile.ZipFile('py.zip', 'w') as z:\n"
                               "    for name, data, method in (('docs/report.txt', " +
                               PyBytes(deflated) + ", zipfile.ZIP_DEFLATED), ('small.bin', " +
                               PyBytes(stored) +
                               ", zipfile.ZIP_STORED)):\n"
                               "        info = zipfile.ZipInfo(name, (2021, 3, 4, 5, 6, 8))\n"
                               "        info.create_system = 0\n"
                               "        info.create_version = 20\n"
                               "        info.external_attr = 0x81B40020\n"
                               "        info.compress_type = method\n"
                               "        z.writestr(info, data)\n";
    const auto result = RunPython(script, dir);
    ASSERT_EQ(0, result.exitCode) << result.output;
    const std::string expected = TestSupport::ReadFileBytes(dir + L"\\py.zip");
    ASSERT_GT(expected.size(), 100u);

    CZipMemFile memory;
    CZipArchive archive;
    ASSERT_TRUE(archive.Open(memory, CZipArchive::zipCreate));
    const std::pair<const wchar_t*, const std::string*> entries[] = {
        {L"docs\\report.txt", &deflated}, {L"small.bin", &stored}};
    for (const auto& [name, data] : entries) {
        CZipFileHeader header;
        PackDosDateTime(Local(2021, 3, 4, 5, 6, 8), header.m_modDate, header.m_modTime);
        header.SetSystemAttr(attrArchive);
        header.SetFileName(name);
        ASSERT_TRUE(archive.OpenNewFile(header, data->size() < 5 ? 0 : -1));
        ASSERT_TRUE(archive.WriteNewFile(data->data(), data->size()));
        ASSERT_TRUE(archive.CloseNewFile());
    }
    archive.Close();
    const std::string ours = Contents(memory);
    EXPECT_EQ(Hex(expected), Hex(ours));
}

// Info-ZIP's zip, given a file of a known time, writes the same local header fields.
TEST(ZipRecords, LocalHeaderMatchesInfoZip) {
    const std::wstring dir = TestSupport::MakeTempDir(L"iz");
    const std::string data = TextBytes(3000, 3);
    TestSupport::WriteFileBytes(dir + L"\\note.txt", data);
    const auto result = TestSupport::RunHostIn(
        dir, "TZ=UTC touch -d '2020-02-29 23:58:30' note.txt && TZ=UTC zip -q "
             "-X -D iz.zip note.txt");
    ASSERT_EQ(0, result.exitCode) << result.output;
    const std::string zip = TestSupport::ReadFileBytes(dir + L"\\iz.zip");
    ASSERT_GT(zip.size(), 30u);
    const auto* p = reinterpret_cast<const unsigned char*>(zip.data());

    CZipFileHeader header;
    header.SetFileName(L"note.txt");
    PackDosDateTime(Local(2020, 2, 29, 23, 58, 30), header.m_modDate, header.m_modTime);
    header.m_crc32 = Crc(data);
    header.m_comprSize = ZipBytes::Get32(p + 18);
    header.m_uncomprSize = static_cast<uint32_t>(data.size());
    header.EncodeName();
    const std::string local = header.EncodeLocal();
    EXPECT_EQ(Hex(zip.substr(0, local.size())), Hex(local));
}

TEST(ZipRecords, CentralHeaderRoundTrip) {
    CZipFileHeader header;
    header.SetFileName(L"dir\\sub\\file name.txt");
    header.m_flags = 2;
    header.m_method = 8;
    header.m_modDate = 0x5263;
    header.m_modTime = 0x2A44;
    header.m_crc32 = 0xDEADBEEF;
    header.m_comprSize = 12345;
    header.m_uncomprSize = 67890;
    header.m_externalAttr = 0x81B40020;
    header.m_offset = 0x01020304;
    header.m_commentBytes = "note";
    header.EncodeName();
    const std::string central = header.EncodeCentral();
    ASSERT_EQ(46u + 21 + 4, central.size());
    EXPECT_EQ("dir/sub/file name.txt", central.substr(46, 21));

    CZipFileHeader back;
    back.DecodeCentral(reinterpret_cast<const unsigned char*>(central.data()), central.size());
    EXPECT_EQ(L"dir\\sub\\file name.txt", back.GetFileName());
    EXPECT_EQ(L"file name.txt", back.GetFileName(false));
    EXPECT_EQ(L"note", back.GetComment());
    EXPECT_EQ(0x0014, back.m_versionMadeBy);
    EXPECT_EQ(2, back.m_flags);
    EXPECT_EQ(0x5263, back.m_modDate);
    EXPECT_EQ(0x2A44, back.m_modTime);
    EXPECT_EQ(0xDEADBEEFu, back.m_crc32);
    EXPECT_EQ(12345u, back.m_comprSize);
    EXPECT_EQ(67890u, back.m_uncomprSize);
    EXPECT_EQ(0x81B40020u, back.m_externalAttr);
    EXPECT_EQ(0x01020304u, back.m_offset);
    EXPECT_EQ(central, back.EncodeCentral());

    // The local header of the same entry passes the reader's check, and each field that
    // must agree is checked.
    const std::string local = header.EncodeLocal();
    const auto* l = reinterpret_cast<const unsigned char*>(local.data());
    EXPECT_EQ(21u, back.VerifyLocal(l, local.size()));
    for (size_t offset : {0u, 6u, 8u, 14u, 18u, 22u}) {
        std::string bad = local;
        bad[offset] ^= 0x01;
        EXPECT_EQ(CZipException::badZipFile, CodeOf([&] {
                      back.VerifyLocal(reinterpret_cast<const unsigned char*>(bad.data()),
                                       bad.size());
                  }))
            << "offset " << offset;
    }
    // A data descriptor entry leaves CRC and sizes to the directory.
    back.m_flags |= 8;
    std::string described = local;
    described[6] |= 8;
    described[14] = described[18] = described[22] = 0;
    EXPECT_EQ(21u, back.VerifyLocal(reinterpret_cast<const unsigned char*>(described.data()),
                                    described.size()));
    // AES-encrypted entries are refused as such.
    back.m_method = 99;
    EXPECT_EQ(CZipException::noAES, CodeOf([&] { back.VerifyLocal(l, local.size()); }));

    std::string truncated = central.substr(0, central.size() - 1);
    EXPECT_EQ(CZipException::badZipFile, CodeOf([&] {
                  CZipFileHeader h;
                  h.DecodeCentral(reinterpret_cast<const unsigned char*>(truncated.data()),
                                  truncated.size());
              }));
}

TEST(ZipRecords, CodePageField) {
    CZipFileHeader header;
    header.SetFileName(L"\u010Ca\u0161a.txt"); // Čaša
    header.m_nameCodePage = 1250;
    header.EncodeName();
    EXPECT_EQ("\xC8"
              "a\x9A"
              "a.txt",
              header.m_nameBytes);
    const std::string central = header.EncodeCentral();
    CZipFileHeader back;
    back.DecodeCentral(reinterpret_cast<const unsigned char*>(central.data()), central.size());
    EXPECT_EQ(1250u, back.m_nameCodePage);
    EXPECT_EQ(L"\u010Ca\u0161a.txt", back.GetFileName());

    auto decodeWithField = [](const std::string& field, const std::string& name) {
        CZipFileHeader h;
        h.m_nameBytes = name;
        h.m_centralExtra = std::string("\x4C\x5A", 2) + char(field.size()) + '\0' + field;
        const std::string bytes = h.EncodeCentral();
        CZipFileHeader out;
        out.DecodeCentral(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        return out;
    };
    // The name itself in the field replaces the header's name.
    std::string withName("\x01\x03", 2);
    withName += std::string("\xE2\x04\0\0", 4) + "\xC8"
                                                 "ok.txt"; // code page 1250
    EXPECT_EQ(L"\u010Cok.txt", decodeWithField(withName, "plain.txt").GetFileName());
    // A later format version is ignored.
    std::string later("\x02\x03", 2);
    later += std::string("\xE2\x04\0\0", 4) + "x";
    EXPECT_EQ(L"plain.txt", decodeWithField(later, "plain.txt").GetFileName());
    // Too short for what its flags announce.
    for (const std::string& shortField :
         {std::string("\x01\x01\xE2\x04", 4), std::string("\x01\x05\xE2\x04\0\0\xE4", 7),
          std::string("\x01", 1)}) {
        EXPECT_EQ(CZipException::badZipFile,
                  CodeOf([&] { decodeWithField(shortField, "plain.txt"); }))
            << Hex(shortField);
    }
}

TEST(ZipRecords, NameMissingFromOemCodePageIsWrittenAsMarkedUtf8) {
    CZipMemFile memory;
    CZipArchive archive;
    ASSERT_TRUE(archive.Open(memory, CZipArchive::zipCreate));
    CZipFileHeader header;
    header.SetFileName(L"a\u4E2Db.txt");
    ASSERT_TRUE(archive.OpenNewFile(header));
    ASSERT_TRUE(archive.CloseNewFile());
    archive.Close();
    const std::string bytes = Contents(memory);
    EXPECT_EQ(0x08, static_cast<unsigned char>(bytes[7]) & 0x08); // flag bit 11
    EXPECT_EQ("a\xE4\xB8\xAD"
              "b.txt",
              bytes.substr(30, 9));
    CZipArchive reader;
    ASSERT_TRUE(reader.Open(memory, CZipArchive::zipOpenReadOnly));
    ASSERT_EQ(1, reader.GetCount());
    EXPECT_EQ(L"a\u4E2Db.txt", reader.GetFileHeader(0)->GetFileName());
    EXPECT_EQ(static_cast<unsigned>(CP_UTF8), reader.GetFileHeader(0)->m_nameCodePage);
}

TEST(ZipRecords, DosDateAndTime) {
    uint16_t date = 0, time = 0;
    PackDosDateTime(Local(2021, 3, 4, 5, 6, 9), date, time);
    EXPECT_EQ(4 + 32 * 3 + 512 * 41, date);
    EXPECT_EQ(4 + 32 * 6 + 2048 * 5, time); // odd seconds round down to even
    PackDosDateTime(Local(1979, 5, 6, 7, 8, 10), date, time);
    EXPECT_EQ(6 + 32 * 5, date); // year field 0: 1980, same month and day
    PackDosDateTime(Local(1980, 12, 31, 23, 59, 58), date, time);
    EXPECT_EQ(31 + 32 * 12, date);
    EXPECT_EQ(29 + 32 * 59 + 2048 * 23, time);

    const std::tm t = UnpackDosDateTime(4 + 32 * 3 + 512 * 41, 4 + 32 * 6 + 2048 * 5);
    EXPECT_EQ(121, t.tm_year);
    EXPECT_EQ(2, t.tm_mon);
    EXPECT_EQ(4, t.tm_mday);
    EXPECT_EQ(5, t.tm_hour);
    EXPECT_EQ(6, t.tm_min);
    EXPECT_EQ(8, t.tm_sec);

    // Through local time and back: exact at even seconds.
    std::tm local = Local(2019, 7, 14, 12, 30, 44);
    const int64_t seconds = _mktime64(&local);
    TimeToDos(seconds, date, time);
    EXPECT_EQ(seconds, DosToTime(date, time));
    TimeToDos(seconds + 1, date, time);
    EXPECT_EQ(seconds, DosToTime(date, time));
}

TEST(ZipRecords, AttributeConversion) {
    EXPECT_EQ(0x81B40020u, DosExternalAttributes(attrArchive));
    EXPECT_EQ(0x81240021u, DosExternalAttributes(attrArchive | attrReadOnly));
    EXPECT_EQ(0x80900022u, DosExternalAttributes(attrArchive | attrHidden));
    EXPECT_EQ(0x41FD0010u, DosExternalAttributes(attrDirectory));

    struct {
        uint32_t mode;
        uint32_t windows;
    } const unixCases[] = {
        {0100644, attrArchive},
        {0100755, 0},
        {040755, attrDirectory},
        {0100444, attrArchive | attrReadOnly},
        {0100200, attrArchive | attrHidden},
        {0, attrArchive | attrReadOnly | attrHidden},
        {0100600, attrArchive},
    };
    for (const auto& c : unixCases) {
        EXPECT_EQ(c.windows, UnixModeToWindows(c.mode)) << std::oct << c.mode;
        EXPECT_EQ(c.windows, ConvertAttributes(c.mode, zcUnix, zcNtfs)) << std::oct << c.mode;
    }
    EXPECT_EQ(0x11u, ConvertAttributes(0x37, zcMacintosh, zcDosFat));
    EXPECT_EQ(0x27u, ConvertAttributes(0x27, zcOs2Hpfs, zcNtfs));
    EXPECT_EQ(0100644u, ConvertAttributes(attrArchive, zcDosFat, zcUnix) & 0177777 & ~0022u);
    for (int unknown : {1, 2, 5, 11, 19}) {
        EXPECT_EQ(CZipException::platfNotSupp,
                  CodeOf([&] { ConvertAttributes(0x20, unknown, zcDosFat); }));
        EXPECT_EQ(CZipException::platfNotSupp,
                  CodeOf([&] { ConvertAttributes(0x20, zcDosFat, unknown); }));
    }

    // Reading: which word counts, and what a blank word means.
    struct {
        int system;
        uint32_t external;
        const wchar_t* name;
        uint32_t expected;
    } const readCases[] = {
        {zcDosFat, 0x81B40021, L"a.txt", 0x21},
        {zcUnix, 0x81A40000, L"a.txt", attrArchive},
        {zcUnix, 0x41ED0010, L"d\\", attrDirectory},
        {zcUnix, 0, L"d\\", attrDirectory},
        {zcDosFat, 0, L"a.txt", 0},
        {zcUnix, 0, L"a.txt", 0x23},
        {zcMacintosh, 0x37, L"a", 0x11},
        {5, 0x81B40021, L"a.txt", attrArchive},
        {5, 0x81B40021, L"d\\", attrDirectory},
    };
    for (const auto& c : readCases) {
        CZipFileHeader header;
        header.SetSystemCompatibility(c.system);
        header.m_externalAttr = c.external;
        header.SetFileName(c.name);
        EXPECT_EQ(c.expected, header.GetSystemAttr()) << c.system << " " << std::hex << c.external;
    }
}

TEST(ZipRecords, EndRecordRules) {
    // The empty archive: the end record alone, all zero.
    CZipMemFile memory;
    {
        CZipArchive archive;
        ASSERT_TRUE(archive.Open(memory, CZipArchive::zipCreate));
        archive.Close();
    }
    const std::string empty = Contents(memory);
    EXPECT_EQ(Hex(std::string("PK\x05\x06", 4) + std::string(18, '\0')), Hex(empty));
    CZipEndRecord record;
    auto location = ReadEnd(empty, record);
    EXPECT_EQ(0u, location.endRecordPosition);
    EXPECT_EQ(0u, location.bytesBeforeZip);
    EXPECT_EQ(0, record.m_totalEntries);

    // Data in front of the archive, and a comment behind it.
    CZipEndRecord one;
    one.m_entriesOnDisk = one.m_totalEntries = 1;
    one.m_centralDirSize = 60;
    one.m_centralDirOffset = 100;
    one.m_comment = "a comment with PK inside";
    const std::string body(160, 'x');
    const std::string stub(1000, 's');
    location = ReadEnd(stub + body + one.Encode(), record);
    EXPECT_EQ(1160u, location.endRecordPosition);
    EXPECT_EQ(1000u, location.bytesBeforeZip);
    EXPECT_EQ(1100u, location.centralDirPosition);
    EXPECT_EQ("a comment with PK inside", record.m_comment);

    // Total entries 0xFFFF: Zip64 only when a locator is there.
    CZipEndRecord full = one;
    full.m_comment.clear();
    full.m_entriesOnDisk = full.m_totalEntries = 0xFFFF;
    EXPECT_NO_THROW(ReadEnd(body + full.Encode(), record));
    EXPECT_EQ(0xFFFF, record.m_totalEntries);
    const std::string locator = std::string("PK\x06\x07", 4) + std::string(16, '\0');
    EXPECT_EQ(CZipException::noZip64,
              CodeOf([&] { ReadEnd(body.substr(20) + locator + full.Encode(), record); }));
    CZipEndRecord big = one;
    big.m_centralDirOffset = 0xFFFFFFFF;
    EXPECT_EQ(CZipException::noZip64,
              CodeOf([&] { ReadEnd(body.substr(20) + locator + big.Encode(), record); }));
    // The same locator bytes mean nothing when no field asks for Zip64.
    EXPECT_NO_THROW(ReadEnd(body.substr(20) + locator + one.Encode(), record));

    // Not found: nothing at all, or only further back than the window.
    EXPECT_EQ(CZipException::cdirNotFound, CodeOf([&] { ReadEnd(std::string(100, 'z'), record); }));
    CZipEndRecord none;
    EXPECT_EQ(CZipException::cdirNotFound,
              CodeOf([&] { ReadEnd(none.Encode() + std::string(65536, 'z'), record); }));
    EXPECT_NO_THROW(ReadEnd(none.Encode() + std::string(65535, 'z'), record));

    // The last occurrence counts.
    EXPECT_EQ(CZipException::badZipFile,
              CodeOf([&] { ReadEnd(none.Encode() + one.Encode(), record); }));
    location = ReadEnd(one.Encode() + none.Encode(), record);
    EXPECT_EQ(22u + one.m_comment.size(), location.bytesBeforeZip);

    // Inconsistent values.
    CZipEndRecord bad = one;
    bad.m_centralDirOffset = 200; // directory would end after the end record
    EXPECT_EQ(CZipException::badZipFile, CodeOf([&] { ReadEnd(body + bad.Encode(), record); }));
    bad = one;
    bad.m_centralDirSize = 0;
    bad.m_centralDirOffset = 160;
    EXPECT_EQ(CZipException::badZipFile, CodeOf([&] { ReadEnd(body + bad.Encode(), record); }));
    bad = one;
    bad.m_entriesOnDisk = bad.m_totalEntries = 0;
    EXPECT_EQ(CZipException::badZipFile, CodeOf([&] { ReadEnd(body + bad.Encode(), record); }));
    bad = one;
    bad.m_thisDisk = 1;
    EXPECT_EQ(CZipException::badZipFile, CodeOf([&] { ReadEnd(body + bad.Encode(), record); }));
    std::string cut = one.Encode();
    cut.resize(cut.size() - 1); // comment shorter than its length says
    EXPECT_EQ(CZipException::badZipFile, CodeOf([&] { ReadEnd(body + cut, record); }));
}
