// sign: a second signer added by Dossiq, verified by OpenSSL and by verify; the refusals
// leave the document as it was.
#include <gtest/gtest.h>

#include "console/console_test_util.h"
#include "foundation/handle.h"

using namespace ConsoleTest;

namespace {

TEST(SignTest, CoSignedByDossiqVerifiesEverySignerAndRefusalsLeaveItUnchanged) {
    const std::wstring dir = TestSupport::MakeTempDir(L"sign");
    ::CreateDirectoryW((dir + L"\\in").c_str(), nullptr);
    TestSupport::WriteFileBytes(dir + L"\\in\\one.txt", "first file");
    auto& pki = Kit();
    const std::wstring first = Thumbprint("qualified");
    const std::wstring second = Thumbprint("qualified_others");
    const std::wstring third = Thumbprint("qualified_reversed");
    ASSERT_EQ(0u, RunDossiq(L"create --sign " + first + L" -o s.snx in", dir).exitCode);
    ASSERT_EQ(0u, RunDossiq(L"create --sign " + first +
                                L" --encrypt-to recipient_ab@dossiq.test -o p.pnx in",
                            dir)
                      .exitCode);
    const std::string original = TestSupport::ReadFileBytes(dir + L"\\s.snx");

    // The second signature is stamped as a first one would be.
    const std::wstring tsa = TestSupport::Widen(pki.BaseUrl() + "/tsa/tsa");
    Outcome run = RunDossiq(
        L"sign s.snx --sign " + second + L" --timestamp required --timestamp-url " + tsa, dir);
    ASSERT_EQ(0u, run.exitCode) << run.err;
    const std::string cosigned = TestSupport::ReadFileBytes(dir + L"\\s.snx");
    const TestSupport::HostResult verified = TestSupport::RunHostIn(
        dir, "openssl cms -verify -inform DER -in s.snx -CAfile " +
                 TestSupport::ShellQuote(pki.UnixTrustedChainPath()) +
                 " -out /dev/null && openssl cms -cmsout -print -inform DER -in s.snx | grep -c "
                 "'signatureAlgorithm:'");
    EXPECT_EQ(0, verified.exitCode) << verified.output;
    EXPECT_NE(std::string::npos, verified.output.find("2\n")) << verified.output;
    run = RunDossiq(L"verify --json s.snx", dir);
    const auto json = Flatten(run.outPath);
    EXPECT_EQ("\"passed\"", Value(json, "containers[0].verdict"));
    EXPECT_EQ("2", Value(json, "containers[0].signatures.length"));
    EXPECT_EQ("null", Value(json, "containers[0].signatures[0].timestamp"));
    EXPECT_EQ("true", Value(json, "containers[0].signatures[1].timestamp.used"));

    // Refused: the same certificate again, a Protected Document, a file that cannot be
    // replaced (held open without sharing its deletion: the new file is written, its rename
    // fails).
    const struct {
        const wchar_t* file;
        const wchar_t* signer;
        bool held;
        DWORD exitCode;
        const char* message;
    } refusals[] = {{L"s.snx", second.c_str(), false, 1, "signed with this certificate before"},
                    {L"p.pnx", second.c_str(), false, 1, "Protected or Encrypted"},
                    {L"s.snx", third.c_str(), true, 2, "could not be written"}};
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(TestSupport::Narrow(refusal.file));
        const std::wstring path = dir + L"\\" + refusal.file;
        const std::string before = TestSupport::ReadFileBytes(path);
        MHFX::FileHandle holder;
        if (refusal.held) {
            holder.reset(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(holder);
        }
        run = RunDossiq(std::wstring(L"sign ") + refusal.file + L" --sign " + refusal.signer +
                            L" --timestamp off",
                        dir);
        holder.reset();
        EXPECT_EQ(refusal.exitCode, run.exitCode) << run.err;
        EXPECT_NE(std::string::npos, run.err.find(refusal.message)) << run.err;
        EXPECT_TRUE(before == TestSupport::ReadFileBytes(path));
    }
    // The first signer's SignerInfo, which ends the original, is kept as it was.
    EXPECT_NE(std::string::npos, cosigned.find(original.substr(original.size() - 400)));
    TestSupport::RemoveTree(dir);
}

} // namespace
