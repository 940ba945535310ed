#include <gtest/gtest.h>

#include "certificates/x509_chain.h"
#include "certificates/x509_exception.h"
#include "foundation/win32_exception.h"
#include "pki/test_pki.h"

using namespace MHFX::Security::Cryptography::X509;
using MHFX::Win32Exception;
using Flags = X509ChainStatusFlags;

namespace {

X509Certificate Kit(const std::string& name) {
    auto context = TestPki::Pki::Get().Certificate(name);
    return X509Certificate(context.get());
}

bool SameCertificate(const X509Certificate& a, const std::string& kitName) {
    const std::string& der = TestPki::Pki::Get().Find(kitName).der;
    return a.Handle()->cbCertEncoded == der.size() &&
           memcmp(a.Handle()->pbCertEncoded, der.data(), der.size()) == 0;
}

// The system's text of a code on one line, found here without the library's help; Wine 8
// has no texts for the certificate errors, so there this is the neutral "unrecognized" text.
std::wstring SystemTextOf(HRESULT code) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length == 0) {
        return L"An unrecognized Win32Exception was thrown.";
    }
    std::wstring text(buffer, length);
    ::LocalFree(buffer);
    std::wstring line;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
            ++i;
        } else {
            line += text[i];
        }
    }
    return line;
}

std::vector<DWORD> Bits(const std::vector<X509ChainStatus>& statuses) {
    std::vector<DWORD> bits;
    for (const X509ChainStatus& status : statuses) {
        bits.push_back(status.Status);
    }
    return bits;
}

} // namespace

TEST(ChainPolicy, Defaults) {
    const MHFX::DateTime before = MHFX::DateTime::Now();
    const X509ChainPolicy policy;
    const MHFX::DateTime after = MHFX::DateTime::Now();
    EXPECT_TRUE(policy.ApplicationPolicy.Empty());
    EXPECT_TRUE(policy.CertificatePolicy.Empty());
    EXPECT_TRUE(policy.ExtraStore.Empty());
    EXPECT_EQ(policy.RevocationMode, X509RevocationMode::Online);
    EXPECT_EQ(policy.RevocationFlag, 0x40000000u);
    EXPECT_EQ(policy.VerificationFlags, 0u);
    EXPECT_EQ(policy.UrlRetrievalTimeout.Ticks(), 0);
    EXPECT_TRUE(policy.VerificationTime >= before && policy.VerificationTime <= after);
    EXPECT_EQ(policy.VerificationTime.Kind(), MHFX::DateTimeKind::Local);
}

TEST(Chain, BuildsATrustedChainAndFillsItsElements) {
    X509Chain chain;
    EXPECT_FALSE(chain.UseMachineContext);
    EXPECT_TRUE(chain.ChainStatus().empty()); // nothing built yet
    EXPECT_FALSE(chain.Verify());
    chain.Build(Kit("qualified"));
    EXPECT_TRUE(chain.ChainElements.Empty()); // only the fill step fills them
    chain.FillChainElements();
    ASSERT_EQ(chain.ChainElements.Count(), 3u);
    EXPECT_TRUE(SameCertificate(chain.ChainElements[0].Certificate, "qualified"));
    EXPECT_TRUE(SameCertificate(chain.ChainElements[1].Certificate, "issuing"));
    EXPECT_TRUE(SameCertificate(chain.ChainElements[2].Certificate, "root"));
    for (const X509ChainElement& element : chain.ChainElements) {
        EXPECT_TRUE(element.ChainElementStatus.empty());
    }
    EXPECT_EQ(chain.ErrorStatus(), 0u);
    EXPECT_TRUE(chain.ChainStatus().empty());
    EXPECT_TRUE(chain.Verify());

    // Building again replaces the previous chain.
    chain.Build(Kit("self_signed"));
    chain.FillChainElements();
    EXPECT_EQ(chain.ChainElements.Count(), 1u);
    EXPECT_FALSE(chain.Verify());
}

TEST(Chain, BuildOfAnEmptyWrapperThrows) {
    X509Chain chain;
    try {
        chain.Build(X509Certificate());
        ADD_FAILURE() << "built";
    } catch (const X509Exception& e) {
        EXPECT_EQ(e.Message(), L"Certificate handle is not valid");
    }
}

TEST(Chain, ElementStatusesNameTheFailingCertificate) {
    X509Chain chain;
    chain.ChainPolicy.RevocationMode = X509RevocationMode::NoCheck;
    chain.Build(Kit("expired"));
    chain.FillChainElements();
    ASSERT_EQ(chain.ChainElements.Count(), 3u);
    EXPECT_EQ(Bits(chain.ChainElements[0].ChainElementStatus),
              std::vector<DWORD>{Flags::NotTimeValid});
    EXPECT_TRUE(chain.ChainElements[1].ChainElementStatus.empty());
    EXPECT_EQ(Bits(chain.ChainStatus()), std::vector<DWORD>{Flags::NotTimeValid});
    EXPECT_FALSE(chain.Verify());
    // The base policy's flags decide what it ignores.
    chain.ChainPolicy.VerificationFlags = CERT_CHAIN_POLICY_IGNORE_NOT_TIME_VALID_FLAG;
    EXPECT_TRUE(chain.Verify());
}

TEST(Chain, StatusTextsAreTheSystemsOneLineTexts) {
    const struct {
        const char* certificate;
        DWORD bit;
        HRESULT code;
    } cases[] = {
        {"expired", Flags::NotTimeValid, CERT_E_EXPIRED},
        {"self_signed", Flags::UntrustedRoot, CERT_E_UNTRUSTEDROOT},
        {"partial", Flags::PartialChain, CERT_E_CHAINING},
        {"crl_dead", Flags::OfflineRevocation, CRYPT_E_REVOCATION_OFFLINE},
        {"key_cert_sign", Flags::NotValidForUsage, CERT_E_WRONG_USAGE},
    };
    for (const auto& c : cases) {
        X509Chain chain;
        chain.Build(Kit(c.certificate));
        const std::vector<X509ChainStatus> statuses = chain.ChainStatus();
        auto it = std::find_if(statuses.begin(), statuses.end(),
                               [&](const X509ChainStatus& s) { return s.Status == c.bit; });
        ASSERT_NE(it, statuses.end()) << c.certificate;
        EXPECT_EQ(it->StatusInformation, SystemTextOf(c.code)) << c.certificate;
        EXPECT_EQ(it->StatusInformation.find(L'\n'), std::wstring::npos);
    }
}

TEST(Chain, RevokedSignerAndABrokenSignature) {
    X509Chain revoked;
    revoked.ChainPolicy.RevocationFlag = CERT_CHAIN_REVOCATION_CHECK_CHAIN;
    revoked.Build(Kit("revoked"));
    EXPECT_EQ(Bits(revoked.ChainStatus()), std::vector<DWORD>{Flags::Revoked});
    EXPECT_EQ(revoked.ChainStatus()[0].StatusInformation, SystemTextOf(CRYPT_E_REVOKED));

    // Flip a bit of the signature: the certificate no longer verifies under its issuer.
    std::string der = TestPki::Pki::Get().Find("qualified").der;
    der[der.size() - 5] ^= 0x01;
    MHFX::CertContextHandle tampered(
        ::CertCreateCertificateContext(X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                       static_cast<DWORD>(der.size())));
    X509Chain chain;
    chain.ChainPolicy.RevocationMode = X509RevocationMode::NoCheck;
    chain.Build(X509Certificate(tampered.get()));
    const std::vector<DWORD> bits = Bits(chain.ChainStatus());
    EXPECT_NE(std::find(bits.begin(), bits.end(), DWORD{Flags::NotSignatureValid}), bits.end());
    EXPECT_EQ(chain.ChainStatus()[0].StatusInformation, SystemTextOf(TRUST_E_CERT_SIGNATURE));
}

TEST(ChainStatus, EveryKnownBitInTableOrderUnknownBitsDropped) {
    const std::vector<std::pair<DWORD, HRESULT>> table = {
        {0x1, CERT_E_EXPIRED},
        {0x2, CERT_E_VALIDITYPERIODNESTING},
        {0x4, CRYPT_E_REVOKED},
        {0x8, TRUST_E_CERT_SIGNATURE},
        {0x10, CERT_E_WRONG_USAGE},
        {0x20, CERT_E_UNTRUSTEDROOT},
        {0x40, CRYPT_E_NO_REVOCATION_CHECK},
        {0x200, CERT_E_INVALID_POLICY},
        {0x400, TRUST_E_BASIC_CONSTRAINTS},
        {0x800, CERT_E_INVALID_NAME},
        {0x1000, CERT_E_INVALID_NAME},
        {0x2000, CERT_E_INVALID_NAME},
        {0x4000, CERT_E_INVALID_NAME},
        {0x8000, CERT_E_INVALID_NAME},
        {0x10000, CERT_E_CHAINING},
        {0x20000, CERT_E_EXPIRED},
        {0x40000, TRUST_E_CERT_SIGNATURE},
        {0x80000, CERT_E_WRONG_USAGE},
        {0x1000000, CRYPT_E_REVOCATION_OFFLINE},
        {0x2000000, CERT_E_INVALID_POLICY},
    };
    const std::vector<X509ChainStatus> all = ChainStatusFromErrorStatus(0xFFFFFFFF);
    ASSERT_EQ(all.size(), table.size());
    for (size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(all[i].Status, table[i].first) << i;
        EXPECT_EQ(all[i].StatusInformation, SystemTextOf(table[i].second)) << i;
    }
    EXPECT_TRUE(ChainStatusFromErrorStatus(0).empty());
    EXPECT_TRUE(ChainStatusFromErrorStatus(0x80 | 0x100 | 0x100000 | 0x08000000).empty());
}

TEST(Chain, ExtraStoreSuppliesIntermediates) {
    X509Chain chain;
    chain.ChainPolicy.RevocationMode = X509RevocationMode::NoCheck;
    chain.Build(Kit("partial"));
    EXPECT_NE(chain.ErrorStatus() & Flags::PartialChain, 0u);

    X509Chain completed;
    completed.ChainPolicy.RevocationMode = X509RevocationMode::NoCheck;
    auto orphan = TestPki::Pki::Get().Certificate("orphan_ca");
    completed.ChainPolicy.ExtraStore.Add(X509Certificate(orphan.get()));
    completed.Build(Kit("partial"));
    completed.FillChainElements();
    ASSERT_EQ(completed.ChainElements.Count(), 2u);
    EXPECT_TRUE(SameCertificate(completed.ChainElements[1].Certificate, "orphan_ca"));
    EXPECT_EQ(completed.ErrorStatus() & Flags::PartialChain, 0u);
    EXPECT_NE(completed.ErrorStatus() & Flags::UntrustedRoot, 0u);
}

TEST(Chain, RevocationModeDecidesWhetherRevocationIsChecked) {
    X509Chain unchecked;
    unchecked.ChainPolicy.RevocationMode = X509RevocationMode::NoCheck;
    unchecked.Build(Kit("crl_dead"));
    EXPECT_EQ(unchecked.ErrorStatus(), 0u);

    X509Chain online;
    online.Build(Kit("crl_dead"));
    EXPECT_EQ(online.ErrorStatus(), static_cast<DWORD>(Flags::OfflineRevocation));
}

TEST(Chain, VerificationTimeIsTheMomentJudged) {
    X509Chain past;
    past.ChainPolicy.RevocationMode = X509RevocationMode::NoCheck;
    past.ChainPolicy.VerificationTime =
        MHFX::DateTime(2020, 6, 1, 0, 0, 0, MHFX::DateTimeKind::Utc);
    past.Build(Kit("expired"));
    EXPECT_EQ(past.ErrorStatus(), 0u) << "valid during 2020";

    X509Chain early;
    early.ChainPolicy.RevocationMode = X509RevocationMode::NoCheck;
    early.ChainPolicy.VerificationTime = MHFX::DateTime(2015, 1, 1);
    early.Build(Kit("qualified"));
    EXPECT_NE(early.ErrorStatus() & Flags::NotTimeValid, 0u);

    // A local time is handed over in UTC: an hour after "now" in local time is still now.
    X509Chain local;
    local.ChainPolicy.RevocationMode = X509RevocationMode::NoCheck;
    local.ChainPolicy.VerificationTime = MHFX::DateTime::Now().AddHours(1);
    local.Build(Kit("qualified"));
    EXPECT_EQ(local.ErrorStatus(), 0u);

    // Before 1601 there is no file time to hand over.
    X509Chain ancient;
    ancient.ChainPolicy.VerificationTime =
        MHFX::DateTime(1500, 1, 1, 0, 0, 0, MHFX::DateTimeKind::Utc);
    EXPECT_THROW(ancient.Build(Kit("qualified")), MHFX::Exception);
}

TEST(Chain, ApplicationPolicyRequiresEveryUsage) {
    X509Chain mail;
    mail.ChainPolicy.RevocationMode = X509RevocationMode::NoCheck;
    mail.ChainPolicy.ApplicationPolicy.Add(Oid(L"1.3.6.1.5.5.7.3.4", L""));
    mail.Build(Kit("recipient_ab"));
    EXPECT_EQ(mail.ErrorStatus(), 0u);

    X509Chain both;
    both.ChainPolicy.RevocationMode = X509RevocationMode::NoCheck;
    both.ChainPolicy.ApplicationPolicy.Add(Oid(L"1.3.6.1.5.5.7.3.4", L""));
    both.ChainPolicy.ApplicationPolicy.Add(Oid(L"1.3.6.1.5.5.7.3.1", L""));
    both.Build(Kit("recipient_ab"));
    EXPECT_EQ(both.ErrorStatus(), static_cast<DWORD>(Flags::NotValidForUsage));
    EXPECT_FALSE(both.Verify());
}

TEST(Chain, MachineEngineDoesNotTrustTheUsersRoots) {
    X509Chain user;
    user.ChainPolicy.RevocationMode = X509RevocationMode::NoCheck;
    user.Build(Kit("qualified"));
    EXPECT_EQ(user.ErrorStatus(), 0u);

    X509Chain machine;
    machine.UseMachineContext = true;
    machine.ChainPolicy.RevocationMode = X509RevocationMode::NoCheck;
    machine.Build(Kit("qualified"));
    EXPECT_NE(machine.ErrorStatus() & (Flags::UntrustedRoot | Flags::PartialChain), 0u);
}
