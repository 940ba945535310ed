// create without a dialog: the three kinds checked by OpenSSL and read back by verify, the
// certificate named by thumbprint, e-mail or common name, ambiguity and no match; operands
// the path rules refuse; certs.
#include <gtest/gtest.h>

#include "console/console_test_util.h"
#include "pki/store_scenario.h"

using namespace ConsoleTest;

namespace {

class CreateTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = TestSupport::MakeTempDir(L"create");
        ::CreateDirectoryW((dir_ + L"\\in").c_str(), nullptr);
        ::CreateDirectoryW((dir_ + L"\\in\\deep").c_str(), nullptr);
        TestSupport::WriteFileBytes(dir_ + L"\\in\\one.txt", "first file");
        TestSupport::WriteFileBytes(dir_ + L"\\in\\deep\\two.txt", "second file");
    }
    TestSupport::HostResult Host(const std::string& command) {
        return TestSupport::RunHostIn(dir_, command);
    }
    std::wstring dir_;
};

std::string Q(const std::string& path) {
    return TestSupport::ShellQuote(path);
}

TEST_F(CreateTest, ThreeKindsRoundTripThroughOpenSslAndVerify) {
    auto& pki = Kit();
    const std::string chain = Q(pki.UnixTrustedChainPath());
    const std::string recipient = " -recip " + Q(pki.UnixCertPath("recipient_ab")) + " -inkey " +
                                  Q(pki.UnixKeyPath("recipient_ab"));
    const std::string names =
        "python3 -c 'import zipfile,sys; z=zipfile.ZipFile(sys.argv[1]); "
        "print(sorted(z.namelist()), z.read(\"in/deep/two.txt\") if "
        "\"in/deep/two.txt\" in z.namelist() else z.read(\"in\\\\deep\\\\two.txt\"))' ";

    // Signed, by thumbprint.
    Outcome run = RunDossiq(L"create --sign " + Thumbprint("qualified") + L" -o s.snx in", dir_);
    ASSERT_EQ(0u, run.exitCode) << run.err;
    auto host = Host("openssl cms -verify -inform DER -in s.snx -CAfile " + chain +
                     " -out s.zip && " + names + "s.zip");
    EXPECT_EQ(0, host.exitCode) << host.output;
    EXPECT_NE(std::string::npos, host.output.find("second file")) << host.output;
    host = Host("openssl cms -cmsout -print -inform DER -in s.snx");
    EXPECT_NE(std::string::npos, host.output.find("sha256")) << host.output;

    // Encrypted, by the recipient's e-mail address.
    run = RunDossiq(L"create --encrypt-to recipient_ab@dossiq.test -o e.enx in", dir_);
    ASSERT_EQ(0u, run.exitCode) << run.err;
    host = Host("openssl cms -cmsout -print -inform DER -in e.enx");
    EXPECT_NE(std::string::npos, host.output.find("aes-256-cbc")) << host.output;
    host = Host("openssl cms -decrypt -inform DER -in e.enx" + recipient + " -out e.zip && " +
                names + "e.zip");
    EXPECT_EQ(0, host.exitCode) << host.output;
    EXPECT_NE(std::string::npos, host.output.find("second file")) << host.output;

    // Protected, the signer by e-mail, the recipient by its common name.
    run = RunDossiq(
        L"create --sign qualified@dossiq.test --encrypt-to \"Petar Petrovi\u0107\" -o p.pnx in",
        dir_);
    ASSERT_EQ(0u, run.exitCode) << run.err;
    host = Host("openssl cms -decrypt -inform DER -in p.pnx" + recipient +
                " -out p.der && python3 " + Q(TestSupport::UnixPath(TestSupport::SourceDir())) +
                "/tests/console/wrap_signed.py p.der p7.der && "
                "openssl cms -verify -inform DER -in p7.der -CAfile " +
                chain + " -out p.zip && " + names + "p.zip");
    EXPECT_EQ(0, host.exitCode) << host.output;
    EXPECT_NE(std::string::npos, host.output.find("second file")) << host.output;

    // And verify reads back each kind; an Encrypted Document has no signer to pass.
    run = RunDossiq(L"verify --json s.snx p.pnx e.enx", dir_);
    EXPECT_EQ(1u, run.exitCode) << run.err;
    const auto json = Flatten(run.outPath);
    EXPECT_EQ("\"signed\"", json.at("containers[0].kind"));
    EXPECT_EQ("\"passed\"", json.at("containers[0].verdict"));
    EXPECT_EQ("\"protected\"", json.at("containers[1].kind"));
    EXPECT_EQ("\"passed\"", json.at("containers[1].verdict"));
    EXPECT_EQ("\"encrypted\"", json.at("containers[2].kind"));
    EXPECT_EQ("\"unsigned\"", json.at("containers[2].verdict"));
    EXPECT_EQ("null", json.at("containers[2].signer"));
    EXPECT_EQ("2", json.at("containers[2].entries.length"));
    EXPECT_EQ(0u, RunDossiq(L"verify s.snx p.pnx", dir_).exitCode);

    // An existing output is kept unless asked.
    const std::string before = TestSupport::ReadFileBytes(dir_ + L"\\s.snx");
    run = RunDossiq(L"create --sign " + Thumbprint("qualified") + L" -o s.snx in\\one.txt", dir_);
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_EQ(before, TestSupport::ReadFileBytes(dir_ + L"\\s.snx"));
    run = RunDossiq(
        L"create --overwrite --sign " + Thumbprint("qualified") + L" -o s.snx in\\one.txt", dir_);
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_NE(before, TestSupport::ReadFileBytes(dir_ + L"\\s.snx"));
}

TEST_F(CreateTest, AFileOpenElsewhereWithoutSharingStopsCreateAndIsNamed) {
    Kit();
    const std::wstring held = dir_ + L"\\in\\deep\\two.txt";
    HANDLE holder =
        ::CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    const Outcome run =
        RunDossiq(L"create --sign " + Thumbprint("qualified") + L" -o x.snx in", dir_);
    ::CloseHandle(holder);
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_NE(std::string::npos, run.err.find("cannot read " + TestSupport::Narrow(held)))
        << run.err;
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW((dir_ + L"\\x.snx").c_str()));
}

TEST_F(CreateTest, AmbiguousAndUnknownCertificatesListTheCandidates) {
    Kit();
    // Several qualified signers carry this common name.
    Outcome run = RunDossiq(L"create --sign \"marko markovi\u0107 1234567\" -o x.snx in", dir_);
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_NE(std::string::npos, run.err.find("matches several")) << run.err;
    EXPECT_NE(std::string::npos, run.err.find(TestSupport::Narrow(Thumbprint("qualified"))));
    EXPECT_NE(std::string::npos,
              run.err.find(TestSupport::Narrow(Thumbprint("qualified_reversed"))));

    run = RunDossiq(L"create --sign nobody@nowhere.test -o x.snx in", dir_);
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_NE(std::string::npos, run.err.find("no signing certificate matches")) << run.err;
    EXPECT_NE(std::string::npos, run.err.find(TestSupport::Narrow(Thumbprint("qualified"))));
    // Not a signing candidate, even by its exact thumbprint.
    run = RunDossiq(L"create --sign " + Thumbprint("no_qc") + L" -o x.snx in", dir_);
    EXPECT_EQ(2u, run.exitCode);
    // Lacks key encipherment: refused by name.
    run = RunDossiq(L"create --encrypt-to recipient_no_ke@dossiq.test -o x.enx in", dir_);
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_NE(std::string::npos,
              run.err.find("<recipient_no_ke@dossiq.test>\" is not meant for key encipherment"))
        << run.err;
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW((dir_ + L"\\x.snx").c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW((dir_ + L"\\x.enx").c_str()));

    // certs names the candidates and why the others are not offered.
    run = RunDossiq(L"certs", dir_);
    EXPECT_EQ(0u, run.exitCode) << run.err;
    const size_t recipients = run.out.find("Recipients");
    const size_t others = run.out.find("Not offered");
    ASSERT_NE(std::string::npos, others);
    const std::string q = TestSupport::Narrow(Thumbprint("qualified"));
    EXPECT_LT(run.out.find(q), recipients);
    EXPECT_GT(run.out.find(TestSupport::Narrow(Thumbprint("recipient_tp"))), recipients);
    const size_t noQc = run.out.find(TestSupport::Narrow(Thumbprint("no_qc")), others);
    ASSERT_NE(std::string::npos, noQc);
    EXPECT_EQ(run.out.find("fails: qcStatements\r\n", noQc), run.out.find("fails:", noQc))
        << run.out.substr(noQc, 200);
}

// A part of a name chooses nobody ("alice" is not "Malice Ltd"); the whole one does, and the
// choice is named before anything is written.
TEST_F(CreateTest, APartOfANameChoosesNobodyAndTheChoiceIsNamed) {
    Kit();
    const std::string petar = TestSupport::Narrow(Thumbprint("recipient_ab"));
    Outcome run = RunDossiq(L"create --encrypt-to Petar -o x.enx in", dir_);
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_NE(std::string::npos, run.err.find("no recipient certificate matches")) << run.err;
    EXPECT_NE(std::string::npos, run.err.find(petar)) << run.err;
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW((dir_ + L"\\x.enx").c_str()));
    run = RunDossiq(L"create --encrypt-to \"petar petrovi\u0107\" -o x.enx in", dir_);
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_NE(std::string::npos, run.err.find("encrypting for " + petar)) << run.err;
}

// Operands Windows names but the path rules refuse end in a message naming them, not a crash.
TEST_F(CreateTest, OperandsThePathRulesRefuseAreNamed) {
    Kit();
    TestSupport::WriteFileBytes(dir_ + L"\\in\\a.pdf", "pdf");
    // Wine keeps a stream name as a file beside the file.
    TestSupport::WriteFileBytes(dir_ + L"\\in\\a.pdf:Zone.Identifier", "[ZoneTransfer]");
    std::wstring deep = L"\\\\?\\" + dir_ + L"\\in";
    while (deep.size() < 270) {
        deep += L"\\" + std::wstring(40, L'd');
        ::CreateDirectoryW(deep.c_str(), nullptr);
    }
    deep += L"\\long.txt";
    TestSupport::WriteFileBytes(deep, "long");
    for (const std::wstring& operand : {dir_ + L"\\in\\a.pdf:Zone.Identifier", deep}) {
        const Outcome run = RunDossiq(
            L"create --encrypt-to recipient_ab@dossiq.test -o x.enx " + Quote(operand), dir_);
        EXPECT_EQ(2u, run.exitCode) << run.err;
        EXPECT_NE(std::string::npos, run.err.find(TestSupport::Narrow(operand))) << run.err;
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW((dir_ + L"\\x.enx").c_str()));
    }
}

// An expired, a revoked and an untrusted recipient: nothing is written unless the warning is
// accepted on the command line; then the warning is still printed and the recipient's key
// opens the container.
TEST_F(CreateTest, RecipientWarningsStopUnlessAccepted) {
    auto& pki = Kit();
    const char* const recipients[] = {"recipient_expired", "recipient_revoked",
                                      "recipient_untrusted"};
    const char* const reasons[] = {"has expired or is not valid yet",
                                   "has been revoked by its issuer",
                                   "does not lead to a trusted root"};
    TestPki::StoreScenario stores({}, {recipients[0], recipients[1], recipients[2]}, {});
    for (int i = 0; i < 3; ++i) {
        const std::string name = recipients[i];
        const std::wstring command = L"create --encrypt-to " + TestSupport::Widen(name) +
                                     L"@dossiq.test -o " + TestSupport::Widen(name) + L".enx in";
        Outcome run = RunDossiq(command, dir_);
        EXPECT_EQ(1u, run.exitCode) << name;
        EXPECT_NE(std::string::npos, run.err.find(name + "@dossiq.test>\" " + reasons[i]))
            << run.err;
        EXPECT_NE(std::string::npos, run.err.find("--accept-recipient-warnings")) << run.err;
        EXPECT_EQ(
            INVALID_FILE_ATTRIBUTES,
            ::GetFileAttributesW((dir_ + L"\\" + TestSupport::Widen(name) + L".enx").c_str()));

        run = RunDossiq(L"create --accept-recipient-warnings " + command.substr(7), dir_);
        EXPECT_EQ(0u, run.exitCode) << run.err;
        EXPECT_EQ(0u, run.err.find("warning: ")) << run.err;
        EXPECT_NE(std::string::npos, run.err.find(reasons[i])) << run.err;
        const auto host = Host("openssl cms -decrypt -inform DER -in " + name + ".enx -recip " +
                               Q(pki.UnixCertPath(name)) + " -inkey " + Q(pki.UnixKeyPath(name)) +
                               " -out " + name + ".zip");
        EXPECT_EQ(0, host.exitCode) << host.output;
    }
}

// Several --encrypt-to: each recipient's own key opens the document; one refused among them
// writes nothing.
TEST_F(CreateTest, SeveralRecipientsEachOpenItAndOneRefusedWritesNothing) {
    auto& pki = Kit();
    Outcome run = RunDossiq(L"create --encrypt-to recipient_ab@dossiq.test --encrypt-to "
                            L"recipient_tp@dossiq.test --encrypt-to recipient_ab@dossiq.test "
                            L"-o two.enx in",
                            dir_);
    ASSERT_EQ(0u, run.exitCode) << run.err;
    for (const char* name : {"recipient_ab", "recipient_tp"}) {
        EXPECT_NE(std::string::npos,
                  run.err.find("encrypting for " + TestSupport::Narrow(Thumbprint(name))))
            << run.err;
        const auto host = Host("openssl cms -decrypt -inform DER -in two.enx -recip " +
                               Q(pki.UnixCertPath(name)) + " -inkey " + Q(pki.UnixKeyPath(name)) +
                               " -out two.zip");
        EXPECT_EQ(0, host.exitCode) << name << "\n" << host.output;
    }
    // The recipient named twice is one RecipientInfo.
    const std::string printed = Host("openssl cms -cmsout -print -inform DER -in two.enx").output;
    size_t infos = 0;
    for (size_t at = printed.find("d.ktri:"); at != std::string::npos;
         at = printed.find("d.ktri:", at + 1)) {
        ++infos;
    }
    EXPECT_EQ(2u, infos) << printed;

    run = RunDossiq(L"create --encrypt-to recipient_ab@dossiq.test --encrypt-to "
                    L"recipient_no_ke@dossiq.test -o x.enx in",
                    dir_);
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_NE(std::string::npos, run.err.find("is not meant for key encipherment")) << run.err;
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW((dir_ + L"\\x.enx").c_str()));
}

// The sender opens what it sent only with --encrypt-for-me: through the signing certificate
// when it may encipher keys, else through its own encryption certificate of "My".
TEST_F(CreateTest, TheSenderOpensWhatItSentOnlyWhenAsked) {
    auto& pki = Kit();
    const struct {
        std::vector<std::string> my;
        const char* signer;
        bool forMe;
        const char* sender; // whose key is tried; null: nothing may be written
    } cases[] = {
        {{"ds_nr_ke"}, "ds_nr_ke", true, "ds_nr_ke"},
        {{"ds_nr_ke"}, "ds_nr_ke", false, "ds_nr_ke"},
        {{"qualified", "recipient_tp"}, "qualified", true, "recipient_tp"},
        {{"qualified", "recipient_tp"}, "qualified", false, "recipient_tp"},
        {{"qualified", "recipient_tp!nokey"}, "qualified", true, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.signer) + (c.forMe ? " for me" : ""));
        TestPki::StoreScenario stores(c.my, {"recipient_ab"}, {});
        ::DeleteFileW((dir_ + L"\\mine.pnx").c_str());
        const Outcome run = RunDossiq(L"create --sign " + Thumbprint(c.signer) +
                                          L" --encrypt-to recipient_ab@dossiq.test -o mine.pnx in" +
                                          (c.forMe ? L" --encrypt-for-me" : L""),
                                      dir_);
        if (!c.sender) {
            EXPECT_EQ(2u, run.exitCode);
            EXPECT_NE(std::string::npos, run.err.find("--encrypt-for-me: you have no certificate"))
                << run.err;
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES,
                      ::GetFileAttributesW((dir_ + L"\\mine.pnx").c_str()));
            continue;
        }
        ASSERT_EQ(0u, run.exitCode) << run.err;
        EXPECT_EQ(c.forMe,
                  run.err.find("encrypting for you too with " +
                               TestSupport::Narrow(Thumbprint(c.sender))) != std::string::npos)
            << run.err;
        const auto host = Host("openssl cms -decrypt -inform DER -in mine.pnx -recip " +
                               Q(pki.UnixCertPath(c.sender)) + " -inkey " +
                               Q(pki.UnixKeyPath(c.sender)) + " -out mine.der");
        EXPECT_EQ(c.forMe, host.exitCode == 0) << host.output;
    }
}

// The JSON names every recipient of an envelope, in its order, whether this user opens it or
// not: by subject when a store holds the certificate, else by issuer and serial.
TEST_F(CreateTest, TheJsonListsEveryRecipientAndWhichKeyOpenedIt) {
    Kit();
    ASSERT_EQ(0u, RunDossiq(L"create --encrypt-to recipient_ab@dossiq.test --encrypt-to "
                            L"recipient_tp@dossiq.test -o two.enx in",
                            dir_)
                      .exitCode);
    const struct {
        std::vector<std::string> my, addressBook, trustedPeople;
        const char* decoding;
        const char* yours[2];
        bool known[2];
    } cases[] = {
        {{"recipient_ab", "recipient_tp"},
         {},
         {},
         "\"notTampered\"",
         {"true", "false"},
         {true, true}},
        {{"recipient_tp"},
         {"recipient_ab"},
         {},
         "\"notTampered\"",
         {"false", "true"},
         {true, true}},
        {{}, {}, {"recipient_tp"}, "\"notForThisUser\"", {"false", "false"}, {false, true}},
    };
    std::string serials[2];
    for (const auto& c : cases) {
        SCOPED_TRACE(c.decoding + std::string(c.yours[0]) + c.yours[1]);
        TestPki::StoreScenario stores(c.my, c.addressBook, c.trustedPeople);
        const Outcome run = RunDossiq(L"verify --json two.enx", dir_);
        const auto json = Flatten(run.outPath);
        EXPECT_EQ(c.decoding, json.at("containers[0].decoding"));
        ASSERT_EQ("2", json.at("containers[0].recipients.length"));
        for (int i = 0; i < 2; ++i) {
            const std::string at = "containers[0].recipients[" + std::to_string(i) + "].";
            EXPECT_EQ(c.yours[i], json.at(at + "yours")) << i;
            EXPECT_EQ(c.known[i], json.at(at + "subject") != "null") << i;
            EXPECT_NE(std::string::npos, json.at(at + "issuer").find("Dossiq Test Qualified CA"));
            // Known or not, a recipient has the same serial.
            if (serials[i].empty()) {
                serials[i] = json.at(at + "serial");
            }
            EXPECT_EQ(serials[i], json.at(at + "serial")) << i;
        }
    }
}

} // namespace
