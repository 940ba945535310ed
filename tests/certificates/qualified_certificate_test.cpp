#include <gtest/gtest.h>

#include "certificates/qualified_certificate.h"
#include "certificates/x509_exception.h"
#include "foundation/win32_exception.h"
#include "pki/test_pki.h"

using namespace MHFX::Security::Cryptography::X509;
using MHFX::Win32Exception;

namespace {

X509Certificate Kit(const std::string& name) {
    auto context = TestPki::Pki::Get().Certificate(name);
    return X509Certificate(context.get());
}

struct Case {
    const char* name;
    bool statements;
    bool nameForm;
    bool usage;
};

// Every signer of the kit with what each of the three tests must say about it.
const Case kCases[] = {
    {"qualified", true, true, true},
    {"qualified_reversed", true, true, true},
    {"qualified_others", true, true, true},
    {"qc_compliance_only", false, true, true},
    {"no_qc", false, true, true},
    {"no_nonrepudiation", true, true, false},
    {"no_key_usage", true, true, false},
    {"ds_nr_ke", true, true, true},
    {"name_two_words", true, true, true},
    {"name_trailing_space", true, false, true},
    {"name_hyphen_inside", true, true, true},
    {"name_leading_hyphen", true, false, true},
    {"name_hyphenated_first", true, false, true},
    {"name_single_word", true, false, true},
    {"no_cn", true, false, true},
    {"self_signed", true, true, true},
    {"recipient_ab", false, true, false},
    {"recipient_no_ke", false, true, true},
};

} // namespace

TEST(Qualified, EachTestAndTheirConjunctionOverTheKit) {
    for (const Case& c : kCases) {
        const X509Certificate certificate = Kit(c.name);
        EXPECT_EQ(HasQcComplianceAndSscd(certificate), c.statements) << c.name;
        EXPECT_EQ(HasQualifiedNameForm(certificate), c.nameForm) << c.name;
        EXPECT_EQ(HasKeyUsage(certificate, kQualifiedKeyUsage), c.usage) << c.name;
        EXPECT_EQ(IsQualified(certificate), c.statements && c.nameForm && c.usage) << c.name;
    }
}

TEST(Qualified, KeyUsageNeedsEveryRequiredBit) {
    const X509Certificate signatureOnly = Kit("no_nonrepudiation");
    EXPECT_TRUE(HasKeyUsage(signatureOnly, CERT_DIGITAL_SIGNATURE_KEY_USAGE));
    EXPECT_FALSE(HasKeyUsage(signatureOnly, kQualifiedKeyUsage));
    EXPECT_TRUE(HasKeyUsage(Kit("ds_nr_ke"), kQualifiedKeyUsage | CERT_KEY_ENCIPHERMENT_KEY_USAGE));
    EXPECT_FALSE(HasKeyUsage(Kit("recipient_no_ke"), CERT_KEY_ENCIPHERMENT_KEY_USAGE));
    EXPECT_TRUE(HasKeyUsage(Kit("recipient_both"), CERT_KEY_ENCIPHERMENT_KEY_USAGE));
    EXPECT_FALSE(HasKeyUsage(Kit("no_key_usage"), 0)); // no extension: false even for nothing
}

TEST(Qualified, NameFormRule) {
    const struct {
        const wchar_t* name;
        bool accepted;
    } cases[] = {
        {L"Marko Markovi\u0107 1234567", true},
        {L"Marko Markovi\u0107", true},
        {L"Marko Markovi\u0107 ", false},
        {L"Marko Markovi\u0107 12345-67", true},
        {L"Marko Markovi\u0107 -1234567", false},
        {L"Ana-Marija Markovi\u0107", false},
        {L"Markovi\u0107", false},
        {L"", false},
        {L" ", false},
        {L"a b-", true},
        {L"a -", false},
        {L"a-b c", false},
        {L"a b c-d-e", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsQualifiedNameForm(c.name), c.accepted) << static_cast<int>(wcslen(c.name));
    }
}

TEST(Qualified, UndecodableStatementsAndEmptyWrappersThrow) {
    EXPECT_THROW(IsQualified(Kit("qc_malformed")), Win32Exception);
    EXPECT_THROW(HasQcComplianceAndSscd(Kit("qc_malformed")), Win32Exception);
    try {
        IsQualified(X509Certificate());
        ADD_FAILURE() << "no exception";
    } catch (const X509Exception& e) {
        EXPECT_EQ(e.Message(), L"Certificate is not initialized.");
    }
}
