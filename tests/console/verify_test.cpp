// verify against the test PKI: the JSON report of each outcome, its exit codes, the text
// form, the manager's six lines following from the same report, and --jobs.
#include <gtest/gtest.h>

#include <cstdio>

#include "console/console_test_util.h"
#include "document/report/report_builder.h"
#include "document/report/report_lines.h"
#include "resources/common/localized_ids.h"

using namespace Dossiq::Documents;

using namespace ConsoleTest;

namespace {

const char* const kSigners[] = {"qualified", "expired", "revoked", "self_signed"};

class VerifyTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new std::wstring(TestSupport::MakeTempDir(L"verify"));
        for (const wchar_t* folder : {L"\\tree", L"\\tree\\sub", L"\\many", L"\\junk"}) {
            ::CreateDirectoryW((*dir_ + folder).c_str(), nullptr);
        }
        TestSupport::WriteFileBytes(*dir_ + L"\\tree\\a.txt", "alpha alpha alpha");
        TestSupport::WriteFileBytes(*dir_ + L"\\tree\\sub\\b.txt", "beta");
        for (const char* signer : kSigners) {
            const std::wstring name = TestSupport::Widen(signer);
            const Outcome run = RunDossiq(
                L"create --sign " + Thumbprint(signer) + L" -o " + name + L".snx tree", *dir_);
            ASSERT_EQ(0u, run.exitCode) << run.err;
        }
        // Another entry name inside the signed content: decodable, no longer what was signed.
        std::string bytes = TestSupport::ReadFileBytes(*dir_ + L"\\qualified.snx");
        const size_t at = bytes.find("a.txt");
        ASSERT_NE(std::string::npos, at);
        bytes[at] = 'c';
        TestSupport::WriteFileBytes(*dir_ + L"\\tampered.snx", bytes);
    }
    static void TearDownTestSuite() { delete dir_; }

    static std::wstring* dir_;
};

std::wstring* VerifyTest::dir_ = nullptr;

// A JSON string literal.
std::string J(const std::string& text) {
    std::string quoted(1, '"');
    quoted.append(text);
    quoted.push_back('"');
    return quoted;
}

// The manager's lines for the statuses the JSON gives.
std::vector<ReportLine> LinesFromJson(const std::map<std::string, std::string>& json,
                                      const std::string& container) {
    if (Value(json, container + ".decoding") == "\"tampered\"") {
        return ParsedReportLines(false, ReportTexts{});
    }
    const UINT ids[5][3] = {{IDS_VALIDITY_PASSED, IDS_VALIDITY_FAILED, IDS_VALIDITY_SKIPPED},
                            {IDS_CHAIN_PASSED, IDS_CHAIN_FAILED, IDS_CHAIN_SKIPPED},
                            {IDS_CRL_PASSED, IDS_CRL_FAILED, IDS_CRL_SKIPPED},
                            {IDS_REVOCATION_PASSED, IDS_REVOCATION_FAILED, IDS_REVOCATION_SKIPPED},
                            {IDS_QUALIFIED_PASSED, IDS_QUALIFIED_FAILED, IDS_QUALIFIED_SKIPPED}};
    std::vector<ReportLine> lines = {{ReportTexts{}.notTampered, ReportBlue, true}};
    for (int check = 0; check < 5; ++check) {
        const std::string status =
            Value(json, container + ".checks[" + std::to_string(check) + "].status");
        lines.push_back(status == "\"passed\""   ? ReportLine{ids[check][0], ReportBlue, true}
                        : status == "\"failed\"" ? ReportLine{ids[check][1], ReportRed, true}
                                                 : ReportLine{ids[check][2], ReportBlack, false});
    }
    return lines;
}

TEST_F(VerifyTest, JsonReportOfEachOutcomeAndTheManagersLinesAgree) {
    const Outcome run = RunDossiq(L"verify --json qualified.snx expired.snx revoked.snx "
                                  L"self_signed.snx tampered.snx",
                                  *dir_);
    EXPECT_EQ(1u, run.exitCode) << run.err;
    EXPECT_EQ("", run.err);
    const auto json = Flatten(run.outPath);
    EXPECT_EQ("\"dossiq-verify-1\"", Value(json, "format"));
    EXPECT_EQ("false", Value(json, "passed"));
    ASSERT_EQ("5", Value(json, "containers.length"));

    const struct {
        const char* verdict;
        const char* decoding;
        const char* statuses; // P passed, F failed, S skipped
    } expected[] = {{"passed", "notTampered", "PPPPP"},
                    {"failed", "notTampered", "FSSSS"},
                    {"failed", "notTampered", "PPPFS"},
                    {"failed", "notTampered", "PFSSS"},
                    {"tampered", "tampered", "SSSSS"}};
    const char* names[] = {"qualified", "expired", "revoked", "self_signed", "qualified"};
    for (int i = 0; i < 5; ++i) {
        const std::string c = "containers[" + std::to_string(i) + "]";
        SCOPED_TRACE(c);
        EXPECT_EQ(J(expected[i].verdict), Value(json, c + ".verdict"));
        EXPECT_EQ(J(expected[i].decoding), Value(json, c + ".decoding"));
        EXPECT_EQ("\"signed\"", Value(json, c + ".kind"));
        EXPECT_EQ(J(TestSupport::Narrow(Thumbprint(names[i]))),
                  Value(json, c + ".signer.thumbprint"));
        EXPECT_NE("<missing>", Value(json, c + ".checkedAt"));
        for (int check = 0; check < 5; ++check) {
            const std::string status =
                Value(json, c + ".checks[" + std::to_string(check) + "].status");
            const char want = expected[i].statuses[check];
            EXPECT_EQ(want == 'P'   ? "\"passed\""
                      : want == 'F' ? "\"failed\""
                                    : "\"skipped\"",
                      status)
                << "check " << check;
        }
        EXPECT_EQ("2", Value(json, c + ".entries.length"));
    }
    // The facts behind each outcome.
    EXPECT_EQ("\"qualified@dossiq.test\"", Value(json, "containers[0].signer.email"));
    EXPECT_EQ("\"tree\\\\a.txt\"", Value(json, "containers[0].entries[0].name"));
    EXPECT_EQ("17", Value(json, "containers[0].entries[0].size"));
    EXPECT_EQ("\"tree\\\\sub\\\\b.txt\"", Value(json, "containers[0].entries[1].name"));
    EXPECT_NE("null", Value(json, "containers[0].checks[2].crl.thisUpdate"));
    EXPECT_NE(std::string::npos,
              Value(json, "containers[0].checks[2].crl.url").find("issuing.crl"));
    EXPECT_EQ("\"online\"", Value(json, "containers[0].checks[2].evidence"));
    EXPECT_EQ("null", Value(json, "containers[0].checks[2].gap"));
    EXPECT_EQ("\"\"", Value(json, "containers[0].checks[1].reason"));
    EXPECT_EQ("\"NotTimeValid\"", Value(json, "containers[1].checks[0].chainStatus[0]"));
    EXPECT_NE(std::string::npos, Value(json, "containers[1].checks[0].reason").find("2020"));
    EXPECT_EQ("\"Revoked\"", Value(json, "containers[2].checks[3].chainStatus[0]"));
    EXPECT_NE("<missing>", Value(json, "containers[2].checks[3].revocation.date"));
    EXPECT_EQ("\"UntrustedRoot\"", Value(json, "containers[3].checks[1].chainStatus[0]"));

    // The manager reads the same report for the same files: its six lines follow.
    const wchar_t* files[] = {L"qualified", L"expired", L"revoked", L"self_signed", L"tampered"};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const ValidationReport report = BuildValidationReport(*dir_ + L"\\" + files[i] + L".snx");
        const auto lines = ReportLinesOf(report, ReportTexts{});
        const auto fromJson = LinesFromJson(json, "containers[" + std::to_string(i) + "]");
        ASSERT_EQ(fromJson.size(), lines.size());
        EXPECT_EQ(i == 4 ? 5u : 6u, lines.size());
        for (size_t line = 0; line < lines.size(); ++line) {
            EXPECT_EQ(fromJson[line].textId, lines[line].textId) << line;
            EXPECT_EQ(fromJson[line].colour, lines[line].colour) << line;
        }
    }
}

// Each run is a process of its own in the same prefix, which keeps its caches as a user's
// machine does: a revoked signer reads revoked every time, in either form.
TEST_F(VerifyTest, RevokedSignerReadsRevokedOnEveryRun) {
    for (int run = 0; run < 3; ++run) {
        SCOPED_TRACE(run);
        const Outcome text = RunDossiq(L"verify revoked.snx", *dir_);
        EXPECT_EQ(1u, text.exitCode) << text.out;
        const Outcome json = RunDossiq(L"verify --json revoked.snx", *dir_);
        EXPECT_EQ(1u, json.exitCode) << json.err;
        const auto values = Flatten(json.outPath);
        EXPECT_EQ("\"failed\"", Value(values, "containers[0].checks[3].status"));
        EXPECT_EQ("\"online\"", Value(values, "containers[0].checks[3].evidence"));
        EXPECT_EQ("\"keyCompromise\"", Value(values, "containers[0].checks[3].revocation.reason"));
    }
}

TEST_F(VerifyTest, ExitCodesAndTextForm) {
    const Outcome passed = RunDossiq(L"verify qualified.snx", *dir_);
    EXPECT_EQ(0u, passed.exitCode) << passed.err;
    EXPECT_EQ(0u, passed.out.rfind("passed", 0)) << passed.out;
    EXPECT_EQ(1u, std::count(passed.out.begin(), passed.out.end(), '\n'));

    const Outcome expired = RunDossiq(L"verify expired.snx", *dir_);
    EXPECT_EQ(1u, expired.exitCode);
    EXPECT_EQ(0u, expired.out.rfind("failed", 0)) << expired.out;
    EXPECT_NE(std::string::npos, expired.out.find("\n    validity: failed: NotTimeValid"))
        << expired.out;

    EXPECT_EQ(2u, RunDossiq(L"verify missing.snx", *dir_).exitCode);
    EXPECT_EQ(2u, RunDossiq(L"verify --jobs 0 qualified.snx", *dir_).exitCode);
    EXPECT_EQ(2u, RunDossiq(L"verify --bogus qualified.snx", *dir_).exitCode);
    EXPECT_EQ(2u, RunDossiq(L"frobnicate", *dir_).exitCode);
    for (const wchar_t* help : {L"verify --help", L"verify /?", L"/?", L"extract --help"}) {
        const Outcome run = RunDossiq(help, *dir_);
        EXPECT_EQ(0u, run.exitCode) << TestSupport::Narrow(help);
        EXPECT_NE(std::string::npos, run.out.find("Exit codes")) << TestSupport::Narrow(help);
    }
    // Garbage is unreadable, not a crash.
    TestSupport::WriteFileBytes(*dir_ + L"\\junk\\junk.snx", "not a container");
    const Outcome junk = RunDossiq(L"verify --json junk", *dir_);
    EXPECT_EQ(1u, junk.exitCode);
    EXPECT_EQ("\"unreadable\"", Value(Flatten(junk.outPath), "containers[0].decoding"));
}

// 200 small containers: four at a time gives the same reports, in the same order, as one.
TEST_F(VerifyTest, JobsGiveTheSameReportsInTheSameOrder) {
    const std::string bytes = TestSupport::ReadFileBytes(*dir_ + L"\\qualified.snx");
    const std::string other = TestSupport::ReadFileBytes(*dir_ + L"\\expired.snx");
    for (int i = 0; i < 200; ++i) {
        wchar_t name[64];
        swprintf(name, 64, L"\\many\\%03d.snx", i);
        TestSupport::WriteFileBytes(*dir_ + name, i % 50 == 7 ? other : bytes);
    }
    const Outcome four = RunDossiq(L"verify --json --jobs 4 many", *dir_);
    const Outcome one = RunDossiq(L"verify --json --jobs 1 many", *dir_);
    EXPECT_EQ(1u, four.exitCode) << four.err;
    EXPECT_EQ(1u, one.exitCode) << one.err;
    auto a = Flatten(four.outPath);
    auto b = Flatten(one.outPath);
    ASSERT_EQ("200", Value(a, "containers.length"));
    for (auto* values : {&a, &b}) {
        for (auto it = values->begin(); it != values->end();) {
            // Which worker fetched a list first decides whether the others read it from the cache.
            it = it->first.find("checkedAt") != std::string::npos ||
                         it->first.find("evidence") != std::string::npos
                     ? values->erase(it)
                     : ++it;
        }
    }
    for (const auto& [key, value] : a) {
        EXPECT_EQ(value, b[key]) << key;
    }
    EXPECT_EQ(a.size(), b.size());
    EXPECT_EQ("\"failed\"", Value(a, "containers[7].verdict"));
    EXPECT_EQ("\"passed\"", Value(a, "containers[8].verdict"));
}

// A measurement, not a check: run by hand with --gtest_also_run_disabled_tests
// --gtest_filter=*Throughput* (see benchmarks/CMakeLists.txt).
TEST_F(VerifyTest, DISABLED_Throughput) {
    const std::string bytes = TestSupport::ReadFileBytes(*dir_ + L"\\qualified.snx");
    ::CreateDirectoryW((*dir_ + L"\\bench").c_str(), nullptr);
    for (int i = 0; i < 200; ++i) {
        TestSupport::WriteFileBytes(*dir_ + L"\\bench\\" + std::to_wstring(i) + L".snx", bytes);
    }
    for (const wchar_t* jobs : {L"1", L"4", L"1", L"4"}) {
        const DWORD start = ::GetTickCount();
        const Outcome run =
            RunDossiq(L"verify --json --jobs " + std::wstring(jobs) + L" bench", *dir_);
        const DWORD elapsed = ::GetTickCount() - start;
        EXPECT_EQ(0u, run.exitCode);
        std::printf("--jobs %ls: 200 containers in %lu ms, %.1f containers/s\n", jobs, elapsed,
                    200000.0 / (elapsed ? elapsed : 1));
    }
}

} // namespace

// A Signed Document co-signed by OpenSSL: each signature is judged on its own, and the
// document passes only when every one does.
TEST_F(VerifyTest, EverySignatureOfACoSignedDocumentIsJudged) {
    const struct {
        const char* second;
        const char* verdict;
        const char* secondVerdict;
        const char* secondStatuses;
    } cases[] = {{"qualified_others", "passed", "passed", "PPPPP"},
                 {"revoked", "failed", "failed", "PPPFS"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.second);
        TestPki::Pki& kit = Kit();
        const TestSupport::HostResult signedByBoth = TestSupport::RunHostIn(
            *dir_, "openssl cms -resign -binary -inform DER -outform DER -md sha256 -in "
                   "qualified.snx -signer " +
                       TestSupport::ShellQuote(kit.UnixCertPath(c.second)) + " -inkey " +
                       TestSupport::ShellQuote(kit.UnixKeyPath(c.second)) + " -out both.snx");
        ASSERT_EQ(0, signedByBoth.exitCode) << signedByBoth.output;
        const Outcome run = RunDossiq(L"verify --json both.snx", *dir_);
        const auto json = Flatten(run.outPath);
        EXPECT_EQ(J(c.verdict), Value(json, "containers[0].verdict"));
        ASSERT_EQ("2", Value(json, "containers[0].signatures.length"));
        EXPECT_EQ(J("passed"), Value(json, "containers[0].signatures[0].verdict"));
        EXPECT_EQ(Value(json, "containers[0].signer.thumbprint"),
                  Value(json, "containers[0].signatures[0].signer.thumbprint"));
        EXPECT_EQ(J(c.secondVerdict), Value(json, "containers[0].signatures[1].verdict"));
        std::string statuses;
        for (int check = 0; check < 5; ++check) {
            const std::string status = Value(json, "containers[0].signatures[1].checks[" +
                                                       std::to_string(check) + "].status");
            statuses += status == J("passed") ? 'P' : status == J("failed") ? 'F' : 'S';
        }
        EXPECT_EQ(c.secondStatuses, statuses);
        const Outcome text = RunDossiq(L"verify both.snx", *dir_);
        EXPECT_NE(std::string::npos,
                  text.out.find("signature 2 of 2: " + std::string(c.secondVerdict)))
            << text.out;
    }
}
