// Signature time-stamps with OpenSSL's `ts` as the authority: served over loopback HTTP at
// signing, or made at a chosen time (faketime) for the cases the report judges.
#include <gtest/gtest.h>

#include <algorithm>

#include "document/container/container_writer.h"
#include "document/container/message_builder.h"
#include "document/creation/archive_builder.h"
#include "document/document_test_util.h"
#include "document/report/report_details.h"
#include "document/report/report_builder.h"
#include "document/timestamp/signature_stamper.h"

using namespace Dossiq::Documents;

using namespace DocTest;
using MHFX::Security::Cryptography::X509::RevocationGap;
using MHFX::Security::Cryptography::X509::RevocationSource;
using MHFX::Security::Cryptography::X509::ValidationResult;
using TestSupport::ShellQuote;
using TestSupport::Widen;

namespace {

class Timestamps : public testing::Test {
protected:
    void SetUp() override {
        pki = &TestPki::Pki::Get();
        dir = TestSupport::MakeTempDir(L"ts");
        archive = Blob(RandomBytes(3000, 21));
    }
    void TearDown() override { TestSupport::RemoveTree(dir); }

    std::wstring Url(const std::string& section) const {
        return Widen(pki->BaseUrl() + "/tsa/" + section);
    }

    // A Signed Document by `signer` at `name`, stamped by `stamper`.
    std::wstring Sign(const std::string& signer, const SignatureStamper& stamper,
                      const std::wstring& name = L"signed.snx") {
        MessageBlob message;
        EXPECT_TRUE(SignArchive(archive, pki->Certificate(signer).get(), kSignatureHashOid, message,
                                stamper))
            << std::hex << ::GetLastError();
        const std::wstring path = dir + L"\\" + name;
        EXPECT_TRUE(WriteContainer(message, path));
        return path;
    }

    enum Alteration { Unaltered, OtherSignature, TimeChangedAfterSigning };

    // A token from `section` of the kit's authority at `when` (faketime's syntax), over the
    // signature (or other bytes), its time changed after it was signed or not. With
    // `resign`, its TSTInfo is signed again by "openssl cms -sign" with those options
    // (OpenSSL's own authority refuses some signers a test needs).
    SignatureStamper TokenAt(const std::string& section, const std::string& when,
                             Alteration alteration = Unaltered,
                             const std::string& digest = "-sha256",
                             const std::string& resign = "") {
        return [=, this](const std::vector<BYTE>& signature) {
            std::string data(signature.begin(), signature.end());
            if (alteration == OtherSignature) {
                data[0] ^= 1;
            }
            TestSupport::WriteFileBytes(dir + L"\\sig.bin", data);
            const std::string work = ShellQuote(TestSupport::UnixPath(dir));
            const auto made = TestSupport::RunHostIn(
                pki->Dir(),
                "openssl ts -query -data " + work + "/sig.bin " + digest + " -cert -out " + work +
                    "/q.tsq && faketime " + ShellQuote(when) +
                    " openssl ts -reply -config tsa.cnf -section " + section + " -queryfile " +
                    work + "/q.tsq -token_out -out " + work + "/token.der" +
                    (resign.empty()
                         ? ""
                         : " && openssl cms -verify -noverify -inform DER -in " + work +
                               "/token.der -out " + work +
                               "/tst.der && openssl cms -sign -binary -nodetach -md sha256 "
                               "-econtent_type 1.2.840.113549.1.9.16.1.4 -outform DER " +
                               resign + " -in " + work + "/tst.der -out " + work + "/token.der"));
            EXPECT_EQ(0, made.exitCode) << made.output;
            std::string token = TestSupport::ReadFileBytes(dir + L"\\token.der");
            const size_t year = token.find("20200601");
            if (alteration == TimeChangedAfterSigning && year != std::string::npos) {
                token[year + 3] = '1';
            }
            return std::vector<BYTE>(token.begin(), token.end());
        };
    }

    TestPki::Pki* pki = nullptr;
    std::wstring dir;
    MessageBlob archive;
};

TEST_F(Timestamps, TokenFromLoopbackAuthorityVerifiesInOpenSslAndIsUsed) {
    const std::wstring path = Sign("qualified", TimestampStamper(Url("tsa"), nullptr));
    Document document(path);
    ASSERT_TRUE(document.OpenOnce());
    ASSERT_FALSE(document.SignatureTimestamp().empty());
    const std::vector<BYTE>& signature = document.SignatureValue();
    TestSupport::WriteFileBytes(dir + L"\\sig.bin",
                                std::string(signature.begin(), signature.end()));
    const std::vector<BYTE>& token = document.SignatureTimestamp();
    TestSupport::WriteFileBytes(dir + L"\\token.der", std::string(token.begin(), token.end()));
    const std::string chain = ShellQuote(pki->UnixTrustedChainPath());
    for (const std::string& command :
         {"openssl ts -verify -token_in -in token.der -data sig.bin -CAfile " + chain +
              " -untrusted " + ShellQuote(pki->UnixCertPath("tsa")),
          "openssl cms -verify -inform DER -in signed.snx -CAfile " + chain +
              " -out content.bin"}) {
        const auto result = TestSupport::RunHostIn(dir, command);
        EXPECT_EQ(0, result.exitCode) << command << "\n" << result.output;
    }
    EXPECT_EQ(Bytes(archive), TestSupport::ReadFileBytes(dir + L"\\content.bin"));

    const ValidationReport report = BuildValidationReport(path);
    EXPECT_TRUE(report.Selected().timestamp.used);
    EXPECT_NE(std::wstring::npos, report.Selected().timestamp.authority.find(L"Dossiq Test TSA"));
    EXPECT_TRUE(HasPassed(report));
}

// Each case: the signer, the token (none, or its section, time and whether it is over this
// signature), then whether it is used and how the four checks before the qualified one end.
TEST_F(Timestamps, ChecksAreJudgedAtTheProvenTimeOnlyWithAValidToken) {
    struct Case {
        const char* signer;
        const char* section; // null: no token
        const char* when;
        Alteration alteration;
        bool used;
        TimestampProblem problem;
        ValidationResult result;
    } cases[] = {
        {"expired", nullptr, "", Unaltered, false, TimestampProblem::None,
         ValidationResult::CertificateNotValid},
        // Its issuer's current list need not name an expired certificate: no evidence.
        {"expired", "tsa", "2020-06-01 12:00:00", Unaltered, true, TimestampProblem::None,
         ValidationResult::RevocationUnavailable},
        {"expired", "tsa", "2020-06-01 12:00:00", OtherSignature, false,
         TimestampProblem::ImprintMismatch, ValidationResult::CertificateNotValid},
        {"expired", "tsa", "2020-06-01 12:00:00", TimeChangedAfterSigning, false,
         TimestampProblem::SignatureInvalid, ValidationResult::CertificateNotValid},
        {"expired", "tsa_untrusted", "2020-06-01 12:00:00", Unaltered, false,
         TimestampProblem::UntrustedAuthority, ValidationResult::CertificateNotValid},
        {"revoked", "tsa", "-2 hours", Unaltered, true, TimestampProblem::None,
         ValidationResult::ValidQualified},
        {"revoked", "tsa", "+3 minutes", Unaltered, true, TimestampProblem::None,
         ValidationResult::Revoked},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.signer) + " " + (c.section ? c.section : "-") + " " + c.when);
        const std::wstring path = Sign(
            c.signer, c.section ? TokenAt(c.section, c.when, c.alteration) : SignatureStamper());
        const ValidationReport report = BuildValidationReport(path);
        EXPECT_EQ(c.section != nullptr, report.Selected().timestamp.present);
        EXPECT_EQ(c.used, report.Selected().timestamp.used);
        EXPECT_EQ(c.problem, report.Selected().timestamp.problem);
        EXPECT_EQ(c.result, report.Selected().result);
        // A revocation after the proven time is still told.
        EXPECT_EQ(std::string(c.signer) == "revoked",
                  !report.Selected().revocation.revocationDate.empty());
    }
}

// The issuer's current list need not name an expired signer any more: a list kept in the
// container decides, when the issuer signed it, it speaks for the proven time and it was
// made before the certificate expired. Kept lists are made a day after the proven time.
TEST_F(Timestamps, KeptListSettlesAnExpiredSignersStatusAtTheProvenTime) {
    using R = ValidationResult;
    const std::string expired = pki->UnixCertPath("expired") + ",";
    const std::string scripts =
        ShellQuote(TestSupport::UnixPath(TestSupport::SourceDir())) + "/tests/pki/";
    const struct {
        const char* what;
        const char* ca; // null: nothing kept
        std::string entries;
        R result;
        const wchar_t* evidence;
    } cases[] = {
        {"nothing kept", nullptr, "", R::RevocationUnavailable, L""},
        {"not listed", "issuing", "", R::ValidQualified, L"container"},
        {"revoked after", "issuing", expired + "2020-09-01T00:00:00,keyCompromise",
         R::ValidQualified, L"container"},
        {"revoked before", "issuing", expired + "2020-03-01T00:00:00,keyCompromise", R::Revoked,
         L"container"},
        {"key invalid before", "issuing",
         expired + "2020-09-01T00:00:00,keyCompromise,2020-05-01T00:00:00", R::Revoked,
         L"container"},
        {"another CA's list", "orphan_ca", "", R::RevocationUnavailable, L""},
        {"made after it expired", "issuing", "", R::RevocationUnavailable, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::wstring path = Sign("expired", TokenAt("tsa", "2020-06-01 12:00:00"));
        if (c.ca) {
            const std::string work = ShellQuote(TestSupport::UnixPath(dir));
            const auto kept = TestSupport::RunHostIn(
                pki->Dir(), "python3 " + scripts + "make_crl.py " + c.ca + ".cert.pem " + c.ca +
                                ".key.pem " + work + "/kept.crl " +
                                (std::string(c.what) == "made after it expired"
                                     ? "-3600 86400"
                                     : "2020-06-02T00:00:00 2020-07-02T00:00:00") +
                                (c.entries.empty() ? "" : " --revoke " + c.entries) +
                                " && python3 " + scripts + "keep_crls.py " + work + "/signed.snx " +
                                work + "/kept.snx " + work + "/kept.crl");
            ASSERT_EQ(0, kept.exitCode) << kept.output;
            path = dir + L"\\kept.snx";
        }
        const ValidationReport report = BuildValidationReport(path);
        EXPECT_TRUE(report.Selected().timestamp.used);
        EXPECT_EQ(c.result, report.Selected().result);
        const auto& evidence = report.Selected().revocation;
        EXPECT_EQ(*c.evidence ? RevocationSource::Container : RevocationSource::None,
                  evidence.source);
        EXPECT_EQ(*c.evidence ? RevocationGap::None : RevocationGap::ExpiredNotCovered,
                  evidence.gap);
        const auto details = DetailsOf(report);
        const DetailKind told =
            *c.evidence ? DetailKind::CrlFromContainer : DetailKind::CrlExpiredNotCovered;
        EXPECT_TRUE(std::any_of(details.begin(), details.end(),
                                [&](const ReportDetail& d) { return d.kind == told; }));
    }
}

// Each token differs from the good one (the first) in one respect only; a token not used
// says why.
TEST_F(Timestamps, TokensAreUsedOnlyAsRfc3161Allows) {
    using P = TimestampProblem;
    auto by = [](const std::string& name) {
        return "-signer " + name + ".cert.pem -inkey " + name + ".key.pem";
    };
    const struct {
        const char* section;
        const char* when;
        const char* digest;
        std::string resign;
        TimestampProblem problem;
    } cases[] = {
        {"tsa", "-1 hour", "-sha256", "", P::None},
        {"tsa", "-1 hour", "-sha256", "-cades " + by("tsa"), P::None},
        {"tsa", "-1 hour", "-sha256", "-cades " + by("tsa") + " -keyopt rsa_padding_mode:pss",
         P::None},
        {"tsa", "-1 hour", "-sha256", "-cades " + by("tsa_ec"), P::None},
        {"tsa", "-1 hour", "-sha384", "", P::None},
        {"tsa", "-1 hour", "-sha512", "", P::None},
        {"tsa", "-1 hour", "-sha224", "", P::UnsupportedImprint},
        {"tsa", "+1 hour", "-sha256", "", P::FutureTime},
        {"tsa_sha1", "-1 hour", "-sha256", "", P::WeakAlgorithm},
        {"tsa", "-1 hour", "-sha256", by("tsa"), P::CertificateMismatch}, // no ESS attribute
        {"tsa", "-1 hour", "-sha256", "-cades " + by("tsa_two_usages"), P::NotTimestampAuthority},
        {"tsa", "-1 hour", "-sha256", "-cades " + by("tsa_not_critical"), P::NotTimestampAuthority},
        {"tsa_revoked", "+2 minutes", "-sha256", "", P::AuthorityRevoked},
        {"tsa_crl_dead", "-1 hour", "-sha256", "", P::AuthorityStatusUnknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.section) + " " + c.when + " " + c.digest + " " + c.resign);
        const ValidationReport report = BuildValidationReport(
            Sign("qualified", TokenAt(c.section, c.when, Unaltered, c.digest, c.resign)));
        EXPECT_EQ(c.problem == P::None, report.Selected().timestamp.used);
        EXPECT_EQ(c.problem, report.Selected().timestamp.problem);
        EXPECT_TRUE(HasPassed(report)); // the signer itself is good now
    }
}

TEST_F(Timestamps, ServiceWithoutAValidTokenLeavesSigningToTheUser) {
    // Replies to other requests, replayed: one over other data, one over this very signature
    // (asked for while it is being stamped: the signing time makes each signature new) but
    // with another request's nonce.
    TestSupport::WriteFileBytes(dir + L"\\other.bin", "other");
    auto replay = [&](const std::string& data) {
        const auto made = TestSupport::RunHostIn(
            dir, "openssl ts -query -data " + data + " -sha256 -cert -out o.tsq && cd " +
                     ShellQuote(pki->UnixDir()) +
                     " && openssl ts -reply -config tsa.cnf -section tsa -queryfile " +
                     ShellQuote(TestSupport::UnixPath(dir)) + "/o.tsq -out replay.tsr");
        EXPECT_EQ(0, made.exitCode) << made.output;
    };
    const struct {
        std::wstring url;
        std::string replayed;
        TimestampProblem problem;
    } services[] = {{Widen(pki->DeadUrl() + "/tsa/tsa"), "", TimestampProblem::Unreachable},
                    {Url("replay"), "other.bin", TimestampProblem::ImprintMismatch},
                    {Url("replay"), "this.bin", TimestampProblem::NonceMismatch}};
    for (const auto& service : services) {
        if (service.replayed == "other.bin") {
            replay(service.replayed);
        }
        for (const bool signWithout : {true, false}) {
            TimestampProblem told = TimestampProblem::None;
            const SignatureStamper asking = TimestampStamper(service.url, [&](TimestampProblem p) {
                told = p;
                return signWithout;
            });
            MessageBlob message;
            const bool made = SignArchive(
                archive, pki->Certificate("qualified").get(), kSignatureHashOid, message,
                [&](const std::vector<BYTE>& signature) {
                    if (service.replayed == "this.bin") {
                        TestSupport::WriteFileBytes(
                            dir + L"\\this.bin", std::string(signature.begin(), signature.end()));
                        replay(service.replayed);
                    }
                    return asking(signature);
                });
            EXPECT_EQ(service.problem, told);
            EXPECT_EQ(signWithout, made);
            if (!signWithout) {
                EXPECT_EQ(static_cast<DWORD>(ERROR_CANCELLED), ::GetLastError());
                continue;
            }
            ASSERT_TRUE(WriteContainer(message, dir + L"\\plain.snx"));
            Document document(dir + L"\\plain.snx");
            ASSERT_TRUE(document.OpenOnce());
            EXPECT_TRUE(document.IsSignatureValid());
            EXPECT_TRUE(document.SignatureTimestamp().empty());
        }
    }
}

} // namespace
