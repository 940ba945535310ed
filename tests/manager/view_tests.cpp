// View and double-click: the copy opened with the program registered for its type, in a
// folder of the manager's own that goes when the manager ends (except what is still open),
// with the container's zone mark; the questions before opening a program, a disguised name
// or anything from a document whose signature did not verify; and a copy that failed to
// extract is never opened.
#include <gtest/gtest.h>

#include <windows.h>

#include "common/test_support.h"
#include "config/localization.h"
#include "document/operations/zone_mark.h"
#include "document/report/validation_report.h"
#include "foundation/resource_string.h"
#include "manager/manager_test_support.h"
#include "manager/open_with_care.h"
#include "resources/common/localized_ids.h"
#include "resources/manager/resource.h"

using namespace Dossiq::Config;
using namespace Dossiq::Documents;

namespace {

using namespace ManagerTest;
using TestSupport::ReadFileBytes;

const char kZoneMark[] = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://example.org/\r\n";

// Files of type .dqview open with a command that copies them to `opened`; their default
// verb, "print", copies them to `opened` + ".printed".
struct ViewHandler {
    explicit ViewHandler(const std::wstring& opened) {
        HKEY key = nullptr;
        ::RegCreateKeyW(HKEY_CLASSES_ROOT, L".dqview", &key);
        ::RegSetValueW(key, nullptr, REG_SZ, L"DossiqTest.View", 0);
        ::RegCloseKey(key);
        ::RegCreateKeyW(HKEY_CLASSES_ROOT, L"DossiqTest.View\\shell", &key);
        ::RegSetValueW(key, nullptr, REG_SZ, L"print", 0);
        ::RegCloseKey(key);
        for (const auto& [verb, target] :
             {std::pair{L"open", opened}, std::pair{L"print", opened + L".printed"}}) {
            const std::wstring command =
                L"C:\\windows\\system32\\cmd.exe /c copy \"%1\" \"" + target + L"\"";
            ::RegCreateKeyW(
                HKEY_CLASSES_ROOT,
                (L"DossiqTest.View\\shell\\" + std::wstring(verb) + L"\\command").c_str(), &key);
            ::RegSetValueW(key, nullptr, REG_SZ, command.c_str(), 0);
            ::RegCloseKey(key);
        }
    }
    ~ViewHandler() {
        ::RegDeleteTreeW(HKEY_CLASSES_ROOT, L"DossiqTest.View");
        ::RegDeleteTreeW(HKEY_CLASSES_ROOT, L".dqview");
    }
};

void DoubleClick(Opened& box, int row) {
    box.Select(row);
    NMHDR click = {box.shown->window.ListView(), 0, static_cast<UINT>(NM_DBLCLK)};
    ::SendMessageW(box.shown->window.SplitterWindow().Handle(), WM_NOTIFY, 0,
                   reinterpret_cast<LPARAM>(&click));
}

// The part of a text with two %s before the first of them.
std::wstring Lead(UINT id) {
    const std::wstring text = LoadLocalizedString(id);
    return text.substr(0, text.find(L"%s"));
}

// Nothing opens before the report is finished; after it, the question names what failed.
TEST(View, AsksByWhatFailedOnceTheReportIsFinished) {
    ValidationReport passed;
    passed.decoding = DecodingOutcome::NotTampered;
    passed.signatures.resize(1);
    passed.signatures[0].signer.present = passed.signatures[0].validated = true;
    for (CheckReport& check : passed.signatures[0].checks) {
        check.status = CheckStatus::Passed;
    }
    std::vector<std::pair<ValidationReport, UINT>> cases(kReportCheckCount + 3, {passed, 0});
    cases[1] = {passed, IDS_VIEW_NOT_CHECKED};
    cases[1].first.signatures[0].validated = false;
    cases[2] = {passed, IDS_VIEW_UNVERIFIED};
    cases[2].first.decoding = DecodingOutcome::Tampered;
    for (int check = 0; check < kReportCheckCount; ++check) {
        cases[3 + check].second = IDS_VIEW_CHECK_FAILED_BASE + check;
        cases[3 + check].first.signatures[0].checks[check].status = CheckStatus::Failed;
    }
    std::vector<std::wstring> texts;
    DialogWatcher boxes({L"Vantor Manager"}, [&](HWND dialog) {
        texts.push_back(TestSupport::ReadMessageBox(dialog).text);
        TestSupport::PressButton(dialog, ::GetDlgItem(dialog, IDYES) ? IDYES : IDOK);
    });
    auto asked = [&](UINT id) {
        return texts.size() == 1 && texts[0].rfind(Lead(id) + L"note.txt", 0) == 0;
    };
    EXPECT_FALSE(Dossiq::Manager::ConfirmOpening(nullptr, L"note.txt", nullptr));
    EXPECT_TRUE(asked(IDS_VIEW_STILL_CHECKING));
    for (const auto& [report, question] : cases) {
        SCOPED_TRACE(question);
        texts.clear();
        EXPECT_TRUE(Dossiq::Manager::ConfirmOpening(nullptr, L"note.txt", &report));
        EXPECT_TRUE(question ? asked(question) : texts.empty());
    }
}

TEST(View, OpensACopyWithItsProgramAndRemovesItWhenTheManagerEnds) {
    const std::wstring scratch = TestSupport::MakeTempDir(L"viewed");
    const std::wstring opened = scratch + L"\\opened.txt";
    ViewHandler handler(opened);
    Opened box({"shown.dqview=the original", "other.dqview=second"});
    TestSupport::WriteFileBytes(box.path + L":Zone.Identifier", kZoneMark);
    DialogWatcher boxes({L"Vantor Manager"});

    box.Command(ID_ACTION_VIEW); // nothing selected
    EXPECT_TRUE(box.shown->window.Copies().Root().empty());
    box.Select(0);
    // A temporary folder that no path may name: shown in a message box, nothing ends.
    wchar_t saved[MAX_PATH] = {};
    ::GetEnvironmentVariableW(L"TMP", saved, MAX_PATH);
    ::SetEnvironmentVariableW(L"TMP", L"C:\\bad|folder");
    box.Command(ID_ACTION_VIEW);
    Pump(300);
    ::SetEnvironmentVariableW(L"TMP", saved[0] ? saved : nullptr);
    ASSERT_EQ(1u, boxes.Seen().size());
    EXPECT_FALSE(boxes.Seen()[0].text.empty());
    EXPECT_FALSE(Exists(opened));

    box.Command(ID_ACTION_VIEW);
    const std::wstring root = box.shown->window.Copies().Root();
    const std::wstring first = root + L"\\1\\shown.dqview";
    EXPECT_EQ("the original", ReadFileBytes(first));
    EXPECT_TRUE(::GetFileAttributesW(first.c_str()) & FILE_ATTRIBUTE_READONLY);
    // The mark where the volume keeps streams (Wine's never do: the extraction's own tests
    // stand in for one).
    const std::string mark = VolumeKeepsStreams(first) ? kZoneMark : "";
    EXPECT_EQ(mark, ReadZoneMark(first));
    ASSERT_TRUE(PumpUntil([&] { return Exists(opened); }, 20000));
    EXPECT_EQ("the original", ReadFileBytes(opened));
    EXPECT_FALSE(Exists(opened + L".printed")); // View opens, whatever the type's default

    // A second View never touches the first copy, which its viewer may still hold.
    DoubleClick(box, 1);
    const std::wstring second = root + L"\\2\\other.dqview";
    EXPECT_EQ("second", ReadFileBytes(second));
    // Extract carries the mark as well.
    box.shown->window.chooseFolder = [&](HWND) { return scratch; };
    box.Command(ID_ACTION_EXTRACT_TO);
    EXPECT_EQ(mark, ReadZoneMark(scratch + L"\\other.dqview"));
    EXPECT_EQ(1u, boxes.Seen().size());

    // The manager ends while a viewer holds the first copy open.
    HANDLE held = ::CreateFileW(first.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    box.shown.reset();
    EXPECT_TRUE(Exists(first));
    EXPECT_FALSE(Exists(second));
    EXPECT_FALSE(Exists(root + L"\\2"));
    ::CloseHandle(held);
    ::SetFileAttributesW(first.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(View, AsksBeforeOpeningAProgramOrADisguisedName) {
    Opened box({"setup.exe=MZ", "report<RLO>fdp.exe=MZ", "docs/<RLO>txt.scr=MZ"});
    // The list shows the override spelled out.
    const auto rows = ReadList(box.shown->window.ListView());
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ(L"report[U+202E]fdp.exe", rows[1].name);
    EXPECT_EQ(L"[U+202E]txt.scr", rows[2].name);

    std::vector<std::wstring> texts;
    DialogWatcher boxes({L"Vantor Manager"}, [&](HWND dialog) {
        texts.push_back(TestSupport::ReadMessageBox(dialog).text);
        TestSupport::PressButton(dialog, IDNO);
    });
    for (int row : {0, 1, 2}) {
        box.Select(row);
        box.Command(ID_ACTION_VIEW);
        Pump(100);
    }
    ASSERT_EQ(3u, texts.size());
    const std::wstring lead = Lead(IDS_VIEW_DANGEROUS);
    EXPECT_EQ(lead + L"setup.exe", texts[0].substr(0, lead.size() + 9));
    EXPECT_EQ(lead + L"report[U+202E]fdp.exe", texts[1].substr(0, lead.size() + 21));
    for (const std::wstring& text : texts) {
        EXPECT_EQ(std::wstring::npos, text.find(L'\x202E'));
    }
    // Declined: nothing was written.
    const std::wstring root = box.shown->window.Copies().Root();
    EXPECT_TRUE(root.empty() || CountFiles(root) == 0);

    // Extract writes the name as the list shows it.
    const std::wstring target = TestSupport::MakeTempDir(L"disguised");
    box.shown->window.chooseFolder = [&](HWND) { return target; };
    box.Select(1);
    box.Command(ID_ACTION_EXTRACT_TO);
    EXPECT_EQ("MZ", ReadFileBytes(target + L"\\report[U+202E]fdp.exe"));
    EXPECT_EQ(1, CountFiles(target));
}

TEST(View, AsksBeforeOpeningFromAnUnverifiedDocumentAndNeverOpensAFailedCopy) {
    const std::wstring folder = TestSupport::MakeTempDir(L"unverified");
    const std::wstring opened = folder + L"\\opened.txt";
    ViewHandler handler(opened);
    const std::wstring path = folder + L"\\changed.snx";
    WriteSignedContainer(path, MakeArchive({"note.dqview=plain", "cut.dqview|short=cut short"}),
                         "qualified");
    std::string bytes = ReadFileBytes(path);
    const size_t comment = bytes.find("made for a test");
    ASSERT_NE(std::string::npos, comment);
    bytes[comment] = 'M';
    TestSupport::WriteFileBytes(path, bytes);

    ShownWindow shown(path);
    ASSERT_TRUE(WaitForFinalReport(shown));
    ASSERT_TRUE(PumpUntil(
        [&] { return ::SendMessageW(shown.window.ListView(), LVM_GETITEMCOUNT, 0, 0) == 2; }));
    int answer = IDNO;
    std::vector<std::wstring> texts;
    DialogWatcher boxes({L"Vantor Manager"}, [&](HWND dialog) {
        texts.push_back(TestSupport::ReadMessageBox(dialog).text);
        TestSupport::PressButton(dialog, ::GetDlgItem(dialog, IDYES) ? answer : IDOK);
    });
    SelectRow(shown.window.ListView(), 0);
    for (int button : {IDNO, IDYES}) {
        answer = button;
        ::SendMessageW(shown.Handle(), WM_COMMAND, ID_ACTION_VIEW, 0);
        Pump(300);
        EXPECT_EQ(button == IDYES, PumpUntil([&] { return Exists(opened); }, 3000));
    }
    ASSERT_EQ(2u, texts.size());
    const std::wstring lead = Lead(IDS_VIEW_UNVERIFIED);
    EXPECT_EQ(lead + L"note.dqview", texts[0].substr(0, lead.size() + 11));
    EXPECT_EQ(texts[0], texts[1]);
    EXPECT_EQ("plain", ReadFileBytes(opened));

    // The short entry: the error is shown and nothing is opened or left.
    // The copy kept the read-only mark; the viewer may still be writing it.
    ASSERT_TRUE(PumpUntil([&] {
        ::SetFileAttributesW(opened.c_str(), FILE_ATTRIBUTE_NORMAL);
        return ::DeleteFileW(opened.c_str()) || !Exists(opened);
    }));
    SelectRow(shown.window.ListView(), 1);
    ::SendMessageW(shown.Handle(), WM_COMMAND, ID_ACTION_VIEW, 0);
    Pump(2000);
    ASSERT_EQ(4u, texts.size());
    EXPECT_EQ(MHFX::FormatString(LoadLocalizedString(IDS_EXTRACTION_FAILED), L"cut.dqview"),
              texts[3]);
    EXPECT_FALSE(Exists(opened));
    EXPECT_EQ(1, CountFiles(shown.window.Copies().Root())); // the note's copy only
}

} // namespace
