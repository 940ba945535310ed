// create --timestamp against the kit's loopback authority and a dead address, and verify of a
// stamped container with the clock moved past its signer's expiry.
#include <gtest/gtest.h>

#include "console/console_test_util.h"

using namespace ConsoleTest;
using TestSupport::ShellQuote;
using TestSupport::UnixPath;
using TestSupport::Widen;

namespace {

class TimestampCreate : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = TestSupport::MakeTempDir(L"stamp");
        TestSupport::WriteFileBytes(dir_ + L"\\one.txt", "stamped file");
        good_ = Widen(Kit().BaseUrl() + "/tsa/tsa");
        dead_ = Widen(Kit().DeadUrl() + "/tsa/tsa");
    }
    Outcome Create(const std::wstring& output, const std::wstring& options) {
        return RunDossiq(L"create --sign " + Thumbprint("qualified") + L" " + options + L" -o " +
                             output + L" one.txt",
                         dir_);
    }
    std::wstring dir_, good_, dead_;
};

TEST_F(TimestampCreate, UnreachableServiceFailsWhenRequiredAndWarnsWhenOptional) {
    Outcome run = Create(L"r.snx", L"--timestamp required --timestamp-url " + dead_);
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_NE(std::string::npos, run.err.find("could not be reached")) << run.err;
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW((dir_ + L"\\r.snx").c_str()));

    run = Create(L"o.snx", L"--timestamp-url " + dead_);
    ASSERT_EQ(0u, run.exitCode) << run.err;
    EXPECT_NE(std::string::npos, run.err.find("could not be reached")) << run.err;
    run = RunDossiq(L"verify --json o.snx", dir_);
    EXPECT_EQ(0u, run.exitCode) << run.out;
    EXPECT_EQ("null", Value(Flatten(run.outPath), "containers[0].timestamp"));

    EXPECT_EQ(2u, Create(L"m.snx", L"--timestamp sometimes").exitCode);
}

// The signer's certificate is good for two years; three years on, only the timestamp keeps
// the signature's checks passing.
TEST_F(TimestampCreate, StampedSignaturePassesAfterItsSignerExpired) {
    Kit().PublishOnRequest(true); // a list issued after the token is kept
    ASSERT_EQ(0u, Create(L"t.pnx", L"--encrypt-to recipient_ab@dossiq.test --timestamp required "
                                   L"--timestamp-url " +
                                       good_)
                      .exitCode);
    ASSERT_EQ(0u, Create(L"u.snx", L"--timestamp off --timestamp-url " + good_).exitCode);
    Outcome now = RunDossiq(L"verify --json t.pnx", dir_);
    ASSERT_EQ(0u, now.exitCode) << now.out;
    auto json = Flatten(now.outPath);
    EXPECT_EQ("true", Value(json, "containers[0].timestamp.used"));
    EXPECT_NE(std::string::npos, Value(json, "containers[0].timestamp.authority").find("TSA"));
    // The text and the saved page name the proven time: the line after the checks and a detail.
    const Outcome text = RunDossiq(L"verify --report t.html t.pnx", dir_);
    ASSERT_EQ(0u, text.exitCode) << text.out << text.err;
    const std::string page = TestSupport::ReadFileBytes(dir_ + L"\\t.html");
    for (const std::string& output : {text.out, page}) {
        EXPECT_NE(std::string::npos, output.find("Checked at the signing time ")) << output;
        EXPECT_NE(std::string::npos, output.find("Checked at the proven signing time")) << output;
        EXPECT_NE(std::string::npos, output.find("Dossiq Test TSA")) << output;
    }

    const std::string program = UnixPath(TestSupport::BuildDir() + L"\\console\\dossiq.exe");
    for (const char* name : {"t.pnx", "u.snx"}) {
        const auto later = TestSupport::RunHostIn(
            dir_,
            "FAKETIME_DONT_FAKE_MONOTONIC=1 faketime '+3 years' wine " + ShellQuote(program) +
                " verify --json " + name +
                " > later.json 2>/dev/null; "
                "python3 -c 'import json; c=json.load(open(\"later.json\"))[\"containers\"][0]; "
                "print(c[\"verdict\"], c[\"checks\"][0][\"status\"], c[\"checkedAt\"][:4])'");
        SCOPED_TRACE(name);
        const bool stamped = std::string(name) == "t.pnx";
        EXPECT_NE(std::string::npos, later.output.find(stamped ? "passed passed" : "failed failed"))
            << later.output;
    }
    Kit().PublishOnRequest(false);
}

} // namespace
