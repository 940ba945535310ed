// The one extraction and the one entry walk, with a host that answers from a script and no
// window: each rule on a single entry, the collisions one extraction makes itself, the open
// container under other names, and the zone mark and attributes of what is written.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <tuple>

#include "common/test_support.h"
#include "document/container/document.h"
#include "document/operations/entry_walk.h"
#include "document/operations/extraction.h"
#include "document/operations/zone_mark.h"
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

// Asks to stop at every step: an entry of one step stops after its last.
class StoppingProgress : public CZipActionCallback {
public:
    bool OnProgress(uint64_t) override { return false; }
};

// Answers the replace questions from a script (Skip when it runs out) and notes the rest;
// stands in for a volume with streams, which Wine has none of.
class ScriptedHost : public ExtractionHost {
public:
    std::deque<Answer> answers;
    std::vector<std::wstring> asked;
    std::vector<ExtractionFault> failures;
    std::vector<std::wstring> madeVisible;
    int streams = 0; // 1: a volume with streams, -1: one that refuses the mark
    bool stop = false;
    std::wstring watch;
    // Each file marked, its attributes then and what `watch` held then.
    std::vector<std::tuple<std::wstring, DWORD, std::string>> marks;

    bool KeepsStreams(const std::wstring&) override { return streams != 0; }
    bool WriteMark(const std::wstring& file, const std::string&) override {
        marks.emplace_back(file, ::GetFileAttributesW(file.c_str()),
                           TestSupport::ReadFileBytes(watch));
        return streams > 0;
    }
    void OnMadeVisible(const ArchiveEntry&, const std::wstring& target) override {
        madeVisible.push_back(target);
    }
    CZipActionCallback* Progress() override { return stop ? &stopping_ : nullptr; }

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

private:
    StoppingProgress stopping_;
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

std::wstring FolderOf(const std::wstring& path) {
    return path.substr(0, path.find_last_of(L'\\'));
}

// The mark, then the attributes, go on the new file while the target is still what it was;
// only the attributes a stranger may set are kept. Wine's volumes have no streams and its
// marks do not follow a rename, so the host stands in for the volume and notes each mark.
TEST(Extraction, MarksAndSettlesTheNewFileBeforeItReplacesTheTarget) {
    constexpr DWORD kReadOnly = FILE_ATTRIBUTE_READONLY;
    // Wine keeps no not-indexed bit and shows every file as archived.
    const DWORD seen = kReadOnly | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                       FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_TEMPORARY;
    const struct {
        const char* what;
        Item item; // an empty name: one whose folder reaches 240 characters
        int streams;
        bool existing; // a file of the user's is there, and is replaced
        bool stop;     // a stop request at the entry's last step
    } cases[] = {
        {"no streams", {L"a.txt", kReadOnly}, 0, true, false},
        {"streams", {L"a.txt"}, 1, true, false},
        {"mark refused", {L"a.txt"}, -1, true, false},
        {"long target", {L""}, 1, false, false},
        {"stop at the last step", {L"s.txt", kReadOnly | FILE_ATTRIBUTE_HIDDEN}, 1, true, true},
        {"hidden", {L"h.dll", FILE_ATTRIBUTE_HIDDEN}, 1, false, false},
        {"system", {L"s.sys", FILE_ATTRIBUTE_SYSTEM}, 1, false, false},
        {"offline", {L"o.txt", FILE_ATTRIBUTE_OFFLINE}, 1, false, false},
        {"temporary", {L"t.txt", FILE_ATTRIBUTE_TEMPORARY}, 1, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Attempt run;
        run.folder = TestSupport::MakeTempDir(L"marks");
        const std::wstring container = FolderOf(run.folder) + L"\\marked.snx";
        TestSupport::WriteFileBytes(container, "container");
        ASSERT_TRUE(WriteZoneMark(container, kInternetZoneMark));
        Item item = c.item;
        if (item.name.empty()) {
            const size_t rest = 240 - run.folder.size() - 1;
            item.name = std::wstring(rest / 2, L'd') + L"\\" +
                        std::wstring(rest - rest / 2 - 1, L'e') + L"\\long.txt";
        }
        const std::wstring target = run.host.watch = run.folder + L"\\" + item.name;
        if (c.existing) {
            TestSupport::WriteFileBytes(target, "mine");
            run.host.answers = {ExtractionHost::Answer::Replace};
        }
        run.host.streams = c.streams;
        run.host.stop = c.stop;
        Extract(run, MakeZip({item}), container);

        EXPECT_EQ(c.stop, run.outcome.cancelled);
        EXPECT_EQ(c.streams != 0 ? 1u : 0u, run.host.marks.size());
        if (c.streams < 0) {
            EXPECT_EQ(std::vector<ExtractionFault>{ExtractionFault::MarkNotWritten},
                      run.host.failures);
            EXPECT_EQ("mine", TestSupport::ReadFileBytes(target));
            EXPECT_EQ("1\n", TestSupport::RunHostIn(run.folder, "ls -A | wc -l").output);
            continue;
        }
        EXPECT_EQ(1u, run.outcome.written);
        EXPECT_EQ("content of " + TestSupport::Narrow(item.name),
                  TestSupport::ReadFileBytes(target));
        EXPECT_EQ(item.attributes & kReadOnly, ::GetFileAttributesW(target.c_str()) & seen);
        if (!run.host.marks.empty()) {
            const auto& [file, attributes, watched] = run.host.marks[0];
            EXPECT_NE(target, file);
            EXPECT_EQ(FolderOf(target), FolderOf(file));
            EXPECT_EQ(0u, attributes & seen);
            EXPECT_EQ(c.existing ? "mine" : "", watched);
        }
    }
}

// Explorer acts on these when it shows their folder: each is written with ".txt" added.
TEST(Extraction, WritesFilesExplorerActsOnUnderAVisibleName) {
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"desktop.ini", true},          {L"sub\\Desktop.INI", true}, {L"Music.library-ms", true},
        {L"a.searchConnector-ms", true}, {L"site.URL", true},         {L"desktop.ini.bak", false},
        {L"notes.urls", false}};
    for (const auto& [name, acted] : cases) {
        SCOPED_TRACE(TestSupport::Narrow(name));
        Attempt run;
        Extract(run, MakeZip({{name}}));
        const std::wstring written = run.folder + L"\\" + name + (acted ? L".txt" : L"");
        EXPECT_EQ(written, run.outcome.lastWritten);
        EXPECT_EQ("content of " + TestSupport::Narrow(name), TestSupport::ReadFileBytes(written));
        EXPECT_EQ(acted ? std::vector<std::wstring>{written} : std::vector<std::wstring>{},
                  run.host.madeVisible);
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
