// What the manager tells a person about an expired, a revoked and an untrusted container:
// the details box under the six lines, the certificate path and the saved report, each
// from the report the checks filled.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "common/test_support.h"
#include "document/report/report_details.h"
#include "document/report/report_builder.h"
#include "manager/manager_test_support.h"
#include "pki/test_pki.h"
#include "resources/manager/resource.h"

using namespace Dossiq::Documents;

namespace {

using namespace ManagerTest;

class DetailsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new std::wstring(TestSupport::MakeTempDir(L"details"));
        archive_ = new std::string(MakeArchive({"readme.txt=hello", "docs/a.txt=inner"}));
    }
    static void TearDownTestSuite() {
        delete folder_;
        delete archive_;
    }
    static std::wstring Container(const std::string& signer) {
        const std::wstring path = *folder_ + L"\\" + TestSupport::Widen(signer) + L".snx";
        if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            WriteSignedContainer(path, *archive_, signer);
        }
        return path;
    }
    static std::wstring* folder_;
    static std::string* archive_;
};

std::wstring* DetailsTest::folder_ = nullptr;
std::string* DetailsTest::archive_ = nullptr;

std::vector<std::wstring> TreeTexts(HWND tree) {
    std::vector<std::wstring> texts;
    auto item = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    while (item) {
        wchar_t text[256] = {};
        TVITEMW read = {};
        read.mask = TVIF_TEXT;
        read.hItem = item;
        read.pszText = text;
        read.cchTextMax = 256;
        ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&read));
        texts.push_back(text);
        item = reinterpret_cast<HTREEITEM>(
            ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
    }
    return texts;
}

TEST_F(DetailsTest, ExpiredRevokedAndUntrustedSayWhatIsWrongAndWhatToDo) {
    const struct {
        const char* signer;
        DetailKind kind;
    } cases[] = {{"expired", DetailKind::Expired},
                 {"revoked", DetailKind::Revoked},
                 {"self_signed", DetailKind::UntrustedRoot},
                 {"qualified", DetailKind::Tampered}}; // no details at all
    for (const auto& c : cases) {
        SCOPED_TRACE(c.signer);
        ShownWindow shown(Container(c.signer));
        ASSERT_TRUE(WaitForFinalReport(shown));
        Pump(100);
        const ValidationReport* report = shown.window.FinishedReport();
        ASSERT_NE(nullptr, report);
        const auto details = DetailsOf(*report);
        const HWND box = shown.window.Pane().DetailsBox();
        const bool qualified = std::string(c.signer) == "qualified";
        EXPECT_EQ(!qualified, ::IsWindowVisible(box) != FALSE);
        EXPECT_TRUE(shown.window.Commands().IsEnabled(ID_ACTION_SAVE_REPORT));
        EXPECT_TRUE(shown.window.Commands().IsEnabled(ID_ACTION_CERTIFICATE_PATH));
        EXPECT_TRUE(shown.window.Commands().IsEnabled(ID_ACTION_ADD_SIGNATURE));
        if (qualified) {
            EXPECT_TRUE(details.empty());
            continue;
        }
        ASSERT_FALSE(details.empty());
        EXPECT_EQ(c.kind, details[0].kind);
        // The box says it all, in the words the report renders to.
        const std::wstring shown_text = TestSupport::WindowText(box);
        for (const ReportDetail& detail : details) {
            const DetailText text = DetailTextOf(detail);
            for (const std::wstring& part : {text.title, text.text, text.advice}) {
                EXPECT_NE(std::wstring::npos, shown_text.find(part)) << TestSupport::Narrow(part);
            }
        }
        // A report of the same file made apart names the same facts.
        const auto apart = DetailsOf(BuildValidationReport(Container(c.signer)));
        ASSERT_EQ(details.size(), apart.size());
        EXPECT_EQ(details[0].facts[0], apart[0].facts[0]);
        SaveScreenshot(shown.Handle(), L"details_" + TestSupport::Widen(c.signer));
    }
}

TEST_F(DetailsTest, CertificatePathShowsEachCertificateWithItsStatus) {
    ShownWindow shown(Container("revoked"));
    ASSERT_TRUE(WaitForFinalReport(shown));
    const ValidationReport& report = *shown.window.FinishedReport();
    ASSERT_EQ(3u, report.Selected().chain.size());
    std::vector<std::wstring> rows;
    std::wstring status;
    DialogWatcher watcher({L"Certificate Path"}, [&](HWND dialog) {
        if (!TestSupport::ChildById(dialog, IDC_PATH_TREE)) {
            ::PostMessageW(dialog, WM_CLOSE, 0, 0);
            return;
        }
        rows = TreeTexts(TestSupport::ChildById(dialog, IDC_PATH_TREE));
        status = TestSupport::WindowText(TestSupport::ChildById(dialog, IDC_PATH_STATUS));
        SaveScreenshot(dialog, L"certificate_path_revoked");
        ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    ::SendMessageW(shown.Handle(), WM_COMMAND, ID_ACTION_CERTIFICATE_PATH, 0);
    // Root at the top, signer at the bottom and chosen; only the signer is marked.
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ(report.Selected().chain[2].name, rows[0]);
    EXPECT_EQ(report.Selected().chain[1].name, rows[1]);
    EXPECT_NE(std::wstring::npos, rows[2].find(report.Selected().chain[0].name));
    EXPECT_NE(rows[2], report.Selected().chain[0].name);
    EXPECT_EQ(ChainElementStatusText(report.Selected().chain[0]), status);
    EXPECT_NE(std::wstring::npos, status.find(LocalizedListItem(IDS_DETAIL_CHAIN_WORDS, 0)));
}

TEST_F(DetailsTest, SaveReportWritesThePageNamedAfterTheContainer) {
    ShownWindow shown(Container("expired"));
    ASSERT_TRUE(WaitForFinalReport(shown));
    std::wstring proposed;
    const std::wstring target = *folder_ + L"\\saved.html";
    shown.window.chooseReportFile = [&](HWND, const std::wstring& name) {
        proposed = name;
        return target;
    };
    ::SendMessageW(shown.Handle(), WM_COMMAND, ID_ACTION_SAVE_REPORT, 0);
    EXPECT_EQ(*folder_ + L"\\expired.snx.html", proposed);
    const std::string html = TestSupport::ReadFileBytes(target);
    const auto details = DetailsOf(*shown.window.FinishedReport());
    ASSERT_FALSE(details.empty());
    EXPECT_NE(std::string::npos, html.find("<!DOCTYPE html>"));
    EXPECT_NE(std::string::npos, html.find(TestSupport::Narrow(DetailTextOf(details[0]).title)));
    EXPECT_NE(std::string::npos, html.find("readme.txt"));
    EXPECT_EQ(std::string::npos, html.find("<script"));

    // A file that cannot be written is said so, and nothing else happens.
    shown.window.chooseReportFile = [&](HWND, const std::wstring&) {
        return *folder_ + L"\\no such folder\\x.html";
    };
    DialogWatcher watcher({L"*"});
    ::SendMessageW(shown.Handle(), WM_COMMAND, ID_ACTION_SAVE_REPORT, 0);
    ASSERT_EQ(1u, watcher.Seen().size());
    EXPECT_NE(std::wstring::npos, watcher.Seen()[0].text.find(L"no such folder"));
}

} // namespace
