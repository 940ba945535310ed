// Long-term validation data kept at signing: the chains and CRLs fetched from the kit's
// loopback server after the timestamp, added outside the signature, and what happens when a
// CRL cannot be had under each mode.
#include <gtest/gtest.h>

#include "document/container/container_writer.h"
#include "document/container/der.h"
#include "document/container/message_builder.h"
#include "document/container/signer_attributes.h"
#include "document/document_test_util.h"
#include "document/timestamp/long_term_source.h"
#include "document/timestamp/signature_stamper.h"

using namespace Dossiq::Documents;

using namespace DocTest;
using TestSupport::Widen;

namespace {

// The bare SignedData of a Signed Document: ContentInfo's [0] content.
std::string BareSignedData(const std::string& container) {
    const BYTE* data = reinterpret_cast<const BYTE*>(container.data());
    Der::Reader outer(data, container.size());
    Der::Element info, field;
    EXPECT_TRUE(outer.Expect(Der::kSequence, info));
    Der::Reader fields(info);
    fields.Next(field);
    EXPECT_TRUE(fields.Expect(Der::kContext0, field));
    return std::string(reinterpret_cast<const char*>(field.content), field.length);
}

size_t Count(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

class LongTerm : public testing::Test {
protected:
    void SetUp() override {
        pki = &TestPki::Pki::Get();
        // Kept lists prove the signing time only when issued after the token.
        pki->PublishOnRequest(true);
        dir = TestSupport::MakeTempDir(L"lt");
        archive = Blob(RandomBytes(2000, 32));
    }
    void TearDown() override {
        pki->PublishOnRequest(false);
        TestSupport::RemoveTree(dir);
    }

    // Signs as `signer` with the kit's authority; `signature` gets the value the authority
    // was asked to stamp, `gap` what the source reported missing.
    bool Sign(const std::string& signer, LongTermMode mode, std::vector<BYTE>& signature,
              LongTermGap& gap, const std::wstring& name = L"lt.snx",
              const std::string& authorityName = "tsa") {
        const SignatureStamper authority =
            TimestampStamper(Widen(pki->BaseUrl() + "/tsa/" + authorityName), nullptr);
        const SignatureStamper stamper = [&](const std::vector<BYTE>& value) {
            signature = value;
            return authority(value);
        };
        const ValidationDataSource source = LongTermSource(mode, [&](const LongTermGap& told) {
            gap = told;
            return mode == LongTermMode::Optional;
        });
        MessageBlob message;
        const bool made = SignArchive(archive, pki->Certificate(signer).get(), kSignatureHashOid,
                                      message, stamper, source);
        return made && WriteContainer(message, dir + L"\\" + name);
    }

    TestPki::Pki* pki = nullptr;
    std::wstring dir;
    MessageBlob archive;
};

TEST_F(LongTerm, ChainsAndCrlsAreKeptOutsideTheSignature) {
    std::vector<BYTE> signature;
    LongTermGap gap{true, {L"not asked"}};
    ASSERT_TRUE(Sign("qualified", LongTermMode::Optional, signature, gap))
        << std::hex << ::GetLastError();
    EXPECT_TRUE(gap.noTimestamp) << "nothing was missing, nobody was asked";

    const std::string bare = BareSignedData(TestSupport::ReadFileBytes(dir + L"\\lt.snx"));
    EXPECT_EQ(signature,
              FirstSignatureValue(reinterpret_cast<const BYTE*>(bare.data()), bare.size()));
    // The kept CRLs alone prove every certificate of the signer's chain unrevoked.
    const auto verified = TestSupport::RunHostIn(
        dir, "openssl cms -verify -crl_check_all -inform DER -in lt.snx -CAfile " +
                 TestSupport::ShellQuote(pki->UnixTrustedChainPath()) +
                 " -out content.bin && openssl pkcs7 -inform DER -in lt.snx "
                 "-print_certs -noout");
    ASSERT_EQ(0, verified.exitCode) << verified.output;
    const std::string& printed = verified.output;
    // Root, issuing CA, signer and authority once each; the issuing CA's and the root's CRLs.
    EXPECT_EQ(4u, Count(printed, "subject=")) << printed;
    for (const char* name : {"Root CA", "Qualified CA", "TSA", "1234567"}) {
        EXPECT_NE(std::string::npos, printed.find(name)) << name;
    }
    EXPECT_EQ(2u, Count(printed, "Certificate Revocation List")) << printed;
}

// crl_dead's and tsa_crl_dead's CRL addresses are served by nothing, and nothing else fetches
// their issuer's CRL.
TEST_F(LongTerm, MissingCrlsAreNamedAndTheModeDecides) {
    const struct {
        LongTermMode mode;
        bool made;
    } cases[] = {{LongTermMode::Required, false}, {LongTermMode::Optional, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        std::vector<BYTE> signature;
        LongTermGap gap;
        ::SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(c.made, Sign("crl_dead", c.mode, signature, gap, L"lt.snx", "tsa_crl_dead"));
        if (!c.made) {
            EXPECT_EQ(static_cast<DWORD>(ERROR_CANCELLED), ::GetLastError());
        }
        EXPECT_FALSE(gap.noTimestamp);
        const std::vector<std::wstring> expected = {L"Marko Marković 1234567",
                                                    Widen("Dossiq Unchecked TSA " + pki->RunId())};
        EXPECT_EQ(expected, gap.certificates);
        EXPECT_NE(std::wstring::npos, LongTermGapText(gap).find(L"1234567, Dossiq Unchecked TSA"));
    }
}

} // namespace
