// verify --json over containers that OpenSSL makes with today's algorithms, and one whose
// signer identifier a relay pointed at another certificate of the same key: each reads as
// its peer judges it, or as unsupported naming the algorithm, never as tampered or locked.
#include <gtest/gtest.h>

#include "console/console_test_util.h"
#include "pki/store_scenario.h"
#include "document/report/report_details.h"
#include "document/report/report_builder.h"
#include "document/report/report_lines.h"
#include "resources/common/localized_ids.h"

using namespace ConsoleTest;
using namespace Dossiq::Documents;

TEST(PeerContainers, VerifyJsonJudgesWhatPeersMake) {
    Kit();
    const std::wstring dir = TestSupport::MakeTempDir(L"peers");
    const auto host = [&](const std::string& command) {
        const TestSupport::HostResult result = TestSupport::RunHostIn(dir, command);
        ASSERT_EQ(0, result.exitCode) << command << "\n" << result.output;
    };
    const auto sign = [](const std::string& signer, const std::string& options,
                         const std::string& out) {
        return "openssl cms -sign -binary -nodetach -outform DER -in archive.zip -signer " +
               TestSupport::ShellQuote(Kit().UnixCertPath(signer)) + " -inkey " +
               TestSupport::ShellQuote(Kit().UnixKeyPath(signer)) + " " + options + " -out " + out;
    };
    const std::string encrypt =
        "openssl cms -encrypt -aes256 -binary -outform DER -in archive.zip -recip " +
        TestSupport::ShellQuote(Kit().UnixCertPath("recipient_ab")) +
        " -keyopt rsa_padding_mode:oaep";
    host("python3 -c \"import zipfile; z = zipfile.ZipFile('archive.zip', 'w'); "
         "z.writestr('a.txt', 'alpha'); z.close()\"");
    host(sign("ec_p256", "-md sha256", "p256.snx"));
    host(sign("ec_p384", "-md sha384", "p384.snx"));
    host(sign("ec_p521", "-md sha512", "p521.snx"));
    host(sign("qualified", "-md sha256 -keyopt rsa_padding_mode:pss", "pss.snx"));
    host(encrypt + " -out oaep.enx");
    host(encrypt + " -keyopt rsa_oaep_md:sha256 -out oaep256.enx");
    host(encrypt + " -stream -out stream.enx");
    const Outcome made = RunDossiq(
        L"create --sign " + Thumbprint("qualified") + L" -o swapped.snx archive.zip", dir);
    ASSERT_EQ(0u, made.exitCode) << made.err;
    host("python3 " +
         TestSupport::ShellQuote(TestSupport::UnixPath(TestSupport::SourceDir() +
                                                       L"\\tests\\document\\peer_rewrite.py")) +
         " swap swapped.snx " + TestSupport::ShellQuote(Kit().UnixCertPath("qualified_twin")) +
         " swapped.snx");

    const Outcome run = RunDossiq(
        L"verify --json p256.snx p384.snx p521.snx pss.snx oaep.enx oaep256.enx swapped.snx "
        L"stream.enx",
        dir);
    EXPECT_EQ(1u, run.exitCode) << run.err;
    const auto json = Flatten(run.outPath);
    const struct {
        const char* verdict;
        const char* decoding;
        const char* algorithm;
    } expected[] = {
        {"\"passed\"", "\"notTampered\"", "null"},
        {"\"passed\"", "\"notTampered\"", "null"},
        // Wine's bcrypt has no P-521.
        {"\"unreadable\"", "\"unsupported\"", "\"1.3.132.0.35\""},
        {"\"passed\"", "\"notTampered\"", "null"},
        {"\"unsigned\"", "\"notTampered\"", "null"},
        {"\"unreadable\"", "\"unsupported\"", "\"1.2.840.113549.1.1.7\""},
        {"\"tampered\"", "\"tampered\"", "null"},
        {"\"unsigned\"", "\"notTampered\"", "null"},
    };
    ASSERT_EQ(std::to_string(std::size(expected)), Value(json, "containers.length"));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const std::string c = "containers[" + std::to_string(i) + "]";
        SCOPED_TRACE(Value(json, c + ".path"));
        EXPECT_EQ(expected[i].verdict, Value(json, c + ".verdict"));
        EXPECT_EQ(expected[i].decoding, Value(json, c + ".decoding"));
        EXPECT_EQ(expected[i].algorithm, Value(json, c + ".unsupportedAlgorithm"));
    }
    // The relayed container still names the certificate it presents; the checks are not run.
    EXPECT_EQ("\"skipped\"", Value(json, "containers[6].checks[0].status"));

    // What the manager, the page and the text report show in place of the tampered line.
    const Outcome text = RunDossiq(L"verify p521.snx oaep256.enx swapped.snx", dir);
    const struct {
        const wchar_t* file;
        DetailKind kind;
        const wchar_t* fact;
        UINT line; // the first report line, 0 for none
    } shown[] = {
        {L"p521.snx", DetailKind::UnsupportedAlgorithm, L"1.3.132.0.35", IDS_UNSUPPORTED_ALGORITHM},
        {L"oaep256.enx", DetailKind::UnsupportedAlgorithm, L"1.2.840.113549.1.1.7", 0},
        {L"swapped.snx", DetailKind::SignerMismatch, L"second certificate", ReportTexts{}.tampered},
    };
    for (const auto& c : shown) {
        SCOPED_TRACE(TestSupport::Narrow(c.file));
        const ValidationReport report = BuildValidationReport(dir + L"\\" + c.file);
        const std::vector<ReportDetail> details = DetailsOf(report);
        ASSERT_FALSE(details.empty());
        EXPECT_EQ(c.kind, details[0].kind);
        const DetailText detail = DetailTextOf(details[0]);
        EXPECT_NE(std::wstring::npos, detail.text.find(c.fact)) << TestSupport::Narrow(detail.text);
        EXPECT_NE(std::string::npos, text.out.find(TestSupport::Narrow(detail.title))) << text.out;
        const std::vector<ReportLine> lines = ReportLinesOf(report, ReportTexts{});
        EXPECT_EQ(c.line, lines.empty() ? 0u : lines[0].textId);
    }
    // list warns and extract refuses, in words of their own, naming the algorithm.
    const Outcome listed = RunDossiq(L"list p521.snx", dir);
    EXPECT_EQ(0u, listed.exitCode) << listed.err;
    const Outcome extracted = RunDossiq(L"extract p521.snx --to .", dir);
    EXPECT_EQ(1u, extracted.exitCode) << extracted.err;
    const Outcome locked = RunDossiq(L"list oaep256.enx", dir);
    EXPECT_EQ(1u, locked.exitCode) << locked.err;
    EXPECT_NE(std::string::npos, locked.err.find("1.2.840.113549.1.1.7")) << locked.err;
    for (const Outcome* outcome : {&listed, &extracted, &locked}) {
        EXPECT_NE(std::string::npos, outcome->err.find("not supported")) << outcome->err;
        EXPECT_EQ(std::string::npos, outcome->err.find("changed")) << outcome->err;
    }
    EXPECT_NE(std::string::npos, extracted.err.find("1.3.132.0.35")) << extracted.err;
    TestSupport::RemoveTree(dir);
}

// Of two recipients whose keys the user holds, the one named as opening the envelope is the
// one whose key did: here the first is wrapped with OAEP over SHA-256, which this platform
// cannot unwrap, and the second opens it. (OpenSSL sorts the recipients, which would put
// the longer OAEP one last.)
TEST(PeerContainers, TheRecipientNamedYoursIsTheOneWhoseKeyOpened) {
    Kit();
    const std::wstring dir = TestSupport::MakeTempDir(L"mixed");
    const auto cert = [](const char* name) {
        return TestSupport::ShellQuote(Kit().UnixCertPath(name));
    };
    const TestSupport::HostResult made = TestSupport::RunHostIn(
        dir, "printf alpha > a.txt && openssl cms -encrypt -aes256 -binary -outform DER -in "
             "a.txt -recip " +
                 cert("recipient_ab") +
                 " -keyopt rsa_padding_mode:oaep -keyopt rsa_oaep_md:sha256 -recip " +
                 cert("recipient_tp") + " -out sorted.enx && python3 " +
                 TestSupport::ShellQuote(TestSupport::UnixPath(
                     TestSupport::SourceDir() + L"\\tests\\document\\peer_rewrite.py")) +
                 " reverse sorted.enx - mixed.enx");
    ASSERT_EQ(0, made.exitCode) << made.output;
    TestPki::StoreScenario stores({"recipient_ab", "recipient_tp"}, {}, {});
    const auto json = Flatten(RunDossiq(L"verify --json mixed.enx", dir).outPath);
    EXPECT_EQ("\"notTampered\"", Value(json, "containers[0].decoding"));
    EXPECT_NE(std::string::npos,
              Value(json, "containers[0].recipients[0].subject").find("recipient_ab"));
    EXPECT_EQ("false", Value(json, "containers[0].recipients[0].yours"));
    EXPECT_EQ("true", Value(json, "containers[0].recipients[1].yours"));
}

// A countersignature is listed after the signatures, naming the one it countersigns, and
// judged as a signature: a sound one passes with it, a false one keeps the document from
// passing.
TEST(PeerContainers, CountersignaturesAreJudgedAsSignatures) {
    Kit();
    const std::wstring dir = TestSupport::MakeTempDir(L"counter");
    const auto quoted = [](const std::string& path) { return TestSupport::ShellQuote(path); };
    const std::string rewrite =
        "python3 " + quoted(TestSupport::UnixPath(TestSupport::SourceDir() +
                                                  L"\\tests\\document\\peer_rewrite.py"));
    const std::string by = quoted(Kit().UnixCertPath("qualified_others") + "," +
                                  Kit().UnixKeyPath("qualified_others"));
    const TestSupport::HostResult made = TestSupport::RunHostIn(
        dir, "printf alpha > a.txt && openssl cms -sign -binary -nodetach -outform DER -md sha256 "
             "-in a.txt -signer " +
                 quoted(Kit().UnixCertPath("qualified")) + " -inkey " +
                 quoted(Kit().UnixKeyPath("qualified")) + " -out one.snx && " + rewrite +
                 " countersign one.snx " + by + " good.snx && " + rewrite +
                 " countersign-wrong one.snx " + by + " false.snx");
    ASSERT_EQ(0, made.exitCode) << made.output;
    const auto json = Flatten(RunDossiq(L"verify --json good.snx false.snx", dir).outPath);
    const struct {
        const char* verdict;
        const char* counterDecoding;
    } expected[] = {{"\"passed\"", "\"notTampered\""}, {"\"tampered\"", "\"tampered\""}};
    for (size_t i = 0; i < std::size(expected); ++i) {
        const std::string c = "containers[" + std::to_string(i) + "]";
        SCOPED_TRACE(c);
        EXPECT_EQ(expected[i].verdict, Value(json, c + ".verdict"));
        ASSERT_EQ("2", Value(json, c + ".signatures.length"));
        EXPECT_EQ("null", Value(json, c + ".signatures[0].countersigns"));
        EXPECT_EQ("\"passed\"", Value(json, c + ".signatures[0].verdict"));
        EXPECT_EQ("0", Value(json, c + ".signatures[1].countersigns"));
        EXPECT_EQ(expected[i].counterDecoding, Value(json, c + ".signatures[1].decoding"));
    }
    EXPECT_NE(std::string::npos,
              Value(json, "containers[0].signatures[1].signer.subject").find("O=Dossiq"));
}
