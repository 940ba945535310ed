// What the list and the Extract and View commands do with entries whose names this system
// cannot write, with names a locale's collation would confuse, and with very many entries.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>

#include "common/language_scope.h"
#include "common/test_support.h"
#include "config/localization.h"
#include "document/container/entry_target.h"
#include "manager/manager_test_support.h"
#include "resources/manager/resource.h"

using namespace Dossiq::Config;
using namespace Dossiq::Documents;

namespace {

using namespace ManagerTest;
using TestSupport::ReadFileBytes;

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::wstring> Names(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") {
            names.push_back(name);
        }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return names;
}

int ListCount(HWND list) {
    return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

struct Box {
    Box(const std::vector<std::string>& entries, const wchar_t* tag)
        : folder(TestSupport::MakeTempDir(tag)), path(folder + L"\\box.snx") {
        WriteSignedContainer(path, MakeArchive(entries), "qualified");
    }
    std::wstring folder;
    std::wstring path;
};

void Command(ShownWindow& shown, UINT id) {
    ::SendMessageW(shown.Handle(), WM_COMMAND, id, 0);
    Pump(50);
}

const std::string kLongName = std::string(240, 'x') + ".txt";

TEST(EntryNames, UnwritableOnesAreListedAndRefusedWhileTheOthersExtract) {
    Box box({"good.txt=one", "say \"hi\".txt=quoted", "docs/aux.txt=device", "docs/fine.txt=two",
             kLongName + "=long", "what?.txt=asked", "last.txt=three"},
            L"names");
    ShownWindow shown(box.path);
    const HWND list = shown.window.ListView();
    ASSERT_TRUE(PumpUntil([&] { return ListCount(list) > 0; }));
    const auto rows = ReadList(list);
    ASSERT_EQ(7u, rows.size());
    EXPECT_EQ(L"say \"hi\".txt", rows[1].name);
    EXPECT_EQ(L"aux.txt", rows[2].name);
    EXPECT_EQ(L"docs", rows[2].location);
    EXPECT_EQ(std::wstring(kLongName.begin(), kLongName.end()), rows[4].name);
    EXPECT_EQ(L"last.txt", rows[6].name);
    EXPECT_EQ(L"5", rows[6].size);

    DialogWatcher errors({L"Vantor Manager"});
    Command(shown, ID_ACTION_EXTRACT_ALL);
    EXPECT_EQ("one", ReadFileBytes(box.folder + L"\\good.txt"));
    EXPECT_EQ("two", ReadFileBytes(box.folder + L"\\docs\\fine.txt"));
    EXPECT_EQ("three", ReadFileBytes(box.folder + L"\\last.txt"));
    // The system answers for a device name as if it were a file: the folder is looked at.
    EXPECT_EQ(std::vector<std::wstring>{L"fine.txt"}, Names(box.folder + L"\\docs"));
    auto seen = errors.Seen();
    ASSERT_EQ(1u, seen.size());
    const std::wstring longName(kLongName.begin(), kLongName.end());
    EXPECT_EQ(UnwritableEntryText(L"say \"hi\".txt, docs\\aux.txt, " + longName + L", what?.txt",
                                  EntryTargetFault::InvalidName),
              seen[0].text);

    // Each selected one, extracted or viewed, gets its own reason, in the user's language.
    {
        TestSupport::LanguageScope language(LanguageSerbianCyrillic);
        SelectRow(list, 5);
        Command(shown, ID_ACTION_EXTRACT);
        Command(shown, ID_ACTION_VIEW);
    }
    SelectRow(list, 4);
    Command(shown, ID_ACTION_EXTRACT);
    seen = errors.Seen();
    ASSERT_EQ(4u, seen.size());
    const std::wstring cyrillic = seen[1].text;
    EXPECT_EQ(cyrillic, seen[2].text);
    EXPECT_NE(std::wstring::npos, cyrillic.find(L"what?.txt"));
    EXPECT_NE(UnwritableEntryText(L"what?.txt", EntryTargetFault::InvalidName), cyrillic);
    EXPECT_NE(std::wstring::npos,
              cyrillic.find(L"\u0414\u0430\u0442\u043E\u0442\u0435\u043A\u0430"));
    EXPECT_EQ(UnwritableEntryText(longName, EntryTargetFault::TooLong), seen[3].text);
    EXPECT_FALSE(Exists(box.folder + L"\\what"));

    // The list still follows the selection: the row chosen is the file written.
    const std::wstring out = TestSupport::MakeTempDir(L"names_out");
    shown.window.chooseFolder = [&](HWND) { return out; };
    SelectRow(list, 3);
    Command(shown, ID_ACTION_EXTRACT_TO);
    EXPECT_EQ("two", ReadFileBytes(out + L"\\fine.txt"));
    EXPECT_EQ(4u, errors.Seen().size());
    SaveScreenshot(shown.Handle(), L"entry_names_unwritable");
}

TEST(EntryNames, TheSelectedEntryIsTheOneExtractedWhateverACollationSays) {
    // A soft hyphen, ß against ss, a composed against a decomposed letter: equal to a
    // collation, different files to the file system.
    Box box({"ab.txt=plain",
             "a\xC2\xAD"
             "b.txt=hyphen",
             "strasse.txt=ss",
             "stra\xC3\x9F"
             "e.txt=eszett",
             "e\xCC\x81.txt=decomposed", "\xC3\xA9.txt=composed"},
            L"ordinal");
    ShownWindow shown(box.path);
    const HWND list = shown.window.ListView();
    ASSERT_TRUE(PumpUntil([&] { return ListCount(list) == 6; }));
    const std::wstring out = TestSupport::MakeTempDir(L"ordinal_out");
    shown.window.chooseFolder = [&](HWND) { return out; };
    const struct {
        int row;
        std::wstring file;
        std::string text;
    } cases[] = {{1, L"a\u00ADb.txt", "hyphen"},
                 {3, L"stra\u00DFe.txt", "eszett"},
                 {5, L"\u00E9.txt", "composed"}};
    for (const auto& c : cases) {
        SelectRow(list, c.row);
        Command(shown, ID_ACTION_EXTRACT_TO);
        EXPECT_EQ(c.text, ReadFileBytes(out + L"\\" + c.file)) << c.row;
    }
    EXPECT_FALSE(Exists(out + L"\\strasse.txt"));
    EXPECT_FALSE(Exists(out + L"\\e\u0301.txt"));
}

// The longest time the window took to answer a message sent from another thread while it
// opened and listed the container.
struct Responsiveness {
    explicit Responsiveness(HWND window)
        : thread([this, window] {
              while (!stop) {
                  const DWORD start = ::GetTickCount();
                  DWORD_PTR answer = 0;
                  ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &answer);
                  const DWORD took = ::GetTickCount() - start;
                  longest = std::max<DWORD>(longest, took);
                  ::Sleep(10);
              }
              finished = true;
          }) {}
    ~Responsiveness() {
        stop = true;
        // The watch may be waiting for the window to answer.
        PumpUntil([this] { return finished.load(); });
        thread.join();
    }
    std::atomic<bool> stop{false};
    std::atomic<bool> finished{false};
    std::atomic<DWORD> longest{0};
    std::thread thread;
};

TEST(EntryNames, FiftyThousandEntriesAreListedWhileTheWindowAnswers) {
    Box box({"--many=50000"}, L"many");
    ShownWindow shown;
    const HWND list = shown.window.ListView();
    DWORD longest = 0;
    DWORD took = 0;
    {
        Responsiveness watch(shown.Handle());
        Pump(100);
        const DWORD start = ::GetTickCount();
        shown.window.OpenPath(box.path);
        ASSERT_TRUE(PumpUntil([&] { return ListCount(list) == 50000; }, 120000));
        took = ::GetTickCount() - start;
        Pump(200);
        longest = watch.longest;
    }
    std::printf("50000 entries listed in %lu ms; the window answered within %lu ms\n", took,
                longest);
    // Inserting a row per entry kept the window from answering for tens of seconds.
    EXPECT_LT(longest, 5000u);

    const auto last = TestSupport::ListViewText(list, 49999, 0);
    EXPECT_EQ(L"f49999.txt", last);
    EXPECT_EQ(L"d5", TestSupport::ListViewText(list, 49999, 1));
    // Typing a name goes to it.
    LVFINDINFOW find = {};
    find.flags = LVFI_STRING | LVFI_PARTIAL | LVFI_WRAP;
    find.psz = L"F3141";
    EXPECT_EQ(31410, ::SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1),
                                    reinterpret_cast<LPARAM>(&find)));

    const std::wstring out = TestSupport::MakeTempDir(L"many_out");
    shown.window.chooseFolder = [&](HWND) { return out; };
    SelectRow(list, 31415);
    Pump(50);
    EXPECT_TRUE(shown.window.Commands().IsEnabled(ID_ACTION_EXTRACT));
    Command(shown, ID_ACTION_EXTRACT_TO);
    EXPECT_EQ("31415", ReadFileBytes(out + L"\\f31415.txt"));
    ::SendMessageW(list, LVM_ENSUREVISIBLE, 31415, FALSE);
    Pump(100);
    SaveScreenshot(shown.Handle(), L"entry_names_fifty_thousand");
}

} // namespace
