// Creation commands run in-process as the context menu starts them, with everything they
// show read and answered on screen, and every container checked by OpenSSL.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "config/preferences.h"
#include "common/test_support.h"
#include "creation/creation_test_util.h"
#include "document/creation/output_name.h"
#include "shell/document_creation_thread.h"
#include "foundation/handle.h"
#include "foundation/resource_string.h"
#include "foundation/win32_exception.h"
#include "pki/test_pki.h"

using namespace Dossiq::Config;
using namespace Dossiq::Shell;
using namespace Dossiq::Documents;

using namespace CreationTest;
using TestSupport::Narrow;
using TestSupport::RunHost;
using TestSupport::ShellQuote;
using TestSupport::UnixPath;
using TestSupport::Widen;

namespace {

const std::wstring kShellCaption = L"dossiqshell";
const std::wstring kProductCaption = L"Dossiq";
const std::wstring kSelectTitle = L"Select certificate";
const std::wstring kSigningFailed =
    L"An error occured during signing of the document(s).\r\n\r\nError info:\r\n";
const std::wstring kProtectionFailed =
    L"An error occurred during protection of the document(s).\r\n\r\nError info:\r\n";
const std::wstring kEncryptionFailed =
    L"An error occurred during encryption of the document(s).\r\n\r\nError info:\r\n";
const std::wstring kTooLarge = L"It is not possible to process content larger than 100 MB.";
const std::wstring kInUse = L"The file is open in another program that does not let others "
                            L"read it. Close it there and try again.";
const std::wstring kOver4Gb =
    L"The file is larger than 4 GB, the most one file in a container can hold.";
const std::wstring kTooMany =
    L"The selection holds more than 65,535 files, the most one container can hold.";
const wchar_t* const kProgressTitles[] = {L"Compressing file(s)...", L"Signing...",
                                          L"Encrypting...", L"Protecting..."};

// What a command showed and how it ended.
struct CommandRun {
    DWORD exitCode = STILL_ACTIVE;
    std::vector<MessageBoxContent> messages;
    int selectionDialogs = 0;
    std::vector<int> questionDefaults; // the default button of each Yes/No question
    std::vector<std::wstring> progressSeen;
};

// How the user answers the dialogs a command shows.
struct Answers {
    // Save As: the name typed (full path), or empty to cancel.
    std::wstring saveAs;
    // The certificate dialog: row to pick, or -1 to cancel.
    int certificateRow = 0;
    // Pictures of the progress dialogs, under this prefix when not empty.
    std::string screenshots;
    // A question with Yes and No (a recipient warning, signing without a timestamp): the
    // button pressed.
    int question = IDNO;
};

void AnswerSaveAs(HWND dialog, const std::wstring& name) {
    HWND edit = ChildById(dialog, 0x480); // edt1
    if (edit == nullptr) {
        edit = ChildByClass(ChildById(dialog, 0x47c), L"Edit"); // cmb13
    }
    if (name.empty() || edit == nullptr) {
        PressButton(dialog, IDCANCEL);
        return;
    }
    ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
    PressButton(dialog, IDOK);
}

// Answers what the commands show until every one of `threads` has ended.
void Drive(const std::vector<HANDLE>& threads, const Answers& answers, CommandRun& run) {
    const ULONGLONG end = ::GetTickCount64() + 300000;
    std::vector<HWND> answered;
    auto fresh = [&](HWND window) {
        return std::find(answered.begin(), answered.end(), window) == answered.end();
    };
    while (::WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, 50) ==
           WAIT_TIMEOUT) {
        if (::GetTickCount64() > end) {
            ADD_FAILURE() << "the command does not end";
            return;
        }
        for (const std::wstring& caption : {kShellCaption, kProductCaption}) {
            for (HWND box : WindowsTitled(caption)) {
                if (!fresh(box)) {
                    continue;
                }
                ::Sleep(200);
                run.messages.push_back(ReadMessageBox(box));
                if (!answers.screenshots.empty()) {
                    Screenshot(box, answers.screenshots + "_message");
                }
                answered.push_back(box);
                if (ChildById(box, IDYES)) {
                    // Wine's boxes answer DM_GETDEFID with IDOK; the button's style tells.
                    const auto isDefault = [&](int id) {
                        return (::GetWindowLongW(ChildById(box, id), GWL_STYLE) & 0xF) ==
                               BS_DEFPUSHBUTTON;
                    };
                    run.questionDefaults.push_back(isDefault(IDNO)    ? IDNO
                                                   : isDefault(IDYES) ? IDYES
                                                                      : 0);
                    PressButton(box, answers.question);
                } else {
                    PressButton(box, IDOK);
                }
            }
        }
        for (HWND dialog : WindowsTitled(kSelectTitle)) {
            if (!fresh(dialog)) {
                continue;
            }
            ::Sleep(300);
            ++run.selectionDialogs;
            answered.push_back(dialog);
            if (answers.certificateRow < 0) {
                PressButton(dialog, IDCANCEL);
            } else {
                SelectListViewRow(ChildByClass(dialog, L"SysListView32"), answers.certificateRow);
                PressButton(dialog, IDOK);
            }
        }
        for (HWND dialog : WindowsTitled(L"Save As")) {
            if (fresh(dialog)) {
                ::Sleep(300);
                answered.push_back(dialog);
                AnswerSaveAs(dialog, answers.saveAs);
            }
        }
        for (const wchar_t* title : kProgressTitles) {
            for (HWND dialog : WindowsTitled(title)) {
                if (std::find(run.progressSeen.begin(), run.progressSeen.end(), title) ==
                    run.progressSeen.end()) {
                    run.progressSeen.push_back(title);
                    if (!answers.screenshots.empty()) {
                        Screenshot(dialog, answers.screenshots + "_" +
                                               std::to_string(run.progressSeen.size()));
                    }
                }
            }
        }
    }
}

HANDLE Start(const std::vector<std::wstring>& selection, const std::wstring& root,
             CreateMode mode) {
    auto* thread = new DocumentCreationThread(selection, root, std::wstring(), mode);
    HANDLE handle = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), thread->GetHandle(), ::GetCurrentProcess(), &handle,
                      SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, 0);
    thread->Resume(); // from here on the thread owns itself
    return handle;
}

CommandRun RunCommand(const std::vector<std::wstring>& selection, const std::wstring& root,
                      CreateMode mode, const Answers& answers = {}) {
    CommandRun run;
    MHFX::KernelHandle thread(Start(selection, root, mode));
    Drive({thread.get()}, answers, run);
    ::GetExitCodeThread(thread.get(), &run.exitCode);
    // Nothing the command showed outlives it.
    for (const wchar_t* title : kProgressTitles) {
        EXPECT_TRUE(WindowsTitled(title).empty()) << Narrow(title) << " left open";
    }
    return run;
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring WriteFile(const std::wstring& folder, const std::wstring& name,
                       const std::string& bytes) {
    const std::wstring path = folder + L"\\" + name;
    TestSupport::WriteFileBytes(path, bytes);
    return path;
}

std::string DerLength(size_t length) {
    if (length < 0x80) {
        return std::string(1, static_cast<char>(length));
    }
    std::string bytes;
    for (size_t rest = length; rest != 0; rest >>= 8) {
        bytes.insert(bytes.begin(), static_cast<char>(rest & 0xFF));
    }
    return std::string(1, static_cast<char>(0x80 | bytes.size())) + bytes;
}

// A bare SignedData as the envelope carries it, wrapped in its ContentInfo for OpenSSL.
std::string SignedContentInfo(const std::string& bareSignedData) {
    const std::string oid("\x06\x09\x2A\x86\x48\x86\xF7\x0D\x01\x07\x02", 11);
    const std::string content = "\xA0" + DerLength(bareSignedData.size()) + bareSignedData;
    return "\x30" + DerLength(oid.size() + content.size()) + oid + content;
}

// What OpenSSL finds in a container: the archive's entry names (sorted, '/' separated) and
// their contents, after verifying and/or decrypting it as its kind requires.
struct Opened {
    bool ok = false;
    std::string log;
    std::map<std::string, std::string> entries;
};

Opened OpenWithOpenSsl(const std::wstring& container, DocumentKind kind,
                       const std::string& recipient = "recipient_ab") {
    const TestPki::Pki& pki = TestPki::Pki::Get();
    Opened opened;
    const std::wstring work = TestSupport::MakeTempDir(L"openssl");
    const std::string dir = UnixPath(work);
    const std::string in = ShellQuote(UnixPath(container));
    const std::string verify = "openssl cms -verify -binary -inform DER -CAfile " +
                               ShellQuote(pki.UnixTrustedChainPath()) +
                               " -purpose any -no_check_time -out " +
                               ShellQuote(dir + "/archive.zip") + " -in ";
    const std::string decrypt = "openssl cms -decrypt -binary -inform DER -recip " +
                                ShellQuote(pki.UnixCertPath(recipient)) + " -inkey " +
                                ShellQuote(pki.UnixKeyPath(recipient)) + " -in " + in + " -out ";
    TestSupport::HostResult result;
    if (kind == DocumentKind::Signed) {
        result = RunHost(verify + in + " 2>&1");
    } else if (kind == DocumentKind::Encrypted) {
        result = RunHost(decrypt + ShellQuote(dir + "/archive.zip") + " 2>&1");
    } else {
        result = RunHost(decrypt + ShellQuote(dir + "/inner.der") + " 2>&1");
        opened.log = result.output;
        if (result.exitCode != 0) {
            return opened;
        }
        TestSupport::WriteFileBytes(
            work + L"\\signed.der",
            SignedContentInfo(TestSupport::ReadFileBytes(work + L"\\inner.der")));
        result = RunHost(verify + ShellQuote(dir + "/signed.der") + " 2>&1");
    }
    opened.log += result.output;
    if (result.exitCode != 0) {
        return opened;
    }
    // What the commands write carries the algorithms of today.
    const auto printed = [&](const std::string& file) {
        return RunHost("openssl cms -cmsout -print -inform DER -in " + file + " 2>&1").output;
    };
    const std::string signedData =
        kind == DocumentKind::Signed ? in : ShellQuote(dir + "/signed.der");
    if ((kind != DocumentKind::Encrypted &&
         printed(signedData).find("sha256 (2.16.840.1.101.3.4.2.1)") == std::string::npos) ||
        (kind != DocumentKind::Signed &&
         printed(in).find("aes-256-cbc (2.16.840.1.101.3.4.1.42)") == std::string::npos)) {
        opened.log += "not made with SHA-256 and AES-256-CBC\n";
        return opened;
    }
    const auto listing = RunHost(
        "python3 -c 'import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "assert z.testzip() is None\n"
        "for i in z.infolist():\n"
        "    sys.stdout.write(i.filename.replace(chr(92), \"/\") + \"\\t\" + z.read(i).hex() + "
        "\"\\n\")' " +
        ShellQuote(dir + "/archive.zip") + " 2>&1");
    opened.log += listing.output;
    if (listing.exitCode != 0) {
        return opened;
    }
    size_t start = 0;
    while (start < listing.output.size()) {
        const size_t end = listing.output.find('\n', start);
        const std::string line = listing.output.substr(start, end - start);
        const size_t tab = line.find('\t');
        std::string bytes;
        for (size_t i = tab + 1; i + 1 < line.size(); i += 2) {
            bytes += static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16));
        }
        opened.entries[line.substr(0, tab)] = bytes;
        start = end == std::string::npos ? listing.output.size() : end + 1;
    }
    opened.ok = true;
    return opened;
}

std::wstring FailureText(const std::wstring& prefix, DWORD error) {
    return prefix + MHFX::Win32Exception::SystemText(error);
}

std::wstring NotPacked(const std::wstring& item, const std::wstring& cause) {
    return L"Nothing was written, because \"" + item + L"\" could not be packed: " + cause;
}

// The files of `folder` and below, to show that a failed command left nothing behind.
size_t FileCount(const std::wstring& folder) {
    return std::stoul(RunHost("find " + ShellQuote(UnixPath(folder)) + " -type f | wc -l").output);
}

// A Wine drive letter for a scratch folder, removed again at the end of the test.
class MappedDrive {
public:
    MappedDrive(wchar_t letter, const std::wstring& folder) {
        // Drive C is seen through the prefix's own dosdevices folder.
        const std::string driveC = UnixPath(L"C:\\");
        link_ = driveC.substr(0, driveC.rfind("/dosdevices/")) + "/dosdevices/" +
                static_cast<char>(letter) + ":";
        RunHost("ln -sfn " + ShellQuote(UnixPath(folder)) + " " + ShellQuote(link_));
    }
    ~MappedDrive() { RunHost("rm -f " + ShellQuote(link_)); }

private:
    std::string link_;
};

const std::vector<std::string> kOneSigner = {"qualified"};
const std::vector<std::string> kOneRecipient = {"recipient_ab"};

} // namespace

TEST(Creation, QuickCommandsWriteEachKindBesideTheFile) {
    StoreScenario stores(kOneSigner, kOneRecipient, {});
    const std::wstring folder = TestSupport::MakeTempDir(L"quick");
    const std::string content = "quarterly figures\n";
    const std::wstring file = WriteFile(folder, L"report.final.docx", content);
    const struct {
        CreateMode mode;
        const wchar_t* name;
        DocumentKind kind;
    } cases[] = {{CreateMode::SignQuick, L"report.final.snx", DocumentKind::Signed},
                 {CreateMode::EncryptQuick, L"report.final.enx", DocumentKind::Encrypted},
                 {CreateMode::ProtectQuick, L"report.final.pnx", DocumentKind::Protected}};
    for (const auto& c : cases) {
        const CommandRun run = RunCommand({file}, folder, c.mode);
        EXPECT_EQ(run.exitCode, DocumentCreationThread::Written) << Narrow(c.name);
        EXPECT_TRUE(run.messages.empty()) << Narrow(run.messages.front().text);
        EXPECT_EQ(run.selectionDialogs, 0);
        const Opened opened = OpenWithOpenSsl(folder + L"\\" + c.name, c.kind);
        ASSERT_TRUE(opened.ok) << opened.log;
        EXPECT_EQ(opened.entries,
                  (std::map<std::string, std::string>{{"report.final.docx", content}}));
    }
}

// The user is asked, and signs without a timestamp or not at all.
TEST(Creation, AnUnreachableTimestampServiceLeavesTheChoiceToTheUser) {
    StoreScenario stores(kOneSigner, kOneRecipient, {});
    const std::wstring folder = TestSupport::MakeTempDir(L"tsdead");
    const std::wstring file = WriteFile(folder, L"x.txt", "x");
    Preferences::Instance().SetTimestampURL(Widen(TestPki::Pki::Get().DeadUrl() + "/tsa/tsa"));
    const struct {
        int button;
        DWORD outcome;
    } choices[] = {{IDNO, DocumentCreationThread::NotCreated},
                   {IDYES, DocumentCreationThread::Written}};
    for (const auto& choice : choices) {
        Answers answers;
        answers.question = choice.button;
        const CommandRun run = RunCommand({file}, folder, CreateMode::SignQuick, answers);
        EXPECT_EQ(choice.outcome, run.exitCode);
        ASSERT_EQ(1u, run.messages.size());
        EXPECT_NE(std::wstring::npos, run.messages[0].text.find(L"could not be reached"))
            << Narrow(run.messages[0].text);
        EXPECT_EQ(choice.button == IDYES, Exists(folder + L"\\x.snx"));
    }
    Preferences::Instance().SetTimestampURL(L"");
    const Opened opened = OpenWithOpenSsl(folder + L"\\x.snx", DocumentKind::Signed);
    EXPECT_TRUE(opened.ok) << opened.log;
}

TEST(Creation, SeveralItemsAreNamedAfterTheirFolder) {
    StoreScenario stores(kOneSigner, kOneRecipient, {});
    const std::wstring folder = TestSupport::MakeTempDir(L"multi") + L"\\Reports";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ::CreateDirectoryW((folder + L"\\sub").c_str(), nullptr);
    ::CreateDirectoryW((folder + L"\\empty").c_str(), nullptr);
    WriteFile(folder, L"a.txt", "alpha");
    WriteFile(folder + L"\\sub", L"b.bin", std::string("\0\1\2beta", 7));
    const CommandRun run = RunCommand({folder + L"\\a.txt", folder + L"\\sub", folder + L"\\empty"},
                                      folder, CreateMode::ProtectQuick);
    EXPECT_EQ(run.exitCode, DocumentCreationThread::Written);
    const Opened opened = OpenWithOpenSsl(folder + L"\\Reports.pnx", DocumentKind::Protected);
    ASSERT_TRUE(opened.ok) << opened.log;
    EXPECT_EQ(opened.entries,
              (std::map<std::string, std::string>{{"a.txt", "alpha"},
                                                  {"sub/b.bin", std::string("\0\1\2beta", 7)}}));
}

TEST(Creation, AtADriveRootTheNameIsOnlyTheExtension) {
    StoreScenario stores(kOneSigner, kOneRecipient, {});
    const std::wstring folder = TestSupport::MakeTempDir(L"drive");
    MappedDrive drive(L'q', folder);
    WriteFile(folder, L"one.txt", "1");
    WriteFile(folder, L"two.txt", "2");
    const CommandRun run =
        RunCommand({L"Q:\\one.txt", L"Q:\\two.txt"}, L"Q:\\", CreateMode::SignQuick);
    EXPECT_EQ(run.exitCode, DocumentCreationThread::Written)
        << (run.messages.empty() ? "" : Narrow(run.messages[0].text));
    EXPECT_TRUE(Exists(folder + L"\\.snx"));
    const Opened opened = OpenWithOpenSsl(folder + L"\\.snx", DocumentKind::Signed);
    ASSERT_TRUE(opened.ok) << opened.log;
    EXPECT_EQ(opened.entries,
              (std::map<std::string, std::string>{{"one.txt", "1"}, {"two.txt", "2"}}));
}

TEST(Creation, AQuickCommandReplacesAnExistingContainerWithoutAsking) {
    StoreScenario stores(kOneSigner, kOneRecipient, {});
    const std::wstring folder = TestSupport::MakeTempDir(L"replace");
    const std::wstring file = WriteFile(folder, L"memo.txt", "new text");
    WriteFile(folder, L"memo.snx", "an old container");
    const CommandRun run = RunCommand({file}, folder, CreateMode::SignQuick);
    EXPECT_EQ(run.exitCode, DocumentCreationThread::Written);
    EXPECT_TRUE(run.messages.empty());
    const Opened opened = OpenWithOpenSsl(folder + L"\\memo.snx", DocumentKind::Signed);
    ASSERT_TRUE(opened.ok) << opened.log;
    EXPECT_EQ(opened.entries, (std::map<std::string, std::string>{{"memo.txt", "new text"}}));
}

TEST(Creation, CommandsWithOptionsWriteWhereTheUserSays) {
    StoreScenario stores(kOneSigner, kOneRecipient, {});
    const std::wstring folder = TestSupport::MakeTempDir(L"options");
    const std::wstring target = TestSupport::MakeTempDir(L"target");
    const std::wstring file = WriteFile(folder, L"plan.txt", "the plan");
    const struct {
        CreateMode mode;
        const wchar_t* typed;
        const wchar_t* written;
        DocumentKind kind;
    } cases[] = {{CreateMode::Sign, L"signed copy", L"signed copy.snx", DocumentKind::Signed},
                 {CreateMode::Encrypt, L"sealed", L"sealed.enx", DocumentKind::Encrypted},
                 {CreateMode::Protect, L"guarded.pnx", L"guarded.pnx", DocumentKind::Protected}};
    for (const auto& c : cases) {
        Answers answers;
        answers.saveAs = target + L"\\" + c.typed;
        const CommandRun run = RunCommand({file}, folder, c.mode, answers);
        EXPECT_EQ(run.exitCode, DocumentCreationThread::Written) << Narrow(c.typed);
        const Opened opened = OpenWithOpenSsl(target + L"\\" + c.written, c.kind);
        ASSERT_TRUE(opened.ok) << opened.log;
        EXPECT_EQ(opened.entries, (std::map<std::string, std::string>{{"plan.txt", "the plan"}}));
    }
}

TEST(Creation, CancellingSaveAsOrTheChoiceWritesNothing) {
    StoreScenario stores({"qualified", "expired"}, kOneRecipient, {});
    const std::wstring folder = TestSupport::MakeTempDir(L"cancel");
    const std::wstring file = WriteFile(folder, L"draft.txt", "draft");

    Answers cancelSaveAs;
    CommandRun run = RunCommand({file}, folder, CreateMode::Sign, cancelSaveAs);
    EXPECT_EQ(run.exitCode, DocumentCreationThread::NotCreated);
    EXPECT_EQ(run.selectionDialogs, 0);
    EXPECT_TRUE(run.messages.empty());

    Answers cancelChoice;
    cancelChoice.certificateRow = -1;
    run = RunCommand({file}, folder, CreateMode::SignQuick, cancelChoice);
    EXPECT_EQ(run.exitCode, DocumentCreationThread::NotCreated);
    EXPECT_EQ(run.selectionDialogs, 1);
    EXPECT_TRUE(run.messages.empty());

    // With several signers the choice is asked and the pick signs.
    run = RunCommand({file}, folder, CreateMode::ProtectQuick);
    EXPECT_EQ(run.exitCode, DocumentCreationThread::Written);
    EXPECT_EQ(run.selectionDialogs, 1);

    for (const wchar_t* name : {L"draft.snx", L"draft.enx"}) {
        EXPECT_FALSE(Exists(folder + L"\\" + name)) << Narrow(name);
    }
}

TEST(Creation, MissingCertificatesEndTheCommandAfterTheirMessage) {
    const std::wstring folder = TestSupport::MakeTempDir(L"nocert");
    const std::wstring file = WriteFile(folder, L"x.txt", "x");
    {
        StoreScenario stores({"no_qc", "qualified!nokey"}, kOneRecipient, {});
        const CommandRun run = RunCommand({file}, folder, CreateMode::ProtectQuick);
        EXPECT_EQ(run.exitCode, DocumentCreationThread::NotCreated);
        ASSERT_EQ(run.messages.size(), 1u);
        EXPECT_EQ(run.messages[0].text.substr(0, 40), L"There is no suitable certificate that ca");
    }
    {
        StoreScenario stores(kOneSigner, {"recipient_no_ke"}, {});
        const CommandRun run = RunCommand({file}, folder, CreateMode::EncryptQuick);
        EXPECT_EQ(run.exitCode, DocumentCreationThread::NotCreated);
        ASSERT_EQ(run.messages.size(), 1u);
        EXPECT_EQ(run.messages[0].text.substr(0, 43),
                  L"There is no recipient certificate available");
    }
    EXPECT_FALSE(Exists(folder + L"\\x.pnx"));
    EXPECT_FALSE(Exists(folder + L"\\x.enx"));
}

// The recipient is checked before encrypting: an expired, a revoked and an untrusted one
// are warned about by name and reason, No (the default) writes nothing, Yes encrypts.
TEST(Creation, AnUnfitRecipientIsWarnedAboutBeforeEncrypting) {
    const std::wstring folder = TestSupport::MakeTempDir(L"recipient");
    const std::wstring file = WriteFile(folder, L"x.txt", "for the recipient");
    const struct {
        const char* recipient;
        const wchar_t* problem;
        CreateMode mode;
        const wchar_t* output;
        DocumentKind kind;
    } cases[] = {
        {"recipient_expired",
         L"The certificate of the recipient \"Ivana Ili\u0107 <recipient_expired@dossiq.test>\" "
         L"has expired or is not valid yet.",
         CreateMode::EncryptQuick, L"x.enx", DocumentKind::Encrypted},
        {"recipient_revoked",
         L"The certificate of the recipient \"Stefan Stani\u0107 "
         L"<recipient_revoked@dossiq.test>\" has been revoked by its issuer.",
         CreateMode::ProtectQuick, L"x.pnx", DocumentKind::Protected},
        {"recipient_untrusted",
         L"The certificate of the recipient \"Nikola Nedi\u0107 "
         L"<recipient_untrusted@dossiq.test>\" does not lead to a trusted root certification "
         L"authority.",
         CreateMode::EncryptQuick, L"x.enx", DocumentKind::Encrypted},
    };
    for (const auto& c : cases) {
        StoreScenario stores(kOneSigner, {c.recipient}, {});
        for (const int answer : {IDNO, IDYES}) {
            ::DeleteFileW((folder + L"\\" + c.output).c_str());
            Answers answers;
            answers.question = answer;
            answers.screenshots = std::string("creation_") + c.recipient;
            const CommandRun run = RunCommand({file}, folder, c.mode, answers);
            ASSERT_EQ(run.messages.size(), 1u) << c.recipient;
            EXPECT_EQ(run.questionDefaults, std::vector<int>{IDNO});
            EXPECT_EQ(run.messages[0].text,
                      std::wstring(c.problem) +
                          L"\r\n\r\nThe recipient may be unable to open the document, or the "
                          L"certificate may no longer be theirs. Encrypt for this certificate "
                          L"anyway?");
            if (answer == IDNO) {
                EXPECT_EQ(run.exitCode, DocumentCreationThread::NotCreated) << c.recipient;
                EXPECT_FALSE(Exists(folder + L"\\" + c.output)) << c.recipient;
            } else {
                EXPECT_EQ(run.exitCode, DocumentCreationThread::Written) << c.recipient;
                const Opened opened =
                    OpenWithOpenSsl(folder + L"\\" + c.output, c.kind, c.recipient);
                EXPECT_TRUE(opened.ok) << c.recipient << opened.log;
            }
        }
    }
}

TEST(Creation, ContentOver100MegabytesIsRefusedWith510) {
    StoreScenario stores(kOneSigner, kOneRecipient, {});
    const std::wstring folder = TestSupport::MakeTempDir(L"large");
    // 120 MB that do not compress, then a file held open without sharing: the limit is met
    // while the third file is written, so the held one is never reached.
    ASSERT_EQ(
        RunHostIn(folder, "for n in 1 2 3; do head -c 40000000 /dev/urandom > noise$n.bin; done")
            .exitCode,
        0);
    const std::wstring held = WriteFile(folder, L"held.bin", "held");
    MHFX::FileHandle holder(
        ::CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.valid());
    Answers answers;
    answers.screenshots = "too_large";
    const CommandRun run = RunCommand(
        {folder + L"\\noise1.bin", folder + L"\\noise2.bin", folder + L"\\noise3.bin", held},
        folder, CreateMode::SignQuick, answers);
    EXPECT_EQ(run.exitCode, DocumentCreationThread::NotCreated);
    ASSERT_EQ(run.messages.size(), 1u);
    EXPECT_EQ(run.messages[0].caption, kProductCaption);
    EXPECT_EQ(run.messages[0].text, kTooLarge);
    EXPECT_EQ(run.messages[0].icon, ::LoadIconW(nullptr, IDI_WARNING));
    EXPECT_EQ(FileCount(folder), 4u);
}

TEST(Creation, ProgressDialogsShowWhileTheCommandWorks) {
    StoreScenario stores(kOneSigner, kOneRecipient, {});
    const std::wstring folder = TestSupport::MakeTempDir(L"progress");
    ASSERT_EQ(
        RunHost("head -c 30000000 /dev/urandom > " + ShellQuote(UnixPath(folder) + "/noise.bin"))
            .exitCode,
        0);
    Answers answers;
    answers.screenshots = "progress";
    const CommandRun run =
        RunCommand({folder + L"\\noise.bin"}, folder, CreateMode::ProtectQuick, answers);
    EXPECT_EQ(run.exitCode, DocumentCreationThread::Written);
    ASSERT_FALSE(run.progressSeen.empty());
    EXPECT_EQ(run.progressSeen.front(), L"Compressing file(s)...");
    EXPECT_TRUE(Exists(folder + L"\\noise.pnx"));
}

TEST(Creation, AnUnusableSigningKeyGives208WithTheSystemText) {
    StoreScenario stores({"qualified!badkey"}, kOneRecipient, {});
    const std::wstring folder = TestSupport::MakeTempDir(L"badkey");
    const std::wstring file = WriteFile(folder, L"y.txt", "y");
    Answers answers;
    answers.screenshots = "bad_key";
    const CommandRun run = RunCommand({file}, folder, CreateMode::SignQuick, answers);
    EXPECT_EQ(run.exitCode, DocumentCreationThread::Failed);
    ASSERT_EQ(run.messages.size(), 1u);
    const MessageBoxContent& box = run.messages[0];
    EXPECT_EQ(box.caption, kShellCaption);
    EXPECT_EQ(box.icon, ::LoadIconW(nullptr, IDI_ERROR));
    ASSERT_EQ(box.text.substr(0, kSigningFailed.size()), kSigningFailed);
    // The system's one-line text (or its stand-in) for what the key lookup says.
    const std::wstring info = box.text.substr(kSigningFailed.size());
    HCRYPTPROV_OR_NCRYPT_KEY_HANDLE key = 0;
    DWORD keySpec = 0;
    BOOL mustFree = FALSE;
    auto badKey = TestPki::Pki::Get().Certificate("qualified");
    {
        MHFX::CertStoreHandle my(
            ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"My"));
        badKey.reset(::CertFindCertificateInStore(my.get(), X509_ASN_ENCODING, 0,
                                                  CERT_FIND_EXISTING, badKey.get(), nullptr));
    }
    ASSERT_TRUE(badKey.valid());
    ASSERT_FALSE(
        ::CryptAcquireCertificatePrivateKey(badKey.get(), 0, nullptr, &key, &keySpec, &mustFree));
    EXPECT_EQ(info, MHFX::Win32Exception::SystemText(::GetLastError()));
    EXPECT_EQ(info.find(L"\r\n"), std::wstring::npos);
    EXPECT_FALSE(Exists(folder + L"\\y.snx"));
}

// The signer's key in a provider that cancels, as a closed PIN prompt does: not the user's
// answer to the timestamp question, so text 208 tells it with the system's text.
TEST(Creation, AProviderThatCancelsGives208WithTheSystemText) {
    const std::wstring key =
        std::wstring(L"SOFTWARE\\Microsoft\\Cryptography\\Defaults\\Provider\\") +
        TestPki::kCancellingProvider;
    wchar_t program[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring image = program;
    image = image.substr(0, image.find_last_of(L'\\')) + L"\\cancelling_provider.dll";
    const DWORD type = PROV_RSA_AES;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Image Path", REG_SZ,
                                image.c_str(), static_cast<DWORD>((image.size() + 1) * 2)));
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Type", REG_DWORD,
                                               &type, sizeof type));
    StoreScenario stores({"qualified!cancelkey"}, kOneRecipient, {});
    const std::wstring folder = TestSupport::MakeTempDir(L"cancelkey");
    const std::wstring file = WriteFile(folder, L"z.txt", "z");
    const CommandRun run = RunCommand({file}, folder, CreateMode::SignQuick);
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
    EXPECT_EQ(run.exitCode, DocumentCreationThread::Failed);
    ASSERT_EQ(run.messages.size(), 1u);
    EXPECT_EQ(FailureText(kSigningFailed, ERROR_CANCELLED), run.messages[0].text);
    EXPECT_FALSE(Exists(folder + L"\\z.snx"));
}

TEST(Creation, AKeyThatCannotSignWithSha256IsToldSoAndNothingIsWritten) {
    // A DSS key: none of its providers hashes SHA-256, and it sits in no RSA container.
    const std::wstring container = DssKeyContainer("qualified");
    {
        MHFX::CryptProvHandle provider;
        MHFX::CryptKeyHandle key;
        ::CryptAcquireContextW(provider.put(), container.c_str(), MS_DEF_DSS_PROV_W, PROV_DSS,
                               CRYPT_DELETEKEYSET);
        ASSERT_TRUE(::CryptAcquireContextW(provider.put(), container.c_str(), MS_DEF_DSS_PROV_W,
                                           PROV_DSS, CRYPT_NEWKEYSET));
        ASSERT_TRUE(::CryptGenKey(provider.get(), AT_SIGNATURE, 1024u << 16, key.put()));
    }
    StoreScenario stores({"qualified!dsskey"}, kOneRecipient, {});
    const std::wstring folder = TestSupport::MakeTempDir(L"dsskey");
    const std::wstring file = WriteFile(folder, L"z.txt", "z");
    const std::wstring cause =
        L"The key of the chosen certificate cannot sign with SHA-256, and documents are no "
        L"longer signed with older algorithms. Choose a certificate whose key can.";
    const struct {
        CreateMode mode;
        const std::wstring& failed;
        const wchar_t* written;
    } cases[] = {{CreateMode::SignQuick, kSigningFailed, L"\\z.snx"},
                 {CreateMode::ProtectQuick, kProtectionFailed, L"\\z.pnx"}};
    for (const auto& c : cases) {
        Answers answers;
        const CommandRun run = RunCommand({file}, folder, c.mode, answers);
        EXPECT_EQ(run.exitCode, DocumentCreationThread::Failed);
        ASSERT_EQ(run.messages.size(), 1u);
        EXPECT_EQ(run.messages[0].text, c.failed + cause);
        EXPECT_FALSE(Exists(folder + c.written));
    }
    HCRYPTPROV gone = 0;
    ::CryptAcquireContextW(&gone, container.c_str(), MS_DEF_DSS_PROV_W, PROV_DSS,
                           CRYPT_DELETEKEYSET);
}

TEST(Creation, FailuresOnTheWayEndWithTheModesMessage) {
    StoreScenario stores(kOneSigner, kOneRecipient, {});
    const std::wstring folder = TestSupport::MakeTempDir(L"failing");
    const std::wstring file = WriteFile(folder, L"z.txt", "z");

    // The container cannot take the place of a file that another program holds open.
    {
        const std::wstring busy = WriteFile(folder, L"z.snx", "held");
        MHFX::FileHandle holder(
            ::CreateFileW(busy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder.valid());
        Answers answers;
        answers.screenshots = "output_held";
        const CommandRun run = RunCommand({file}, folder, CreateMode::SignQuick, answers);
        holder.reset();
        EXPECT_EQ(run.exitCode, DocumentCreationThread::Failed);
        ASSERT_EQ(run.messages.size(), 1u);
        EXPECT_TRUE(run.messages[0].text == FailureText(kSigningFailed, ERROR_SHARING_VIOLATION) ||
                    run.messages[0].text == FailureText(kSigningFailed, ERROR_ACCESS_DENIED))
            << Narrow(run.messages[0].text);
        EXPECT_EQ(TestSupport::ReadFileBytes(busy), "held");
    }

    // The archive writer refuses a file of more than 4 GB (sparse: it is never read).
    {
        ASSERT_EQ(
            RunHost("truncate -s 4400M " + ShellQuote(UnixPath(folder) + "/huge.bin")).exitCode, 0);
        const CommandRun run =
            RunCommand({folder + L"\\huge.bin"}, folder, CreateMode::EncryptQuick);
        EXPECT_EQ(run.exitCode, DocumentCreationThread::Failed);
        ASSERT_EQ(run.messages.size(), 1u);
        EXPECT_EQ(run.messages[0].text,
                  kEncryptionFailed + NotPacked(folder + L"\\huge.bin", kOver4Gb));
        EXPECT_FALSE(Exists(folder + L"\\huge.enx"));
        ::DeleteFileW((folder + L"\\huge.bin").c_str());
    }

    // A folder whose files lie deeper than a path can reach.
    {
        std::string deep = UnixPath(folder) + "/deep";
        for (int i = 0; i < 30; ++i) {
            deep += "/level-" + std::to_string(i);
        }
        ASSERT_EQ(RunHost("mkdir -p " + ShellQuote(deep) + " && echo x > " +
                          ShellQuote(deep + "/leaf.txt"))
                      .exitCode,
                  0);
        const CommandRun run = RunCommand({folder + L"\\deep"}, folder, CreateMode::SignQuick);
        EXPECT_EQ(run.exitCode, DocumentCreationThread::Failed);
        ASSERT_EQ(run.messages.size(), 1u);
        EXPECT_EQ(run.messages[0].text.substr(0, kSigningFailed.size()), kSigningFailed);
        EXPECT_FALSE(Exists(folder + L"\\deep.snx"));
    }
}

TEST(Creation, AnItemThatCannotBePackedStopsTheCommandAndIsNamed) {
    StoreScenario stores(kOneSigner, kOneRecipient, {});
    const std::wstring folder = TestSupport::MakeTempDir(L"allornothing");
    const std::wstring docs = folder + L"\\docs";
    ::CreateDirectoryW(docs.c_str(), nullptr);
    WriteFile(docs, L"a.txt", "alpha");
    const std::wstring held = WriteFile(docs, L"held.xlsx", "figures");

    // Another program holds one file of a selected folder open without sharing it.
    {
        MHFX::FileHandle holder(::CreateFileW(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                              nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder.valid());
        Answers answers;
        answers.screenshots = "item_in_use";
        const CommandRun run = RunCommand({docs}, folder, CreateMode::SignQuick, answers);
        EXPECT_EQ(run.exitCode, DocumentCreationThread::Failed);
        ASSERT_EQ(run.messages.size(), 1u);
        EXPECT_EQ(run.messages[0].text, kSigningFailed + NotPacked(held, kInUse));
        EXPECT_EQ(FileCount(folder), 2u);
    }

    // A selected file removed before the command reached it: the system's own text.
    {
        const std::wstring gone = docs + L"\\gone.txt";
        const CommandRun run =
            RunCommand({docs + L"\\a.txt", gone}, docs, CreateMode::EncryptQuick);
        EXPECT_EQ(run.exitCode, DocumentCreationThread::Failed);
        ASSERT_EQ(run.messages.size(), 1u);
        EXPECT_EQ(run.messages[0].text,
                  kEncryptionFailed +
                      NotPacked(gone, MHFX::Win32Exception::SystemText(ERROR_FILE_NOT_FOUND)));
        EXPECT_EQ(FileCount(folder), 2u);
    }

    // More files than an archive can list: refused after listing, before compressing.
    {
        const std::wstring many = folder + L"\\many";
        ASSERT_EQ(RunHost("mkdir " + ShellQuote(UnixPath(many)) + " && cd " +
                          ShellQuote(UnixPath(many)) + " && seq -w 0 65535 | xargs touch")
                      .exitCode,
                  0);
        const CommandRun run = RunCommand({many}, folder, CreateMode::SignQuick);
        EXPECT_EQ(run.exitCode, DocumentCreationThread::Failed);
        ASSERT_EQ(run.messages.size(), 1u);
        const std::wstring& text = run.messages[0].text;
        const std::wstring start = kSigningFailed + L"Nothing was written, because \"" + many;
        const std::wstring end = L"\" could not be packed: " + kTooMany;
        EXPECT_EQ(text.substr(0, start.size()), start) << Narrow(text);
        EXPECT_EQ(text.substr(text.size() - std::min(text.size(), end.size())), end);
        EXPECT_FALSE(Exists(folder + L"\\many.snx"));
    }
}

// Wine cannot make junctions (mklink /J and CreateSymbolicLinkW fail), but it shows a Unix
// symbolic link to a folder as a folder that is a reparse point, as Windows shows a junction,
// and a link to a file as the file.
TEST(Creation, LinksToFoldersAreNotFollowedAndALinkToAFileIsPackedAsTheFile) {
    StoreScenario stores(kOneSigner, kOneRecipient, {});
    const std::wstring folder = TestSupport::MakeTempDir(L"links");
    // A loop back to the tree, and a link to a folder that denies listing (as the hidden
    // junctions of a profile do; the tests run as root, who may list it all the same, so
    // what shows here is that it is not entered).
    ASSERT_EQ(RunHostIn(folder,
                        "mkdir -p tree/sub hidden && printf alpha > tree/a.txt"
                        " && printf beta > tree/sub/b.txt && printf secret > hidden/secret.txt"
                        " && ln -s .. tree/sub/loop && ln -s ../hidden 'tree/My Music'"
                        " && ln -s a.txt tree/alias.txt && chmod 000 hidden")
                  .exitCode,
              0);
    const std::map<std::string, std::string> tree = {
        {"a.txt", "alpha"}, {"alias.txt", "alpha"}, {"sub/b.txt", "beta"}};
    const auto under = [&](const std::string& prefix) {
        std::map<std::string, std::string> entries;
        for (const auto& [name, bytes] : tree) {
            entries[prefix + "/" + name] = bytes;
        }
        return entries;
    };

    const CommandRun run = RunCommand({folder + L"\\tree"}, folder, CreateMode::SignQuick);
    EXPECT_EQ(run.exitCode, DocumentCreationThread::Written);
    EXPECT_TRUE(run.messages.empty());
    const Opened opened = OpenWithOpenSsl(folder + L"\\tree.snx", DocumentKind::Signed);
    ASSERT_TRUE(opened.ok) << opened.log;
    EXPECT_EQ(opened.entries, under("tree"));

    // A link the user selected is the folder the user chose; links inside it still are not.
    const std::wstring sub = folder + L"\\tree\\sub";
    const CommandRun chosen = RunCommand({sub + L"\\loop"}, sub, CreateMode::SignQuick);
    EXPECT_EQ(chosen.exitCode, DocumentCreationThread::Written);
    const Opened loop = OpenWithOpenSsl(sub + L"\\loop.snx", DocumentKind::Signed);
    ASSERT_TRUE(loop.ok) << loop.log;
    EXPECT_EQ(loop.entries, under("loop"));
}

TEST(Creation, ASelectionOnTwoDrivesIsNamedAfterEachItemsFolder) {
    StoreScenario stores(kOneSigner, kOneRecipient, {});
    const std::wstring folder = TestSupport::MakeTempDir(L"twodrives");
    const std::wstring file = WriteFile(folder, L"z.txt", "z");
    const std::wstring other = TestSupport::MakeTempDir(L"otherdrive");
    MappedDrive drive(L'r', other);
    WriteFile(other, L"far.txt", "far");
    ::CreateDirectoryW((other + L"\\sub").c_str(), nullptr);
    WriteFile(other + L"\\sub", L"deep.txt", "deep");

    const std::vector<std::wstring> selection = {file, L"R:\\far.txt", L"R:\\sub"};
    const CommandRun run = RunCommand(selection, folder, CreateMode::ProtectQuick);
    EXPECT_EQ(run.exitCode, DocumentCreationThread::Written);
    EXPECT_TRUE(run.messages.empty());
    const Opened opened =
        OpenWithOpenSsl(OutputName::QuickPath(selection, folder, CreateMode::ProtectQuick),
                        DocumentKind::Protected);
    ASSERT_TRUE(opened.ok) << opened.log;
    EXPECT_EQ(opened.entries, (std::map<std::string, std::string>{
                                  {"z.txt", "z"}, {"far.txt", "far"}, {"sub/deep.txt", "deep"}}));
}

TEST(Creation, TwoCommandsAtOnceBothFinish) {
    const std::wstring folder = TestSupport::MakeTempDir(L"together");
    const std::wstring first = WriteFile(folder, L"first.txt", "1st");
    const std::wstring second = WriteFile(folder, L"second.txt", "2nd");
    for (const auto& signers : {kOneSigner, std::vector<std::string>{"qualified", "expired"}}) {
        StoreScenario stores(signers, kOneRecipient, {});
        ::DeleteFileW((folder + L"\\first.pnx").c_str());
        ::DeleteFileW((folder + L"\\second.snx").c_str());
        MHFX::KernelHandle a(Start({first}, folder, CreateMode::ProtectQuick));
        MHFX::KernelHandle b(Start({second}, folder, CreateMode::SignQuick));
        CommandRun run;
        Drive({a.get(), b.get()}, Answers{}, run);
        DWORD codeA = 0, codeB = 0;
        ::GetExitCodeThread(a.get(), &codeA);
        ::GetExitCodeThread(b.get(), &codeB);
        EXPECT_EQ(codeA, DocumentCreationThread::Written);
        EXPECT_EQ(codeB, DocumentCreationThread::Written);
        EXPECT_EQ(run.selectionDialogs, signers.size() == 1 ? 0 : 2);
        EXPECT_TRUE(OpenWithOpenSsl(folder + L"\\first.pnx", DocumentKind::Protected).ok);
        EXPECT_TRUE(OpenWithOpenSsl(folder + L"\\second.snx", DocumentKind::Signed).ok);
    }
}

TEST(Creation, AnEmptyCommandIsToldAndAnUnknownModeDoesNothing) {
    StoreScenario stores(kOneSigner, kOneRecipient, {});
    const std::wstring folder = TestSupport::MakeTempDir(L"empty");
    CommandRun run = RunCommand({}, folder, CreateMode::ProtectQuick);
    EXPECT_EQ(run.exitCode, DocumentCreationThread::Failed);
    ASSERT_EQ(run.messages.size(), 1u);
    EXPECT_EQ(run.messages[0].text, FailureText(kProtectionFailed, ERROR_INVALID_PARAMETER));

    const std::wstring file = WriteFile(folder, L"a.txt", "a");
    run = RunCommand({file}, L"", CreateMode::Encrypt);
    EXPECT_EQ(run.exitCode, DocumentCreationThread::Failed);
    ASSERT_EQ(run.messages.size(), 1u);
    EXPECT_EQ(run.messages[0].text, FailureText(kEncryptionFailed, ERROR_INVALID_PARAMETER));

    for (CreateMode mode : {static_cast<CreateMode>(0), static_cast<CreateMode>(7)}) {
        run = RunCommand({file}, folder, mode);
        EXPECT_EQ(run.exitCode, DocumentCreationThread::NotCreated);
        EXPECT_TRUE(run.messages.empty());
        EXPECT_EQ(run.selectionDialogs, 0);
    }
}
