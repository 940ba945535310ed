// OCSP answers from `openssl ocsp` on the kit's loopback server (tests/pki/make_pki.sh,
// ocsp.sections): each section signs as another responder, or replays a saved answer.
#include <gtest/gtest.h>

#include <algorithm>

#include "certificates/revocation/ocsp_cert_id.h"
#include "certificates/revocation/ocsp_client.h"
#include "common/test_support.h"
#include "pki/test_pki.h"

using namespace MHFX::Security::Cryptography::X509;
using Status = OcspAnswer::Status;

namespace MHFX::Security::Cryptography::X509 {
void PrintTo(OcspProblem problem, std::ostream* out) {
    *out << TestSupport::Narrow(OcspProblemName(problem));
}
} // namespace MHFX::Security::Cryptography::X509

namespace {

std::wstring Responder(const std::string& section) {
    return TestSupport::Widen(TestPki::Pki::Get().BaseUrl() + "/ocsp/" + section);
}

OcspQuery Fresh() {
    return {::GetTickCount64() + 10000, false, {}};
}

size_t Posts(const std::string& section) {
    const std::string log = TestPki::Pki::Get().RequestLog();
    const std::string line = "POST /" + TestPki::Pki::Get().RunId() + "/ocsp/" + section + " ";
    size_t count = 0;
    for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) {
        ++count;
    }
    return count;
}

FILETIME Now() {
    FILETIME now = {};
    ::GetSystemTimeAsFileTime(&now);
    return now;
}

} // namespace

TEST(Ocsp, AnswersAreVerifiedForTheCertificateAsked) {
    TestPki::Pki& pki = TestPki::Pki::Get();
    const auto issuer = pki.LoadCertificate("issuing");
    const struct {
        const char* section;
        const char* certificate;
        bool verified;
        OcspProblem problem;
        Status status;
        int reason;
        bool current;
        bool needsCheck;
    } cases[] = {
        {"issuing", "qualified", true, OcspProblem::None, Status::Good, -1, true, false},
        {"issuing", "revoked", true, OcspProblem::None, Status::Revoked, 1, true, false},
        {"unknown", "qualified", true, OcspProblem::None, Status::Unknown, -1, true, false},
        {"orphan_ca", "qualified", false, OcspProblem::UnknownSigner, Status::Unknown, -1, false,
         false},
        {"ocsp_no_usage", "qualified", false, OcspProblem::NotAuthorized, Status::Unknown, -1,
         false, false},
        {"ocsp_responder", "revoked", true, OcspProblem::None, Status::Revoked, 1, true, false},
        {"ocsp_responder_check", "qualified", true, OcspProblem::None, Status::Good, -1, true,
         true},
        {"ocsp_responder_by_key", "qualified", true, OcspProblem::None, Status::Good, -1, true,
         false},
        {"stale", "qualified", true, OcspProblem::None, Status::Good, -1, false, false},
        {"early", "qualified", false, OcspProblem::ResponderNotValid, Status::Unknown, -1, false,
         false},
    };
    OcspClient client;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.section) + " " + c.certificate);
        const auto certificate = pki.LoadCertificate(c.certificate);
        const OcspResult result =
            client.Ask(Responder(c.section), certificate.get(), issuer.get(), Fresh());
        const OcspAnswer& answer = result.answer;
        EXPECT_EQ(c.verified, answer.verified);
        EXPECT_EQ(c.problem, answer.problem) << OcspProblemName(answer.problem);
        EXPECT_EQ(c.status, answer.status);
        EXPECT_EQ(c.reason, answer.reason);
        EXPECT_EQ(c.current, IsCurrent(answer, Now()));
        EXPECT_EQ(c.needsCheck, answer.responderNeedsCheck);
        EXPECT_EQ(c.verified && std::string(c.section).rfind("ocsp_responder", 0) == 0,
                  !answer.responderCertificate.empty());
        EXPECT_FALSE(answer.encoded.empty());
    }

    // An answer replayed for another request: its nonce is not this request's, and it names
    // another serial number than "revoked"'s. Kept in a container it needs no nonce.
    const auto qualified = pki.LoadCertificate("qualified");
    const OcspResult saved =
        client.Ask(Responder("issuing"), qualified.get(), issuer.get(), Fresh());
    ASSERT_TRUE(saved.answer.verified);
    TestSupport::WriteFileBytes(
        pki.Dir() + L"\\replay.ocsp",
        std::string(saved.answer.encoded.begin(), saved.answer.encoded.end()));
    EXPECT_EQ(
        OcspProblem::NonceMismatch,
        client.Ask(Responder("replay"), qualified.get(), issuer.get(), Fresh()).answer.problem);
    EXPECT_EQ(
        OcspProblem::NoMatchingResponse,
        client.Ask(Responder("replay"), pki.LoadCertificate("revoked").get(), issuer.get(), Fresh())
            .answer.problem);
    const OcspAnswer kept =
        VerifyOcspResponse(saved.answer.encoded, qualified.get(), issuer.get(), nullptr);
    EXPECT_TRUE(kept.verified);
    EXPECT_EQ(Status::Good, kept.status);
    EXPECT_NE(std::wstring::npos, kept.responder.find(L"Dossiq Test Qualified CA"));
    // A CertID by SHA-256, asked and answered by openssl ocsp alone.
    const auto made = TestSupport::RunHostIn(
        pki.Dir(), "openssl ocsp -issuer issuing.cert.pem -sha256 -cert qualified.cert.pem "
                   "-no_nonce -reqout work/sha256.req && openssl ocsp -index "
                   "work/issuing/index.txt -CA issuing.cert.pem "
                   "-rsigner issuing.cert.pem -rkey issuing.key.pem -reqin work/sha256.req "
                   "-respout work/sha256.resp");
    ASSERT_EQ(0, made.exitCode) << made.output;
    const std::string sha256 = TestSupport::ReadFileBytes(pki.Dir() + L"\\work\\sha256.resp");
    EXPECT_EQ(OcspProblem::None, VerifyOcspResponse({sha256.begin(), sha256.end()}, qualified.get(),
                                                    issuer.get(), nullptr)
                                     .problem);
    // One byte of the signed part changed (the serial number's last).
    std::vector<BYTE> forged = saved.answer.encoded;
    const std::vector<BYTE> serial = EncodedSerial(qualified.get());
    const auto at = std::search(forged.begin(), forged.end(), serial.begin(), serial.end());
    ASSERT_NE(forged.end(), at);
    at[serial.size() - 1] ^= 1;
    EXPECT_EQ(OcspProblem::BadSignature,
              VerifyOcspResponse(forged, qualified.get(), issuer.get(), nullptr).problem);
}

// ocsp_signer names an ldap responder, then the kit's: only the http one is asked, once while
// its answer is current; an address that gave no reply is left alone for a while.
TEST(Ocsp, ResponderAddressesAndWhatTheProcessRemembers) {
    TestPki::Pki& pki = TestPki::Pki::Get();
    const auto signer = pki.LoadCertificate("ocsp_signer");
    const auto issuer = pki.LoadCertificate("issuing");
    EXPECT_EQ(std::vector<std::wstring>{Responder("issuing")},
              OcspClient::OcspAddresses(signer.get()));
    EXPECT_TRUE(OcspClient::OcspAddresses(pki.LoadCertificate("qualified").get()).empty());

    OcspClient client;
    OcspQuery query = Fresh();
    query.useCache = true;
    const size_t before = Posts("issuing");
    const OcspResult first = client.Find(signer.get(), issuer.get(), query);
    const OcspResult second = client.Find(signer.get(), issuer.get(), query);
    EXPECT_TRUE(first.answer.verified);
    EXPECT_FALSE(first.cached);
    EXPECT_TRUE(second.cached);
    EXPECT_EQ(Responder("issuing"), second.url);
    EXPECT_EQ(before + 1, Posts("issuing"));
    EXPECT_EQ(
        Status::Revoked,
        client.Find(pki.LoadCertificate("ocsp_revoked").get(), issuer.get(), query).answer.status);
    // Asked for an answer issued after the kept one's, the client asks anew.
    query.notBefore = Now();
    EXPECT_FALSE(client.Find(signer.get(), issuer.get(), query).cached);
    EXPECT_EQ(before + 3, Posts("issuing"));

    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(OcspProblem::Unreachable,
                  client.Ask(Responder("none"), signer.get(), issuer.get(), query).answer.problem);
    }
    EXPECT_EQ(1u, Posts("none"));
}

// The cache keeps the newest answer by thisUpdate and serves it only while current.
TEST(Ocsp, CacheNeverTakesAnOlderAnswer) {
    TestPki::Pki& pki = TestPki::Pki::Get();
    const auto certificate = pki.LoadCertificate("qualified");
    const auto issuer = pki.LoadCertificate("issuing");
    auto answer = [](int thisHours, int nextHours) {
        OcspAnswer a;
        a.verified = true;
        const ULONGLONG now = [] {
            const FILETIME t = Now();
            return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
        }();
        const auto at = [&](int hours) {
            const ULONGLONG v = now + hours * 36000000000LL;
            return FILETIME{static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)};
        };
        a.thisUpdate = at(thisHours);
        a.nextUpdate = at(nextHours);
        return a;
    };
    OcspCache cache;
    OcspAnswer found;
    const FILETIME any = {};
    const OcspAnswer newest = answer(-1, 24);
    cache.Keep(L"u", certificate.get(), issuer.get(), newest);
    cache.Keep(L"u", certificate.get(), issuer.get(), answer(-5, 48)); // older: ignored
    ASSERT_TRUE(cache.Find(L"u", certificate.get(), issuer.get(), Now(), any, found));
    EXPECT_EQ(0, ::CompareFileTime(&newest.nextUpdate, &found.nextUpdate));
    EXPECT_FALSE(cache.Find(L"v", certificate.get(), issuer.get(), Now(), any, found));
    EXPECT_FALSE(cache.Find(L"u", certificate.get(), issuer.get(), Now(), Now(), found));
    cache.Keep(L"u", certificate.get(), issuer.get(), answer(-3, -2)); // older and stale
    cache.Keep(L"s", certificate.get(), issuer.get(), answer(-3, -2));
    EXPECT_TRUE(cache.Find(L"u", certificate.get(), issuer.get(), Now(), any, found));
    EXPECT_FALSE(cache.Find(L"s", certificate.get(), issuer.get(), Now(), any, found));
}
