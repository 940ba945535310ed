// The choice of signing and recipient certificates against the test PKI in the real system
// stores, with the selection dialog and the message boxes read back from the screen.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <atomic>

#include "certificates/x509_store.h"
#include "common/test_support.h"
#include "creation/creation_test_util.h"
#include "views/certificate_selection.h"
#include "foundation/com_ptr.h"
#include "foundation/handle.h"
#include "resources/shellext/resource.h"
#include "pki/test_pki.h"

using namespace Dossiq::Views;

using namespace CreationTest;
using MHFX::Security::Cryptography::X509::X509Certificate;

namespace {

const std::wstring kSelectTitle = L"Select certificate";
const std::wstring kRecipientsTitle = L"Select recipients";
const std::wstring kShellCaption = L"dossiqshell";
const std::wstring kNoSigner = L"There is no suitable certificate that can be used for "
                               L"signing.\r\nPlease be sure that you have installed at least "
                               L"one certificate.";
const std::wstring kNoRecipient =
    L"There is no recipient certificate available.\r\nRecipient certificates should be "
    L"installed in either \"AddressBook\" or \"TrustedPeople\" local user certificate store.";

std::string NameOf(const X509Certificate& certificate) {
    if (!certificate.IsInitialized()) {
        return "(none)";
    }
    return KitNameOf(std::string(reinterpret_cast<const char*>(certificate.Handle()->pbCertEncoded),
                                 certificate.Handle()->cbCertEncoded));
}

std::wstring SimpleName(const std::string& kitName) {
    auto context = TestPki::Pki::Get().LoadCertificate(kitName);
    wchar_t name[256] = {};
    ::CertGetNameStringW(context.get(), CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, 256);
    return name;
}

// What the dialog lists: the first column of each row, sorted, and whether any row shows
// the year 2021 (the expiry of the expired certificate).
struct Listed {
    std::vector<std::wstring> names;
    bool showsExpired = false;
};

Listed ReadSelection(HWND dialog) {
    Listed listed;
    HWND list = ChildByClass(dialog, L"SysListView32");
    if (list == nullptr) {
        return listed;
    }
    listed.names = ListViewTexts(list, 0);
    std::sort(listed.names.begin(), listed.names.end());
    for (int column = 1; column < 6; ++column) {
        for (const std::wstring& text : ListViewTexts(list, column)) {
            if (text.find(L"2021") != std::wstring::npos) {
                listed.showsExpired = true;
            }
        }
    }
    return listed;
}

std::vector<std::wstring> SortedNames(std::vector<std::string> kitNames) {
    std::vector<std::wstring> names;
    for (const std::string& name : kitNames) {
        names.push_back(SimpleName(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The recipient choice with "Also for me" off, as one recipient.
X509Certificate SelectRecipientCertificate() {
    const RecipientChoice choice = SelectRecipientCertificates(false);
    EXPECT_FALSE(choice.forMe);
    return choice.recipients.empty() ? X509Certificate() : choice.recipients.front();
}

// Runs a choice on its own thread; `drive` sees the windows it shows.
X509Certificate Choose(X509Certificate (*choice)(), const std::function<void()>& drive) {
    X509Certificate result;
    RunBeside([&] { result = choice(); }, drive);
    return result;
}

// A choice that must end without showing anything.
X509Certificate ChooseSilently(X509Certificate (*choice)()) {
    std::atomic<bool> done{false};
    X509Certificate result;
    RunBeside(
        [&] {
            result = choice();
            done = true;
        },
        [&] {
            const ULONGLONG end = ::GetTickCount64() + 30000;
            while (!done && ::GetTickCount64() < end) {
                ::Sleep(50);
            }
            if (!done) {
                ADD_FAILURE() << "the choice shows something";
                for (HWND window : WindowsTitled(kSelectTitle)) {
                    PressButton(window, IDCANCEL);
                }
                for (HWND window : WindowsTitled(kShellCaption)) {
                    PressButton(window, IDOK);
                }
            }
        });
    return result;
}

const std::vector<std::string> kNotForSigning = {"no_qc",
                                                 "qc_compliance_only",
                                                 "no_nonrepudiation",
                                                 "no_key_usage",
                                                 "name_single_word",
                                                 "name_trailing_space",
                                                 "name_leading_hyphen",
                                                 "name_hyphenated_first",
                                                 "no_cn",
                                                 "qc_malformed",
                                                 "revoked!nokey",
                                                 "recipient_ab"};

std::vector<std::string> With(std::vector<std::string> list, std::vector<std::string> more) {
    list.insert(list.end(), more.begin(), more.end());
    return list;
}

} // namespace

TEST(SigningChoice, TheOnlyCandidateIsTakenWithoutAsking) {
    StoreScenario stores(With(kNotForSigning, {"qualified"}), {}, {});
    EXPECT_EQ(NameOf(ChooseSilently(SelectSigningCertificate)), "qualified");
}

TEST(SigningChoice, TheDialogOffersExactlyTheCandidatesAndReturnsThePick) {
    // Expired still counts; a key-less, undecodable or badly named certificate never does.
    StoreScenario stores(
        With(kNotForSigning, {"qualified", "expired", "name_hyphen_inside", "name_two_words"}), {},
        {});
    Listed listed;
    std::wstring displayText;
    const X509Certificate chosen = Choose(SelectSigningCertificate, [&] {
        HWND dialog = WaitForWindow(kSelectTitle);
        ASSERT_NE(dialog, nullptr);
        listed = ReadSelection(dialog);
        for (const std::wstring& text : ChildTexts(dialog, L"Static")) {
            if (text.find(L"signing") != std::wstring::npos) {
                displayText = text;
            }
        }
        Screenshot(dialog, "signing_selection");
        HWND list = ChildByClass(dialog, L"SysListView32");
        const std::vector<std::wstring> rows = ListViewTexts(list, 0);
        const auto row = std::find(rows.begin(), rows.end(), SimpleName("name_hyphen_inside"));
        ASSERT_NE(row, rows.end());
        SelectListViewRow(list, static_cast<int>(row - rows.begin()));
        PressButton(dialog, IDOK);
        EXPECT_TRUE(WaitUntilGone(dialog));
    });
    EXPECT_EQ(listed.names,
              SortedNames({"qualified", "expired", "name_hyphen_inside", "name_two_words"}));
    EXPECT_TRUE(listed.showsExpired);
    EXPECT_EQ(displayText, L"Select the certificate you want to use for signing.");
    EXPECT_EQ(NameOf(chosen), "name_hyphen_inside");
    // The pick keeps its private key for signing.
    EXPECT_TRUE(chosen.HasPrivateKey());
}

TEST(SigningChoice, CancellingTheDialogChoosesNothing) {
    StoreScenario stores({"qualified", "expired"}, {}, {});
    const X509Certificate chosen = Choose(SelectSigningCertificate, [&] {
        HWND dialog = WaitForWindow(kSelectTitle);
        ASSERT_NE(dialog, nullptr);
        PressButton(dialog, IDCANCEL);
        EXPECT_TRUE(WaitUntilGone(dialog));
    });
    EXPECT_FALSE(chosen.IsInitialized());
}

TEST(SigningChoice, NoCandidateIsToldWithMessage330) {
    StoreScenario stores(With(kNotForSigning, {}), {"recipient_ab"}, {});
    MessageBoxContent box;
    const X509Certificate chosen = Choose(SelectSigningCertificate, [&] {
        box = ReadMessageBox(WaitForWindow(kShellCaption));
        ASSERT_NE(box.window, nullptr);
        Screenshot(box.window, "no_signing_certificate");
        PressButton(box.window, IDOK);
    });
    EXPECT_FALSE(chosen.IsInitialized());
    EXPECT_EQ(box.text, kNoSigner);
    EXPECT_EQ(box.icon, ::LoadIconW(nullptr, IDI_WARNING));
}

TEST(SigningChoice, ALeftoverTemporaryStoreDoesNotBlockTheChoice) {
    StoreScenario stores({"qualified", "expired"}, {}, {});
    // What an interrupted choice leaves behind, with a stranger in it.
    {
        MHFX::CertStoreHandle leftover(::CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0,
                                                       CERT_SYSTEM_STORE_CURRENT_USER,
                                                       kTempSigningStoreName));
        ASSERT_TRUE(leftover.valid());
        auto stranger = TestPki::Pki::Get().LoadCertificate("no_qc");
        ASSERT_TRUE(::CertAddCertificateContextToStore(leftover.get(), stranger.get(),
                                                       CERT_STORE_ADD_ALWAYS, nullptr));
    }
    ASSERT_TRUE(SystemStoreExists(kTempSigningStoreName));
    Listed listed;
    const X509Certificate chosen = Choose(SelectSigningCertificate, [&] {
        HWND dialog = WaitForWindow(kSelectTitle);
        ASSERT_NE(dialog, nullptr);
        listed = ReadSelection(dialog);
        HWND list = ChildByClass(dialog, L"SysListView32");
        SelectListViewRow(list, 0);
        PressButton(dialog, IDOK);
    });
    EXPECT_EQ(listed.names, SortedNames({"qualified", "expired"}));
    EXPECT_TRUE(chosen.IsInitialized());
}

// The choice of recipients driven by messages: search by name and by e-mail, check boxes
// that stay checked while their rows are hidden, "Also for me", OK only with a recipient.
TEST(RecipientChoice, OnlyKeyEnciphermentFromBothStoresOnceEachAndSeveralChecked) {
    // recipient_both sits in both stores; recipient_no_ke and no_key_usage cannot take a key.
    StoreScenario stores({"qualified"}, {"recipient_ab", "recipient_both", "recipient_no_ke"},
                         {"recipient_tp", "recipient_both", "no_key_usage"});
    Listed listed;
    std::vector<std::wstring> found[2];
    std::wstring listName;
    bool okAtFirst = true;
    RecipientChoice choice;
    RunBeside([&] { choice = SelectRecipientCertificates(false); },
              [&] {
                  HWND dialog = WaitForWindow(kRecipientsTitle);
                  ASSERT_NE(dialog, nullptr);
                  listed = ReadSelection(dialog);
                  HWND list = ChildById(dialog, IDC_RECIPIENT_LIST);
                  HWND search = ChildById(dialog, IDC_RECIPIENT_SEARCH);
                  okAtFirst = ::IsWindowEnabled(ChildById(dialog, IDOK));
                  PressButton(dialog, IDOK); // nothing checked: stays open
                  const char* typed[] = {"JELENA", "recipient_ab@"};
                  for (int i = 0; i < 2; ++i) {
                      ::SendMessageW(search, WM_SETTEXT, 0,
                                     reinterpret_cast<LPARAM>(Widen(typed[i]).c_str()));
                      found[i] = ListViewTexts(list, 0);
                      ListView_SetCheckState(list, 0, TRUE);
                  }
                  ::SendMessageW(search, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
                  ::SendMessageW(ChildById(dialog, IDC_RECIPIENT_FOR_ME), BM_CLICK, 0, 0);
                  Screenshot(dialog, "recipient_selection");
                  const HRESULT com = ::CoInitialize(nullptr);
                  MHFX::ComPtr<IAccessible> object;
                  if (SUCCEEDED(::AccessibleObjectFromWindow(list, static_cast<DWORD>(OBJID_CLIENT),
                                                             IID_IAccessible, object.put_void()))) {
                      VARIANT self = {};
                      self.vt = VT_I4;
                      BSTR name = nullptr;
                      if (SUCCEEDED(object->get_accName(self, &name)) && name) {
                          listName = name;
                          ::SysFreeString(name);
                      }
                  }
                  object.reset();
                  if (SUCCEEDED(com)) {
                      ::CoUninitialize();
                  }
                  PressButton(dialog, IDOK);
                  EXPECT_TRUE(WaitUntilGone(dialog));
              });
    EXPECT_EQ(listed.names, SortedNames({"recipient_ab", "recipient_both", "recipient_tp"}));
    EXPECT_FALSE(okAtFirst);
    EXPECT_EQ(found[0], SortedNames({"recipient_tp"}));
    EXPECT_EQ(found[1], SortedNames({"recipient_ab"}));
    EXPECT_EQ(listName, L"Recipients (check each one the document is for):");
    std::vector<std::string> chosen;
    for (const X509Certificate& recipient : choice.recipients) {
        chosen.push_back(NameOf(recipient));
    }
    std::sort(chosen.begin(), chosen.end());
    EXPECT_EQ(chosen, (std::vector<std::string>{"recipient_ab", "recipient_tp"}));
    EXPECT_TRUE(choice.forMe);
}

TEST(RecipientChoice, OneCandidateInOneStoreIsTakenWithoutAsking) {
    StoreScenario stores({"qualified"}, {"recipient_no_ke"}, {"recipient_tp"});
    EXPECT_EQ(NameOf(ChooseSilently(SelectRecipientCertificate)), "recipient_tp");
}

TEST(RecipientChoice, NoCandidateIsToldWithMessage331) {
    // The signer's "My" is not looked at for recipients.
    StoreScenario stores({"recipient_ab", "recipient_tp"}, {"recipient_no_ke"}, {});
    MessageBoxContent box;
    const X509Certificate chosen = Choose(SelectRecipientCertificate, [&] {
        box = ReadMessageBox(WaitForWindow(kShellCaption));
        ASSERT_NE(box.window, nullptr);
        Screenshot(box.window, "no_recipient_certificate");
        PressButton(box.window, IDOK);
    });
    EXPECT_FALSE(chosen.IsInitialized());
    EXPECT_EQ(box.caption, kShellCaption);
    EXPECT_EQ(box.text, kNoRecipient);
    EXPECT_EQ(box.icon, ::LoadIconW(nullptr, IDI_WARNING));
}

TEST(Choices, TwoChoicesAtOnceTakeTurns) {
    StoreScenario stores({"qualified", "expired"}, {}, {});
    X509Certificate first, second;
    int mostDialogsAtOnce = 0;
    RunBeside([&] { first = SelectSigningCertificate(); },
              [&] {
                  RunBeside(
                      [&] { second = SelectSigningCertificate(); },
                      [&] {
                          for (int answered = 0; answered < 2; ++answered) {
                              HWND dialog = WaitForWindow(kSelectTitle);
                              ASSERT_NE(dialog, nullptr);
                              ::Sleep(500); // time for a second dialog, were there no turns
                              mostDialogsAtOnce =
                                  std::max(mostDialogsAtOnce,
                                           static_cast<int>(WindowsTitled(kSelectTitle).size()));
                              SelectListViewRow(ChildByClass(dialog, L"SysListView32"), answered);
                              PressButton(dialog, IDOK);
                              EXPECT_TRUE(WaitUntilGone(dialog));
                          }
                      });
              });
    EXPECT_EQ(mostDialogsAtOnce, 1);
    EXPECT_TRUE(first.IsInitialized());
    EXPECT_TRUE(second.IsInitialized());
}
