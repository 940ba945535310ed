// create --long-term against the kit's loopback server, and the clock test: documents made
// today opened three years later with the CRL server stopped, in `verify --json` terms. The
// clock test makes a new kit for whatever runs after it; this file's tests run last of the
// program (GoogleTest runs the files here in reverse order of their names), since checks
// of the remade kit's revoked signer came out as partial chains under Wine.
#include <gtest/gtest.h>

#include "console/console_test_util.h"
#include "document/container/der.h"
#include "document/container/validation_data.h"

using namespace Dossiq::Documents;

using namespace ConsoleTest;
using TestSupport::ShellQuote;
using TestSupport::UnixPath;
using TestSupport::Widen;

namespace {

class LongTermCreate : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = TestSupport::MakeTempDir(L"ltc");
        // Kept lists prove the signing time only when issued after the token.
        Kit().PublishOnRequest(true);
        TestSupport::WriteFileBytes(dir_ + L"\\one.txt", "kept for long");
    }
    void TearDown() override {
        Kit().PublishOnRequest(false);
        TestSupport::RemoveTree(dir_);
    }

    Outcome Create(const std::string& signer, const std::wstring& output,
                   const std::wstring& options, const std::string& authority = "tsa") {
        return RunDossiq(L"create --sign " + Thumbprint(signer) + L" --timestamp-url " +
                             Widen(Kit().BaseUrl() + "/tsa/" + authority) + L" " + options +
                             L" -o " + output + L" one.txt",
                         dir_);
    }
    bool Exists(const std::wstring& name) const {
        return ::GetFileAttributesW((dir_ + L"\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    // verify --json of `name` three years from now, flattened.
    std::map<std::string, std::string> VerifyLater(const std::string& name) {
        const std::string program = UnixPath(TestSupport::BuildDir() + L"\\console\\dossiq.exe");
        const auto run = TestSupport::RunHostIn(
            dir_, "FAKETIME_DONT_FAKE_MONOTONIC=1 faketime '+3 years' wine " + ShellQuote(program) +
                      " verify --json " + name + " > " + name + ".json 2>/dev/null");
        EXPECT_NE(-1, run.exitCode) << run.output;
        return Flatten(dir_ + L"\\" + Widen(name) + L".json");
    }

    // A copy of Signed Document `from` whose SignedData also keeps `crls`.
    void KeepCrls(const std::wstring& from, const std::wstring& to,
                  const std::vector<std::string>& crls) {
        const std::string container = TestSupport::ReadFileBytes(dir_ + L"\\" + from);
        Der::Reader outer(reinterpret_cast<const BYTE*>(container.data()), container.size());
        Der::Element info, type, content;
        ASSERT_TRUE(outer.Expect(Der::kSequence, info));
        Der::Reader fields(info);
        ASSERT_TRUE(fields.Expect(Der::kOid, type) && fields.Expect(Der::kContext0, content));
        ValidationData data;
        for (const std::string& crl : crls) {
            data.crls.emplace_back(crl.begin(), crl.end());
        }
        const std::vector<BYTE> bare = WithValidationData(content.content, content.length, data);
        ASSERT_FALSE(bare.empty());
        std::vector<BYTE> body;
        Der::AppendElement(body, Der::kOid, Der::kOidSignedData);
        Der::AppendElement(body, Der::kContext0, bare);
        std::vector<BYTE> out;
        Der::AppendElement(out, Der::kSequence, body);
        TestSupport::WriteFileBytes(dir_ + L"\\" + to, std::string(out.begin(), out.end()));
    }

    std::wstring dir_;
};

// crl_dead's and tsa_crl_dead's CRL addresses are served by nothing, and nothing else
// fetches their issuer's list.
TEST_F(LongTermCreate, ModeDecidesWhenACrlCannotBeHad) {
    const struct {
        const wchar_t* options;
        DWORD exitCode;
        bool warned;
    } cases[] = {
        {L"--long-term required", 1, true},
        {L"", 0, true},
        {L"--long-term off", 0, false},
        {L"--long-term always", 2, false},
        {L"--timestamp off --long-term required", 1, false},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(n);
        const std::wstring name = L"c" + std::to_wstring(n++) + L".snx";
        const Outcome run = Create("crl_dead", name, c.options, "tsa_crl_dead");
        EXPECT_EQ(c.exitCode, run.exitCode) << run.err;
        EXPECT_EQ(c.exitCode == 0, Exists(name));
        EXPECT_EQ(c.warned,
                  run.err.find("Long-term validation data incomplete") != std::string::npos)
            << run.err;
        if (c.warned) {
            EXPECT_NE(std::string::npos, run.err.find("1234567, Dossiq Unchecked TSA")) << run.err;
        }
    }
}

// Made today, opened three years on with the CRL server stopped: the signer's certificate
// has expired and no list can be fetched. Without kept CRLs, and with kept CRLs of someone
// else, nothing speaks for the authority's status at the signing time either, so the token
// is not used, the expired certificate fails, and the details say why.
TEST_F(LongTermCreate, YearsLaterWithoutUsableKeptCrlsNothingSpeaksForTheSigningTime) {
    ASSERT_EQ(0u,
              Create("crl_late", L"plain.snx", L"--timestamp required --long-term off").exitCode);
    std::string forged = TestSupport::ReadFileBytes(Kit().Dir() + L"\\issuing.crl");
    forged[forged.size() - 5] ^= 0x01; // its signature
    KeepCrls(L"plain.snx", L"foreign.snx",
             {forged, TestSupport::ReadFileBytes(Kit().Dir() + L"\\orphan_ca.crl")});
    Kit().StopCrlServer();
    for (const char* name : {"plain.snx", "foreign.snx"}) {
        SCOPED_TRACE(name);
        const auto json = VerifyLater(name);
        EXPECT_EQ("\"failed\"", Value(json, "containers[0].verdict"));
        EXPECT_EQ("false", Value(json, "containers[0].timestamp.used"));
        EXPECT_EQ("\"authorityStatusUnknown\"", Value(json, "containers[0].timestamp.problem"));
        EXPECT_EQ("\"failed\"", Value(json, "containers[0].checks[0].status"));
    }
    // Later tests get a kit with a running server again.
    TestPki::Pki::Shutdown();
}

// Made today with a timestamp and long-term data, opened three years on with the CRL server
// stopped: the kept CRLs and OCSP responses, all issued after the token, decide. The signer's
// own CRL lists "revoked" from before the proven signing time, so that document fails the
// revocation check.
TEST_F(LongTermCreate, YearsLaterKeptCrlsDecideOffline) {
    ASSERT_EQ(0u,
              Create("crl_late", L"lt.snx", L"--timestamp required --long-term required").exitCode);
    ASSERT_EQ(
        0u,
        Create("revoked", L"revoked.snx", L"--timestamp required --long-term required").exitCode);
    ASSERT_EQ(
        0u,
        Create("ocsp_signer", L"ocsp.snx", L"--timestamp required --long-term required").exitCode);
    Kit().StopCrlServer();
    const struct {
        const char* name;
        const char* verdict;
        const char* statuses[5];
    } cases[] = {
        {"lt.snx", "passed", {"passed", "passed", "passed", "passed", "passed"}},
        {"revoked.snx", "failed", {"passed", "passed", "passed", "failed", "skipped"}},
        {"ocsp.snx", "passed", {"passed", "passed", "passed", "passed", "passed"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto json = VerifyLater(c.name);
        EXPECT_EQ(std::string("\"") + c.verdict + "\"", Value(json, "containers[0].verdict"));
        EXPECT_EQ("true", Value(json, "containers[0].timestamp.used"));
        EXPECT_EQ(std::string(c.name) == "ocsp.snx" ? "\"ocsp\"" : "\"crl\"",
                  Value(json, "containers[0].checks[2].kind"));
        for (int i = 0; i < 5; ++i) {
            const std::string check = "containers[0].checks[" + std::to_string(i) + "]";
            EXPECT_EQ(std::string("\"") + c.statuses[i] + "\"", Value(json, check + ".status"))
                << check << " " << Value(json, check + ".reason");
        }
    }
    TestPki::Pki::Shutdown();
}

} // namespace

// A CRL-only chain signed before its CAs publish again: the data kept at signing is
// incomplete and proves nothing three years on. Once the CAs have published, extend adds
// lists issued after the token, and the same document passes offline. A Protected Document
// is left as it was.
TEST_F(LongTermCreate, ExtendAddsWhatTheIssuersPublishedAfterTheToken) {
    Kit().PublishOnRequest(false);
    ::Sleep(1500); // the served lists, made with the kit, must be older than the token's second
    const Outcome made = Create("crl_late", L"lt.snx", L"--timestamp required");
    ASSERT_EQ(0u, made.exitCode) << made.err;
    EXPECT_NE(std::string::npos, made.err.find("Long-term validation data incomplete")) << made.err;
    EXPECT_NE(std::string::npos, made.err.find("next lists are due by")) << made.err;
    ASSERT_EQ(0u, Create("crl_late", L"lt.pnx",
                         L"--encrypt-to recipient_ab@dossiq.test --timestamp required")
                      .exitCode);
    const std::string protectedBytes = TestSupport::ReadFileBytes(dir_ + L"\\lt.pnx");
    const Outcome early = RunDossiq(L"extend lt.snx", dir_);
    EXPECT_EQ(1u, early.exitCode) << early.out << early.err;
    EXPECT_NE(std::string::npos, early.out.find("incomplete")) << early.out;

    Kit().PublishOnRequest(true);
    const Outcome extended = RunDossiq(L"extend lt.snx lt.pnx", dir_);
    EXPECT_EQ(1u, extended.exitCode) << extended.out << extended.err;
    EXPECT_NE(std::string::npos, extended.out.find("extended")) << extended.out;
    EXPECT_NE(std::string::npos, extended.err.find("left unchanged")) << extended.err;
    EXPECT_EQ(protectedBytes, TestSupport::ReadFileBytes(dir_ + L"\\lt.pnx"));
    const Outcome again = RunDossiq(L"extend lt.snx", dir_);
    EXPECT_EQ(0u, again.exitCode) << again.out << again.err;

    Kit().StopCrlServer();
    const auto json = VerifyLater("lt.snx");
    EXPECT_EQ("\"passed\"", Value(json, "containers[0].verdict"));
    EXPECT_EQ("\"container\"", Value(json, "containers[0].checks[2].evidence"));
    TestPki::Pki::Shutdown();
}

// crl_dead's own address answers nothing, as when a user is offline or the address is
// blocked; the sender keeps beside the signature an authentic list of its CA. None of these
// may let it pass: one made before the signing time (it cannot know of a revocation since),
// a delta, one for CA certificates only, one with an unknown critical extension. A complete
// list issued after the token does.
TEST_F(LongTermCreate, HostileKeptListsDoNotSpeakForTheSigner) {
    ASSERT_EQ(0u, Create("crl_dead", L"d.snx", L"--timestamp required --long-term off").exitCode);
    const std::string out = Kit().UnixDir() + "/hostile.crl";
    const struct {
        const char* options;
        const char* verdict;
    } cases[] = {
        {"-86400 2592000", "failed"},
        {"+5 2592000 --number 5001 --delta 5000", "failed"},
        {"+5 2592000 --scope ca", "failed"},
        {"+5 2592000 --critical-unknown list", "failed"},
        {"+5 2592000", "passed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const auto made = TestSupport::RunHost(
            "python3 " + ShellQuote(UnixPath(TestSupport::SourceDir())) +
            "/tests/pki/make_crl.py " + ShellQuote(Kit().UnixCertPath("issuing")) + " " +
            ShellQuote(Kit().UnixKeyPath("issuing")) + " " + ShellQuote(out) + " " + c.options);
        ASSERT_EQ(0, made.exitCode) << made.output;
        KeepCrls(L"d.snx", L"h.snx", {TestSupport::ReadFileBytes(TestSupport::WindowsPath(out))});
        const auto json = Flatten(RunDossiq(L"verify --json h.snx", dir_).outPath);
        EXPECT_EQ(std::string("\"") + c.verdict + "\"", Value(json, "containers[0].verdict"))
            << Value(json, "containers[0].checks[2].reason");
    }
}

// ocsp_signer and ocsp_revoked name no CRL address, only the kit's responder: its answer
// decides, online.
TEST_F(LongTermCreate, ResponderDecidesForACaThatOffersOnlyOcsp) {
    const struct {
        const char* signer;
        const char* verdict;
        const char* revocation;
    } cases[] = {{"ocsp_signer", "passed", "passed"}, {"ocsp_revoked", "failed", "failed"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.signer);
        ASSERT_EQ(0u,
                  Create(c.signer, L"o.snx", L"--timestamp required --long-term off --overwrite")
                      .exitCode);
        const auto json = Flatten(RunDossiq(L"verify --json o.snx", dir_).outPath);
        EXPECT_EQ(std::string("\"") + c.verdict + "\"", Value(json, "containers[0].verdict"));
        EXPECT_EQ(std::string("\"") + c.revocation + "\"",
                  Value(json, "containers[0].checks[3].status"));
        EXPECT_EQ("\"ocsp\"", Value(json, "containers[0].checks[2].kind"));
        EXPECT_EQ("\"online\"", Value(json, "containers[0].checks[2].evidence"));
    }
}
