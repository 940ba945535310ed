// Entry names in any script: written in the OEM code page when it holds the whole name,
// else as UTF-8 marked by general-purpose flag bit 11 and by the code-page field, and read
// back alike by this reader (with or without the flag), Info-ZIP and Python.
#include "zip_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace ZipTest;

namespace {

struct Item {
    std::wstring name;
    std::string content;
};

// An archive made by the writer in memory; the fixed DOS time keeps the bytes independent
// of the clock and the time zone.
std::string MakeArchive(const std::vector<Item>& items) {
    CZipMemFile memory;
    CZipArchive archive;
    EXPECT_TRUE(archive.Open(memory, CZipArchive::zipCreate));
    for (const Item& item : items) {
        CZipFileHeader header;
        header.SetFileName(item.name);
        header.m_modDate = 18 + 32 * 5 + 512 * 44; // 2024-05-18
        header.m_modTime = 10 / 2 + 32 * 30 + 2048 * 9;
        EXPECT_TRUE(archive.OpenNewFile(header));
        EXPECT_TRUE(archive.WriteNewFile(item.content.data(), item.content.size()));
        EXPECT_TRUE(archive.CloseNewFile());
    }
    archive.Close();
    return Contents(memory);
}

std::string Utf8(const std::wstring& text) {
    std::string name = TestSupport::Narrow(text);
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

} // namespace

TEST(ZipNames, AsciiArchiveKeepsItsBytes) {
    const std::string zip = MakeArchive(
        {{L"docs\\report.txt", TextBytes(5000, 3)}, {L"my file.txt", "abc"}, {L"empty.txt", ""}});
    // Length and CRC of the same archive made by the writer before names in other scripts
    // were written as UTF-8.
    EXPECT_EQ(1178u, zip.size());
    EXPECT_EQ(2649176372u, Crc(zip));
}

// Latin with diacritics, Cyrillic, both in one path, a best-fit trap and a name the OEM code
// page holds: each read back by us, listed by Info-ZIP and read by Python.
TEST(ZipNames, NamesInAnyScriptRoundTrip) {
    // Python reads unmarked names as code page 437: the prefix's OEM code page must be it.
    ASSERT_EQ(437u, ::GetOEMCP());
    const std::vector<Item> items = {
        {L"Ra\u010Dun.txt", "latin"},                                       // Račun
        {L"\u0420\u0430\u0447\u0443\u043D.txt", "cyrillic"},                // Рачун
        {L"\u040B\u0438\u0440\u0438\u043B\u0438\u0446\u0430.docx", "docx"}, // Ћирилица
        {L"Ra\u010Dun\\\u0420\u0430\u0447\u0443\u043D.txt", "mixed"},       // Račun\Рачун
        {L"\u0106evapi.txt", "best fit would be C"},                        // Ćevapi
        {L"caf\u00E9.txt", "in 437"},                                       // café
        {L"plain.txt", "ascii"},
    };
    const std::vector<bool> utf8 = {true, true, true, true, true, false, false};
    const std::string zip = MakeArchive(items);

    CZipMemFile memory(zip.data(), zip.size());
    CZipArchive archive;
    ASSERT_TRUE(archive.Open(memory, CZipArchive::zipOpenReadOnly));
    ASSERT_EQ(items.size(), archive.GetCount());
    for (size_t i = 0; i < items.size(); ++i) {
        const CZipFileHeader& header = *archive.GetFileHeader(static_cast<ZipIndex>(i));
        EXPECT_EQ(items[i].name, header.GetFileName()) << i;
        // Beside the flag, a UTF-8 name carries the code-page field naming page 65001.
        EXPECT_EQ(utf8[i] ? std::string("\x4C\x5A\x06\x00\x01\x01\xE9\xFD\x00\x00", 10)
                          : std::string(),
                  header.m_centralExtra)
            << i;
    }
    // A reader that knows the field but not the flag gets every name exactly.
    std::string unflagged = zip;
    for (size_t at = unflagged.find("PK\x01\x02"); at != std::string::npos;
         at = unflagged.find("PK\x01\x02", at + 4)) {
        unflagged[at + 9] = static_cast<char>(unflagged[at + 9] & ~0x08);
    }
    CZipMemFile unflaggedMemory(unflagged.data(), unflagged.size());
    CZipArchive unflaggedArchive;
    ASSERT_TRUE(unflaggedArchive.Open(unflaggedMemory, CZipArchive::zipOpenReadOnly));
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].name,
                  unflaggedArchive.GetFileHeader(static_cast<ZipIndex>(i))->GetFileName())
            << i;
    }

    const std::wstring dir = TestSupport::MakeTempDir(L"names");
    TestSupport::WriteFileBytes(dir + L"\\names.zip", zip);
    const std::string cd = "cd " + TestSupport::ShellQuote(TestSupport::UnixPath(dir)) + " && ";
    // Through files: the bytes as the tools wrote them.
    const auto listed = TestSupport::RunHost(cd + "LC_ALL=C.UTF-8 unzip -l names.zip >list.txt");
    ASSERT_EQ(0, listed.exitCode) << listed.output;
    const std::string list = TestSupport::ReadFileBytes(dir + L"\\list.txt");
    for (size_t i = 0; i < items.size(); ++i) {
        if (utf8[i]) { // Info-ZIP turns unmarked names into the host's code page its own way
            std::string line = " ";
            line += Utf8(items[i].name);
            line += '\n';
            EXPECT_NE(std::string::npos, list.find(line)) << line << list;
        }
    }

    // Python decodes each local header's name by that header's own flag, and compares.
    const auto py = RunPython(
        "import zipfile\n"
        "with zipfile.ZipFile('names.zip') as z, "
        "open('read.txt', 'w', encoding='utf-8') as out:\n"
        "    for i in z.infolist():\n"
        "        print(i.filename, i.flag_bits >> 11 & 1, z.read(i).decode(), file=out)\n",
        dir);
    ASSERT_EQ(0, py.exitCode) << py.output;
    std::string expected;
    for (size_t i = 0; i < items.size(); ++i) {
        expected += Utf8(items[i].name);
        expected += utf8[i] ? " 1 " : " 0 ";
        expected += items[i].content;
        expected += '\n';
    }
    EXPECT_EQ(expected, TestSupport::ReadFileBytes(dir + L"\\read.txt"));
}
