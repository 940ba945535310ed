// The one extraction and the one entry walk, with a host that answers from a script and no
// window: each rule on a single entry, the collisions one extraction makes itself, the open
// container under other names, and the zone mark and attributes of what is written.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>

#include "common/test_support.h"
#include "document/container/document.h"
#include "document/operations/entry_walk.h"
#include "document/operations/extraction.h"
#include "zip/zip_archive.h"
#include "zip/zip_mem_file.h"

using namespace Dossiq::Documents;

namespace {

enum class Damage { None, UnknownMethod, ShortData };

struct Item {
    std::wstring name;
    DWORD attributes = 0;
    Damage damage = Damage::None;
};

void Put16(std::string& bytes, size_t at, uint16_t value) {
    std::memcpy(&bytes[at], &value, 2);
}

// The local and central headers of entry `index` say what the reader cannot produce.
void Spoil(std::string& zip, size_t index, Damage damage) {
    size_t central = zip.find("PK\x01\x02");
    for (size_t i = 0; i < index; ++i) {
        central = zip.find("PK\x01\x02", central + 4);
    }
    uint32_t local = 0;
    std::memcpy(&local, &zip[central + 42], 4);
    if (damage == Damage::UnknownMethod) {
        Put16(zip, central + 10, 99);
        Put16(zip, local + 8, 99);
    } else {
        Put16(zip, central + 24, 0xFFFF); // uncompressed size far beyond the data
        Put16(zip, local + 22, 0xFFFF);
    }
}

std::string MakeZip(const std::vector<Item>& items) {
    CZipMemFile memory;
    CZipArchive archive;
    EXPECT_TRUE(archive.Open(memory, CZipArchive::zipCreate));
    for (const Item& item : items) {
        CZipFileHeader header;
        header.SetFileName(item.name);
        header.SetSystemAttr(item.attributes);
        const std::string content = "content of " + TestSupport::Narrow(item.name);
        EXPECT_TRUE(archive.OpenNewFile(header, 0));
        EXPECT_TRUE(archive.WriteNewFile(content.data(), content.size()));
        EXPECT_TRUE(archive.CloseNewFile());
    }
    archive.Close();
    std::string zip(reinterpret_cast<const char*>(memory.GetBuffer()), memory.GetLength());
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].damage != Damage::None) {
            Spoil(zip, i, items[i].damage);
        }
    }
    return zip;
}

DocumentContent ContentOf(const std::string& zip) {
    return {reinterpret_cast<const BYTE*>(zip.data()), static_cast<DWORD>(zip.size())};
}

// Answers the replace questions from a script (Skip when it runs out) and notes the rest.
class ScriptedHost : public ExtractionHost {
public:
    std::deque<Answer> answers;
    std::vector<std::wstring> asked;
    std::vector<ExtractionFault> failures;

    Answer AskReplace(const std::wstring& target) override {
        asked.push_back(target);
        if (answers.empty()) {
            return Answer::Skip;
        }
        const Answer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    bool OnFailed(const ArchiveEntry&, const std::wstring&, ExtractionFault fault) override {
        failures.push_back(fault);
        return true;
    }
};

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

struct Attempt {
    std::wstring folder;
    std::wstring container;
    ScriptedHost host;
    ExtractionOutcome outcome;
};

// Extracts `zip` as the archive of `container` (made empty beside `folder` when not given).
void Extract(Attempt& run, const std::string& zip, const std::wstring& container = {}) {
    if (run.folder.empty()) {
        run.folder = TestSupport::MakeTempDir(L"extraction") + L"\\out";
        ::CreateDirectoryW(run.folder.c_str(), nullptr);
    }
    run.container = container.empty() ? run.folder + L"\\..\\doc.snx" : container;
    if (!Exists(run.container)) {
        TestSupport::WriteFileBytes(run.container, "container");
    }
    run.outcome = ExtractEntries(ContentOf(zip), run.container, {run.folder, true, {}}, run.host);
}

TEST(Extraction, KeepsEachRuleOnOneEntry) {
    const std::wstring longName(250, L'n');
    const struct {
        Item item;
        const wchar_t* written; // below the folder; null when nothing may be
        bool fails;
        ExtractionFault fault;
    } cases[] = {
        {{L"plain.txt"}, L"plain.txt", false, {}},
        {{L"sub\\deeper\\in.txt"}, L"sub\\deeper\\in.txt", false, {}},
        {{L"invoice\u202Efdp.exe"}, L"invoice[U+202E]fdp.exe", false, {}},
        {{L"CON.txt"}, nullptr, true, ExtractionFault::InvalidName},
        {{L"what?.txt"}, nullptr, true, ExtractionFault::InvalidName},
        {{L"dotted.txt."}, nullptr, true, ExtractionFault::InvalidName},
        {{longName + L".txt"}, nullptr, true, ExtractionFault::TooLong},
        {{L"..\\up.txt"}, nullptr, true, ExtractionFault::ReaderFailed},
        {{L"C:\\rooted.txt"}, nullptr, true, ExtractionFault::ReaderFailed},
        {{L"method.txt", 0, Damage::UnknownMethod}, nullptr, true, ExtractionFault::ReaderFailed},
        {{L"short.txt", 0, Damage::ShortData}, nullptr, true, ExtractionFault::ReaderFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(TestSupport::Narrow(c.item.name));
        Attempt run;
        Extract(run, MakeZip({c.item}));
        EXPECT_EQ(c.fails ? 0u : 1u, run.outcome.written);
        EXPECT_EQ(c.fails, !run.outcome.Succeeded());
        ASSERT_EQ(c.fails ? 1u : 0u, run.host.failures.size());
        if (c.fails) {
            EXPECT_EQ(c.fault, run.host.failures[0]);
        } else {
            EXPECT_EQ(run.folder + L"\\" + c.written, run.outcome.lastWritten);
            EXPECT_EQ("content of " + TestSupport::Narrow(c.item.name),
                      TestSupport::ReadFileBytes(run.outcome.lastWritten));
        }
        // Nothing but the one file (and its folders) below the folder, nothing beside it.
        const auto found = TestSupport::RunHostIn(run.folder + L"\\..",
                                                  "find . -type f | grep -v '^./doc.snx$' | wc -l");
        EXPECT_EQ(c.fails ? "0\n" : "1\n", found.output);
    }
}

// Whether a file exists is asked for each entry after the earlier ones are written, so
// names that reach the same file are asked about (the host skips: the first one stays).
TEST(Extraction, AsksAboutFilesEarlierEntriesWrote) {
    const struct {
        const wchar_t* first;
        const wchar_t* second;
        size_t asked;
    } pairs[] = {
        {L"A.txt", L"a.txt", 1},
        {L"sub\\a.txt", L"SUB\\A.TXT", 1},
        {L"a.txt", L"a.txt.", 0}, // refused as a name: never written over the first
    };
    for (const auto& pair : pairs) {
        SCOPED_TRACE(TestSupport::Narrow(pair.second));
        Attempt run;
        Extract(run, MakeZip({{pair.first}, {pair.second}}));
        EXPECT_EQ(pair.asked, run.host.asked.size());
        EXPECT_EQ(1u, run.outcome.written);
        EXPECT_EQ("content of " + TestSupport::Narrow(pair.first),
                  TestSupport::ReadFileBytes(run.folder + L"\\" + pair.first));
    }

    // The answers: replace this one, cancel the rest.
    Attempt run;
    run.host.answers = {ExtractionHost::Answer::Replace, ExtractionHost::Answer::Cancel};
    Extract(run, MakeZip({{L"A.txt"}, {L"a.txt"}, {L"A.TXT"}, {L"after.txt"}}));
    EXPECT_EQ(2u, run.outcome.written);
    EXPECT_TRUE(run.outcome.cancelled);
    EXPECT_FALSE(Exists(run.folder + L"\\after.txt"));
    EXPECT_EQ("content of a.txt", TestSupport::ReadFileBytes(run.folder + L"\\a.txt"));
}

// The container by another spelling, through a link to its folder and by a second name.
TEST(Extraction, NeverWritesTheOpenContainer) {
    const std::wstring folder = TestSupport::MakeTempDir(L"container");
    const std::wstring container = folder + L"\\the open container.snx";
    TestSupport::WriteFileBytes(container, "container");
    ASSERT_TRUE(::CreateHardLinkW((folder + L"\\linked.snx").c_str(), container.c_str(), nullptr));
    const std::wstring link = TestSupport::MakeTempDir(L"link") + L"\\to-folder";
    ASSERT_EQ(0, TestSupport::RunHost("ln -s " +
                                      TestSupport::ShellQuote(TestSupport::UnixPath(folder)) + " " +
                                      TestSupport::ShellQuote(TestSupport::UnixPath(link)))
                     .exitCode);

    const struct {
        const wchar_t* name;
        std::wstring into;
    } cases[] = {
        {L"THE OPEN CONTAINER.SNX", folder},
        {L"the open container.snx", link},
        {L"linked.snx", folder},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(TestSupport::Narrow(c.into + L"\\" + c.name));
        Attempt run;
        run.folder = c.into;
        run.host.answers = {ExtractionHost::Answer::ReplaceAll};
        Extract(run, MakeZip({{c.name}}), container);
        ASSERT_EQ(1u, run.host.failures.size());
        EXPECT_EQ(ExtractionFault::OpenContainer, run.host.failures[0]);
        EXPECT_TRUE(run.host.asked.empty());
        EXPECT_EQ("container", TestSupport::ReadFileBytes(container));
    }
}

TEST(Extraction, MarksEveryFileAndTakesOnlyHarmlessAttributes) {
    const std::string mark = "[ZoneTransfer]\r\nZoneId=3\r\n";
    Attempt run;
    run.folder = TestSupport::MakeTempDir(L"marks");
    const std::wstring container = run.folder + L"\\..\\marked.snx";
    TestSupport::WriteFileBytes(container, "container");
    TestSupport::WriteFileBytes(container + L":Zone.Identifier", mark);
    const DWORD stranger = FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_TEMPORARY |
                           FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN;
    Extract(run,
            MakeZip({{L"locked.txt", FILE_ATTRIBUTE_READONLY}, {L"odd.txt", stranger}, {L"x.txt"}}),
            container);
    ASSERT_TRUE(run.outcome.Succeeded());
    const struct {
        const wchar_t* name;
        DWORD attributes;
    } files[] = {
        {L"locked.txt", FILE_ATTRIBUTE_READONLY},
        {L"odd.txt", FILE_ATTRIBUTE_HIDDEN},
        {L"x.txt", 0},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(TestSupport::Narrow(file.name));
        const std::wstring path = run.folder + L"\\" + file.name;
        EXPECT_EQ(mark, TestSupport::ReadFileBytes(path + L":Zone.Identifier"));
        const DWORD kept =
            ::GetFileAttributesW(path.c_str()) & (stranger | FILE_ATTRIBUTE_READONLY);
        EXPECT_EQ(file.attributes, kept);
    }
}

TEST(EntryWalk, ListsFoldersAndSaysWhenItStopsShort) {
    std::string zip = MakeZip({{L"folder\\", FILE_ATTRIBUTE_DIRECTORY}, {L"folder\\a.txt"}});
    EntryListing listing = WalkEntries(ContentOf(zip));
    ASSERT_EQ(2u, listing.entries.size());
    EXPECT_TRUE(listing.complete);
    EXPECT_TRUE(listing.entries[0].folder);
    EXPECT_FALSE(listing.entries[1].folder);
    EXPECT_EQ(1u, listing.FileCount());
    EXPECT_EQ(1, FindEntry(listing, L"FOLDER/A.TXT"));

    zip.resize(zip.size() / 2);
    listing = WalkEntries(ContentOf(zip));
    EXPECT_FALSE(listing.complete);
    EXPECT_TRUE(listing.entries.empty());
}

} // namespace
