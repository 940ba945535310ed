// Extract, Extract To, Extract All and Extract All To on a real container: files and folders
// written, the folder browser answered, error 502 for a destination that cannot be written,
// for a hostile entry name and for each failure of the reader, the question before replacing
// a file answered each way, and the open container that is never written.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <mutex>

#include "common/control_readers.h"
#include "common/drop_list.h"
#include "common/language_scope.h"
#include "common/test_support.h"
#include "config/localization.h"
#include "config/preferences.h"
#include "document/container/document.h"
#include "document/report/validation_report.h"
#include "manager/document_entries.h"
#include "foundation/resource_string.h"
#include "manager/manager_test_support.h"
#include "pki/store_scenario.h"
#include "resources/common/localized_ids.h"
#include "resources/manager/resource.h"

using namespace Dossiq::Config;
using namespace Dossiq::Documents;
using namespace Dossiq::Manager;

namespace {

using namespace ManagerTest;
using TestSupport::ReadFileBytes;

std::wstring ErrorText(const std::wstring& entry) {
    return MHFX::FormatString(LoadLocalizedString(IDS_EXTRACTION_FAILED), entry.c_str());
}

const std::vector<std::string> kEntries = {"readme.txt=top", "docs/", "docs/a.txt=in docs",
                                           "docs/sub/b.txt=deeper"};

TEST(Extract, SelectedFileWithItsFoldersIntoTheContainersFolder) {
    Opened box(kEntries);
    // Nothing selected: nothing happens, not even when the command is sent anyway.
    box.Command(ID_ACTION_EXTRACT);
    EXPECT_EQ(1, CountFiles(box.folder));

    box.Select(1); // docs/a.txt
    DialogWatcher errors({L"Vantor Manager"});
    box.Command(ID_ACTION_EXTRACT);
    EXPECT_EQ("in docs", ReadFileBytes(box.folder + L"\\docs\\a.txt"));
    EXPECT_EQ(2, CountFiles(box.folder));
    EXPECT_TRUE(errors.Seen().empty());
}

TEST(Extract, ToChosenFolderWithoutTheEntrysFolders) {
    Opened box(kEntries);
    const std::wstring target = TestSupport::MakeTempDir(L"to");
    int asked = 0;
    box.shown->window.chooseFolder = [&](HWND owner) {
        ++asked;
        EXPECT_EQ(box.shown->Handle(), owner);
        return target;
    };
    box.Select(2); // docs/sub/b.txt
    box.Command(ID_ACTION_EXTRACT_TO);
    EXPECT_EQ(1, asked);
    EXPECT_EQ("deeper", ReadFileBytes(target + L"\\b.txt"));
    EXPECT_EQ(1, CountFiles(target));

    // Cancelling the browser writes nothing.
    box.shown->window.chooseFolder = [&](HWND) { return std::wstring(); };
    box.Select(0);
    box.Command(ID_ACTION_EXTRACT_TO);
    box.Command(ID_ACTION_EXTRACT_ALL_TO);
    EXPECT_EQ(1, CountFiles(target));
    EXPECT_EQ(1, CountFiles(box.folder));
}

// A row stands for its entry by index: names that differ only in case give their own content.
TEST(Extract, EachRowGivesItsOwnEntryWhenNamesDifferInCase) {
    Opened box({"a.txt=lower", "A.txt=upper"});
    const std::wstring target = TestSupport::MakeTempDir(L"case");
    box.shown->window.chooseFolder = [&](HWND) { return target; };
    box.Select(1);
    box.Command(ID_ACTION_EXTRACT_TO);
    EXPECT_EQ("upper", ReadFileBytes(target + L"\\A.txt"));
}

TEST(Extract, TheSystemFolderBrowserIsAnswered) {
    Opened box(kEntries);
    const std::wstring target = TestSupport::MakeTempDir(L"browsed");
    DialogWatcher browser({L"Browse for Folder"}, [&](HWND dialog) {
        // The tree fills itself in the background: select again once it has settled.
        for (int i = 0; i < 3; ++i) {
            ::Sleep(400);
            ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE,
                           reinterpret_cast<LPARAM>(target.c_str()));
        }
        ::Sleep(400);
        ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    DialogWatcher errors({L"Vantor Manager"});
    box.Command(ID_ACTION_EXTRACT_ALL_TO);
    ASSERT_EQ(1u, browser.Seen().size());
    EXPECT_TRUE(errors.Seen().empty());
    EXPECT_EQ("top", ReadFileBytes(target + L"\\readme.txt"));
    EXPECT_EQ("deeper", ReadFileBytes(target + L"\\docs\\sub\\b.txt"));
}

TEST(Extract, AllIntoTheContainersFolderAndToAChosenOne) {
    Opened box(kEntries);
    DialogWatcher errors({L"Vantor Manager"});
    box.Command(ID_ACTION_EXTRACT_ALL);
    EXPECT_EQ("top", ReadFileBytes(box.folder + L"\\readme.txt"));
    EXPECT_EQ("in docs", ReadFileBytes(box.folder + L"\\docs\\a.txt"));
    EXPECT_EQ("deeper", ReadFileBytes(box.folder + L"\\docs\\sub\\b.txt"));
    EXPECT_EQ(4, CountFiles(box.folder));

    const std::wstring target = TestSupport::MakeTempDir(L"allto");
    box.shown->window.chooseFolder = [&](HWND) { return target; };
    box.Command(ID_ACTION_EXTRACT_ALL_TO);
    EXPECT_EQ("top", ReadFileBytes(target + L"\\readme.txt"));
    EXPECT_EQ("in docs", ReadFileBytes(target + L"\\docs\\a.txt"));
    EXPECT_EQ("deeper", ReadFileBytes(target + L"\\docs\\sub\\b.txt"));
    EXPECT_EQ(3, CountFiles(target));
    EXPECT_TRUE(errors.Seen().empty());
}

TEST(Extract, UnwritableDestinationGivesOneErrorAndStops) {
    Opened box(kEntries);
    // A file where the destination folder should be.
    const std::wstring blocker = box.folder + L"\\blocker";
    TestSupport::WriteFileBytes(blocker, "x");
    box.shown->window.chooseFolder = [&](HWND) { return blocker + L"\\out"; };
    DialogWatcher errors({L"Vantor Manager"});
    box.Command(ID_ACTION_EXTRACT_ALL_TO);
    Pump(300);
    const auto seen = errors.Seen();
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(ErrorText(L"readme.txt"), seen[0].text);
    EXPECT_EQ(2, CountFiles(box.folder));

    box.Select(0);
    box.Command(ID_ACTION_EXTRACT_TO);
    Pump(300);
    EXPECT_EQ(2u, errors.Seen().size());
    SaveScreenshot(box.shown->Handle(), L"extract_after_error");
}

TEST(Extract, HostileEntryNameWritesNothingOutside) {
    Opened box({"ok.txt=fine", "../evil.txt=escaped", "later.txt=never"});
    const std::wstring target = TestSupport::MakeTempDir(L"hostile");
    const std::wstring parent = target.substr(0, target.rfind(L'\\'));
    box.shown->window.chooseFolder = [&](HWND) { return target; };
    DialogWatcher errors({L"Vantor Manager"});
    box.Command(ID_ACTION_EXTRACT_ALL_TO);
    Pump(300);
    const auto seen = errors.Seen();
    ASSERT_EQ(1u, seen.size());
    EXPECT_NE(std::wstring::npos, seen[0].text.find(L"evil.txt")) << seen[0].text;
    EXPECT_EQ("fine", ReadFileBytes(target + L"\\ok.txt"));
    EXPECT_FALSE(Exists(target + L"\\later.txt"));
    EXPECT_FALSE(Exists(parent + L"\\evil.txt"));
    EXPECT_FALSE(Exists(box.folder + L"\\..\\evil.txt"));

    box.Select(1);
    box.Command(ID_ACTION_EXTRACT);
    Pump(300);
    EXPECT_EQ(2u, errors.Seen().size());
    EXPECT_FALSE(Exists(parent + L"\\evil.txt"));
    EXPECT_EQ(1, CountFiles(box.folder));
}

// Answers each overwrite question with the next of `buttons` (the last one repeats) and
// keeps its text; message boxes get OK.
class Answerer {
public:
    // `picture` names a screenshot of the first question.
    explicit Answerer(std::vector<int> buttons, std::wstring picture = {})
        : buttons_(std::move(buttons)), picture_(std::move(picture)) {}
    std::vector<std::wstring> Questions() const {
        std::lock_guard<std::mutex> guard(lock_);
        return questions_;
    }
    std::wstring ReplaceButtonText() const {
        std::lock_guard<std::mutex> guard(lock_);
        return replaceText_;
    }
    // The message boxes, in order.
    std::vector<std::wstring> Boxes() const {
        std::vector<std::wstring> texts;
        for (const SeenDialog& seen : watcher_.Seen()) {
            if (!seen.text.empty()) {
                texts.push_back(seen.text);
            }
        }
        return texts;
    }

private:
    void Answer(HWND dialog) {
        if (!::GetDlgItem(dialog, IDC_OVERWRITE_ALL)) {
            ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            return;
        }
        wchar_t text[1024] = {};
        ::GetDlgItemTextW(dialog, IDC_OVERWRITE_TEXT, text, 1024);
        wchar_t replace[64] = {};
        ::GetDlgItemTextW(dialog, IDYES, replace, 64);
        int button;
        bool first;
        {
            std::lock_guard<std::mutex> guard(lock_);
            questions_.push_back(text);
            replaceText_ = replace;
            button = buttons_[std::min(questions_.size(), buttons_.size()) - 1];
            first = questions_.size() == 1;
        }
        if (!picture_.empty() && first) {
            SaveScreenshot(dialog, picture_);
        }
        TestSupport::PressButton(dialog, button);
    }

    mutable std::mutex lock_;
    std::vector<int> buttons_;
    std::wstring picture_;
    std::vector<std::wstring> questions_;
    std::wstring replaceText_;
    DialogWatcher watcher_{{L"Vantor Manager"}, [this](HWND dialog) { Answer(dialog); }};
};

// Whether `text` is the question about the file `name` (its path may be shortened).
bool AsksAbout(const std::wstring& text, const std::wstring& name) {
    const std::wstring question = LoadLocalizedString(IDS_OVERWRITE_QUESTION);
    const std::wstring lead = question.substr(0, question.find(L"%s"));
    const std::wstring tail = question.substr(question.find(L"%s") + 2);
    return text.compare(0, lead.size(), lead) == 0 && text.size() > tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0 &&
           text.find(L"\\" + name) != std::wstring::npos;
}

// Extract and Extract To write every row selected, asking about each file that exists; and
// a container dropped while such a question is up is not opened.
TEST(Extract, WritesEveryRowSelectedAndOpensNothingWhileItAsks) {
    Opened box(kEntries);
    const std::wstring other = box.folder + L"\\other.snx";
    WriteSignedContainer(other, MakeArchive({"other.txt=other"}), "qualified");
    box.Select(0);
    LVITEMW item = {};
    item.stateMask = item.state = LVIS_SELECTED;
    ::SendMessageW(box.shown->window.ListView(), LVM_SETITEMSTATE, 2,
                   reinterpret_cast<LPARAM>(&item)); // docs/sub/b.txt
    Pump(20);
    EXPECT_FALSE(box.shown->window.Commands().IsEnabled(ID_ACTION_VIEW));
    TestSupport::WriteFileBytes(box.folder + L"\\readme.txt", "mine");
    const HWND window = box.shown->Handle();
    DialogWatcher questions({L"Vantor Manager"}, [&](HWND dialog) {
        ::PostMessageW(window, WM_DROPFILES,
                       reinterpret_cast<WPARAM>(TestSupport::DropFilesGlobal({other})), 0);
        ::Sleep(500);
        TestSupport::PressButton(dialog, IDYES);
    });
    box.Command(ID_ACTION_EXTRACT);
    Pump(300);
    EXPECT_EQ(1u, questions.Seen().size());
    EXPECT_EQ(box.path, box.shown->window.CurrentDocument()->Path());
    EXPECT_EQ("top", ReadFileBytes(box.folder + L"\\readme.txt"));
    EXPECT_EQ("deeper", ReadFileBytes(box.folder + L"\\docs\\sub\\b.txt"));

    const std::wstring target = TestSupport::MakeTempDir(L"several");
    box.shown->window.chooseFolder = [&](HWND) { return target; };
    box.Command(ID_ACTION_EXTRACT_TO);
    EXPECT_EQ("top", ReadFileBytes(target + L"\\readme.txt"));
    EXPECT_EQ("deeper", ReadFileBytes(target + L"\\b.txt"));
}

// Adding a signature keeps the window from opening another container while the certificate
// is chosen; once it is done the same document shows both signatures.
TEST(AddSignature, OpensNothingWhileTheCertificateIsChosenThenShowsBothSignatures) {
    Opened box(kEntries);
    const std::wstring other = box.folder + L"\\other.snx";
    WriteSignedContainer(other, MakeArchive({"other.txt=other"}), "qualified");
    TestPki::StoreScenario stores({"qualified_others", "qualified_reversed"}, {}, {});
    // Signed without a timestamp, whatever other programs of the suite wrote meanwhile.
    struct Unstamped {
        Preferences& preferences = Preferences::Instance();
        const std::wstring url = preferences.TimestampURL(), longTerm = preferences.LongTerm();
        Unstamped() {
            preferences.SetTimestampURL(L"");
            preferences.SetLongTerm(L"optional");
        }
        ~Unstamped() {
            preferences.SetTimestampURL(url);
            preferences.SetLongTerm(longTerm);
        }
    } unstamped;
    const HWND window = box.shown->Handle();
    for (const int answer : {IDCANCEL, IDOK}) {
        SCOPED_TRACE(answer);
        DialogWatcher chooser({L"Select certificate"}, [&](HWND dialog) {
            ::PostMessageW(window, WM_DROPFILES,
                           reinterpret_cast<WPARAM>(TestSupport::DropFilesGlobal({other})), 0);
            ::Sleep(500);
            TestSupport::SelectListViewRow(TestSupport::ChildByClass(dialog, L"SysListView32"), 0);
            TestSupport::PressButton(dialog, answer);
        });
        DialogWatcher told({L"Vantor Manager"});
        box.Command(ID_ACTION_ADD_SIGNATURE);
        Pump(300);
        ASSERT_EQ(1u, chooser.Seen().size());
        ASSERT_TRUE(WaitForFinalReport(*box.shown));
        EXPECT_EQ(box.path, box.shown->window.CurrentDocument()->Path());
        EXPECT_EQ(answer == IDOK ? 2u : 1u, box.shown->window.FinishedReport()->signatures.size());
        const std::vector<SeenDialog> seen = told.Seen();
        ASSERT_EQ(answer == IDOK ? 1u : 0u, seen.size());
        if (!seen.empty()) {
            EXPECT_NE(std::wstring::npos, seen[0].text.find(L"has been added"))
                << TestSupport::Narrow(seen[0].text);
        }
    }
}

TEST(ExtractAll, AsksBeforeReplacingAndFollowsEachAnswer) {
    Opened box(kEntries);
    const std::wstring files[] = {box.folder + L"\\readme.txt", box.folder + L"\\docs\\a.txt",
                                  box.folder + L"\\docs\\sub\\b.txt"};
    ::CreateDirectoryW((box.folder + L"\\docs").c_str(), nullptr);
    ::CreateDirectoryW((box.folder + L"\\docs\\sub").c_str(), nullptr);
    const struct {
        std::vector<int> buttons;
        size_t questions;
        std::vector<std::string> after;
    } cases[] = {
        {{IDNO}, 3, {"old 0", "old 1", "old 2"}},               // skip each
        {{IDYES, IDNO}, 3, {"top", "old 1", "old 2"}},          // replace one, skip the rest
        {{IDNO, IDCANCEL}, 2, {"old 0", "old 1", "old 2"}},     // cancel ends the command
        {{IDC_OVERWRITE_ALL}, 1, {"top", "in docs", "deeper"}}, // asked once for all
    };
    for (const auto& c : cases) {
        for (int i = 0; i < 3; ++i) {
            TestSupport::WriteFileBytes(files[i], "old " + std::to_string(i));
        }
        Answerer answers(c.buttons);
        box.Command(ID_ACTION_EXTRACT_ALL);
        Pump(100);
        const auto questions = answers.Questions();
        ASSERT_EQ(c.questions, questions.size()) << c.buttons.size();
        EXPECT_TRUE(AsksAbout(questions[0], L"readme.txt")) << questions[0];
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(c.after[i], ReadFileBytes(files[i])) << i;
        }
        EXPECT_TRUE(answers.Boxes().empty());
        EXPECT_EQ(4, CountFiles(box.folder)); // nothing half-written beside them
    }

    // Extract of one file asks too, in the user's language.
    TestSupport::LanguageScope cyrillic(LanguageSerbianCyrillic);
    Answerer answers({IDNO}, L"overwrite_question_cyrillic");
    box.Select(1);
    box.Command(ID_ACTION_EXTRACT);
    ASSERT_EQ(1u, answers.Questions().size());
    EXPECT_EQ(L"&Замени", answers.ReplaceButtonText());
    EXPECT_NE(std::wstring::npos, answers.Questions()[0].find(L"већ постоји"));
    EXPECT_EQ("in docs", ReadFileBytes(files[1]));
}

TEST(ExtractAll, NeverWritesTheOpenContainer) {
    // A container that packed an older copy of itself, and another spelling of its name.
    Opened box({"Projects.snx=the older Projects.snx", "notes.txt=notes", "PROJECTS.SNX=older"},
               L"Projects.snx");
    const std::string signedBytes = ReadFileBytes(box.path);
    auto skipped = [](const wchar_t* name) {
        return MHFX::FormatString(LoadLocalizedString(IDS_OPEN_CONTAINER_SKIPPED), name);
    };
    const std::vector<std::wstring> both = {skipped(L"Projects.snx"), skipped(L"PROJECTS.SNX")};
    Answerer answers({IDC_OVERWRITE_ALL});
    box.Command(ID_ACTION_EXTRACT_ALL);
    Pump(100);
    EXPECT_EQ(both, answers.Boxes());
    EXPECT_TRUE(answers.Questions().empty()); // refused, not offered
    EXPECT_EQ(signedBytes, ReadFileBytes(box.path));
    EXPECT_EQ("notes", ReadFileBytes(box.folder + L"\\notes.txt"));

    // The same folder by another path: a link to it, and the file itself by another name.
    const std::wstring link = TestSupport::MakeTempDir(L"link") + L"\\to-box";
    const auto made =
        TestSupport::RunHost("ln -s " + TestSupport::ShellQuote(TestSupport::UnixPath(box.folder)) +
                             " " + TestSupport::ShellQuote(TestSupport::UnixPath(link)));
    ASSERT_EQ(0, made.exitCode) << made.output;
    box.shown->window.chooseFolder = [&](HWND) { return link; };
    box.Command(ID_ACTION_EXTRACT_ALL_TO);
    box.Select(0);
    box.Command(ID_ACTION_EXTRACT_TO);
    box.Command(ID_ACTION_EXTRACT);
    Pump(100);
    auto boxes = answers.Boxes();
    ASSERT_EQ(6u, boxes.size());
    EXPECT_EQ(both, std::vector<std::wstring>(boxes.begin() + 2, boxes.begin() + 4));
    EXPECT_EQ(std::vector<std::wstring>(2, skipped(L"Projects.snx")),
              std::vector<std::wstring>(boxes.begin() + 4, boxes.end()));
    EXPECT_EQ(1u, answers.Questions().size()); // notes.txt, replaced
    EXPECT_EQ(signedBytes, ReadFileBytes(box.path));
    EXPECT_EQ(2, CountFiles(box.folder));
}

TEST(Extract, ReaderFailuresAreShownAndLeaveNothing) {
    Opened box({"good.txt=fine", "short.txt|short=declared longer than it is",
                "packed.txt|bzip2=a method the reader lacks", "crc.txt|badcrc=checksum"});
    const std::wstring target = TestSupport::MakeTempDir(L"failures");
    box.shown->window.chooseFolder = [&](HWND) { return target; };
    TestSupport::WriteFileBytes(target + L"\\short.txt", "mine");
    Answerer answers({IDYES});
    box.Command(ID_ACTION_EXTRACT_ALL_TO);
    Pump(100);
    EXPECT_EQ(1u, answers.Questions().size());
    EXPECT_EQ(std::vector<std::wstring>{ErrorText(L"short.txt")}, answers.Boxes());
    EXPECT_EQ("fine", ReadFileBytes(target + L"\\good.txt"));
    EXPECT_EQ("mine", ReadFileBytes(target + L"\\short.txt")); // what the user had stays
    // The container carries no zone mark, so neither does what came out of it.
    EXPECT_FALSE(Exists(target + L"\\good.txt:Zone.Identifier"));

    for (int row : {2, 3}) {
        box.Select(row);
        box.Command(ID_ACTION_EXTRACT_TO);
    }
    Pump(100);
    EXPECT_EQ((std::vector<std::wstring>{ErrorText(L"short.txt"), ErrorText(L"packed.txt"),
                                         ErrorText(L"crc.txt")}),
              answers.Boxes());
    EXPECT_FALSE(Exists(target + L"\\packed.txt"));
    EXPECT_FALSE(Exists(target + L"\\crc.txt"));
    EXPECT_EQ(2, CountFiles(target));
}

TEST(Entries, IconsAndSizes) {
    const std::wstring folder = TestSupport::MakeTempDir(L"entries");
    const std::wstring path = folder + L"\\e.snx";
    WriteSignedContainer(
        path, MakeArchive({"noext=1", "a.unknownext=22", "d/", "d/big.txt=*1048576"}), "qualified");
    Document document(path);
    const auto entries = GetEntries(document);
    ASSERT_EQ(3u, entries.size());
    EXPECT_EQ(L"noext", entries[0].path);
    EXPECT_EQ(-1, entries[0].iconIndex);
    EXPECT_EQ(L"a.unknownext", entries[1].path);
    EXPECT_GE(entries[1].iconIndex, 0); // the system's generic icon
    EXPECT_EQ(L"d\\big.txt", entries[2].path);
    EXPECT_EQ(1048576u, entries[2].size);
    EXPECT_TRUE(document.IsOpened());

    ShownWindow shown(path);
    ASSERT_TRUE(PumpUntil(
        [&] { return ::SendMessageW(shown.window.ListView(), LVM_GETITEMCOUNT, 0, 0) == 3; }));
    const auto rows = ReadList(shown.window.ListView());
    EXPECT_EQ(I_IMAGENONE, rows[0].image);
    EXPECT_EQ(entries[1].iconIndex, rows[1].image);
    EXPECT_EQ(L"1048576", rows[2].size);
    EXPECT_EQ(L"d", rows[2].location);

    // A document that does not open has no entries and nothing to extract.
    Document broken(folder + L"\\missing.snx");
    EXPECT_TRUE(GetEntries(broken).empty());
    EXPECT_TRUE(broken.HasFailed());
    EXPECT_FALSE(ExtractAllEntries(broken, folder));
    EXPECT_FALSE(ExtractEntry(broken, L"noext", folder, true));
}

} // namespace
