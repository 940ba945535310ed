// The DER reader and writer, the SignedData layout, and the envelope opened from hostile bytes.
#include <gtest/gtest.h>

#include "document/container/der.h"
#include "document/document_test_util.h"
#include "document/container/envelope.h"
#include "document/container/message_builder.h"
#include "document/container/signed_data_encoder.h"
#include "foundation/win32_exception.h"

#include <algorithm>
#include <cstring>

using namespace Dossiq::Documents;

using namespace DocTest;

namespace {

std::vector<BYTE> Hex(const char* text) {
    std::vector<BYTE> bytes;
    for (const char* p = text; p[0] && p[1]; p += 2) {
        while (*p == ' ') {
            ++p;
        }
        bytes.push_back(static_cast<BYTE>(std::stoi(std::string(p, 2), nullptr, 16)));
    }
    return bytes;
}

} // namespace

TEST(Der, ReaderChecksEveryLengthAgainstItsEnclosure) {
    const struct {
        const char* bytes;
        bool readable;
        size_t length;
    } cases[] = {
        {"3003020100", true, 3},
        {"30820003020100", true, 3},    // long form
        {"3005020100", false, 0},       // longer than what is there
        {"30", false, 0},               // no length
        {"3081", false, 0},             // length bytes missing
        {"3080020100 0000", false, 0},  // indefinite
        {"3085010000000000", false, 0}, // more than four length bytes
        {"3084ffffffff00", false, 0},
        {"1f0100", false, 0}, // high tag number
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        const std::vector<BYTE> bytes = Hex(c.bytes);
        Der::Reader reader(bytes.data(), bytes.size());
        Der::Element element;
        EXPECT_EQ(c.readable, reader.Next(element));
        EXPECT_EQ(!c.readable, reader.Failed());
        if (c.readable) {
            EXPECT_EQ(c.length, element.length);
            EXPECT_EQ(bytes.size(), element.size);
            // The inner element lies within its parent.
            Der::Reader inner(element);
            Der::Element integer;
            EXPECT_TRUE(inner.Expect(Der::kInteger, integer));
            EXPECT_TRUE(inner.AtEnd());
        }
    }
    // An inner length that passes the outer one.
    const std::vector<BYTE> nested = Hex("30030205000000");
    Der::Reader outer(nested.data(), nested.size());
    Der::Element sequence, integer;
    ASSERT_TRUE(outer.Next(sequence));
    Der::Reader inner(sequence);
    EXPECT_FALSE(inner.Next(integer));
    EXPECT_TRUE(inner.Failed());
    // A wrong tag where one is expected.
    Der::Reader wrong(nested.data(), nested.size());
    EXPECT_FALSE(wrong.Expect(Der::kSet, sequence));
}

TEST(Der, WriterEncodesLengthsMinimally) {
    const struct {
        size_t length;
        const char* header;
    } lengths[] = {{0, "0400"},
                   {127, "047f"},
                   {128, "048180"},
                   {255, "0481ff"},
                   {256, "04820100"},
                   {65536, "0483010000"},
                   {0xFFFFFFFF, "0484ffffffff"}};
    for (const auto& c : lengths) {
        std::vector<BYTE> out;
        Der::AppendHeader(out, Der::kOctetString, c.length);
        EXPECT_EQ(Hex(c.header), out) << c.length;
        EXPECT_EQ(out.size(), Der::HeaderLength(c.length)) << c.length;
    }
}

TEST(Der, SetsAreSortedOnceAndIdentifiersWrittenFromTheirDottedForm) {
    const struct {
        std::vector<const char*> elements;
        const char* set;
    } sets[] = {
        {{}, "3100"},
        // Ordered by their encodings, a shorter one as if padded with zeros.
        {{"0402aaaa", "0401ff", "040100"}, "310a 040100 0401ff 0402aaaa"},
        {{"0500", "020101", "0500"}, "3105 020101 0500"},
    };
    for (const auto& c : sets) {
        SCOPED_TRACE(c.set);
        std::vector<std::vector<BYTE>> elements;
        for (const char* element : c.elements) {
            elements.push_back(Hex(element));
        }
        std::vector<BYTE> out;
        Der::AppendSortedSet(out, Der::kSet, elements);
        EXPECT_EQ(Hex(c.set), out);
    }
    const struct {
        const char* dotted;
        const char* content;
    } oids[] = {{"1.2.840.113549.1.7.2", "2a864886f70d010702"},
                {"2.16.840.1.101.3.4.2.1", "608648016503040201"},
                {"2.999.3", "883703"},
                {"", ""},
                {"1", ""},
                {"3.1", ""},
                {"1.40", ""},
                {"1..2", ""},
                {"1.2a", ""}};
    for (const auto& c : oids) {
        EXPECT_EQ(Hex(c.content), Der::OidContent(c.dotted)) << c.dotted;
    }
}

// The encoder's own layout at each length form of the content's headers: what it writes is
// as long as it says, reads back as a SignedData and is written again byte for byte.
TEST(Der, SignedDataLayoutReadsBackAtEveryLengthForm) {
    for (size_t length : {size_t{0}, size_t{1}, size_t{127}, size_t{128}, size_t{65535},
                          size_t{65536}, size_t{1} << 24}) {
        SCOPED_TRACE(length);
        const std::string content = RandomBytes(length, 7);
        SignedDataEncoder encoder(reinterpret_cast<const BYTE*>(content.data()), length);
        encoder.Encode();
        std::vector<BYTE> written(encoder.Length());
        encoder.Write(written.data());
        SignedDataEncoder read;
        ASSERT_TRUE(SignedDataEncoder::Read(written.data(), written.size(), read));
        read.Encode();
        std::vector<BYTE> again(read.Length());
        read.Write(again.data());
        EXPECT_TRUE(written == again);
        EXPECT_EQ(encoder.ContentDigest(kSignatureHashOid), read.ContentDigest(kSignatureHashOid));
        EXPECT_FALSE(SignedDataEncoder::Read(written.data(), written.size() - 1, read));
    }
}

TEST(Envelope, HostileBytesFailCleanly) {
    const std::string content = RandomBytes(2000, 5);
    const MessageBlob archive = Blob(content);
    const MessageBlob message = MakeContainer(DocumentKind::Encrypted, archive);
    const std::string bytes = Bytes(message);
    MHFX::CertStoreHandle my(
        ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                        CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, L"My"));
    ASSERT_TRUE(my);
    const auto open = [&](const std::string& input, ContentSection& section) {
        std::vector<BYTE> type;
        return OpenEnvelope(reinterpret_cast<const BYTE*>(input.data()),
                            static_cast<DWORD>(input.size()), my.get(), section, type);
    };
    ContentSection section;
    ASSERT_EQ(EnvelopeResult::Opened, open(bytes, section));
    ASSERT_EQ(content.size(), section.Length());
    EXPECT_EQ(0, memcmp(content.data(), section.Data(), content.size()));
    // The content sits in the section's first bytes; the rest is the padding's room.
    EXPECT_GE(section.Capacity(), section.Length());

    // Every truncation fails.
    for (size_t length = 0; length < bytes.size(); length += length < 700 ? 1 : 61) {
        ContentSection truncated;
        EXPECT_NE(EnvelopeResult::Opened, open(bytes.substr(0, length), truncated)) << length;
        EXPECT_FALSE(truncated.Valid());
    }
    // A changed byte anywhere in front of the ciphertext never crashes, and whatever still
    // opens stays inside its section.
    const size_t header = bytes.size() - (content.size() / 16 + 1) * 16; // AES blocks
    int opened = 0;
    for (size_t at = 0; at < header; ++at) {
        for (BYTE mask : {BYTE(0x01), BYTE(0x80)}) {
            std::string changed = bytes;
            changed[at] = static_cast<char>(changed[at] ^ mask);
            ContentSection result;
            if (open(changed, result) == EnvelopeResult::Opened) {
                ++opened;
                EXPECT_LE(result.Length(), result.Capacity());
            }
        }
    }
    // Only bytes that carry no meaning for decryption (such as the version numbers' bits and
    // the key algorithm's parameters) may change unnoticed; the IV's changes do too.
    EXPECT_LT(opened, 64);
}

// An envelope names its recipients before its content: any head of the file gives the
// recipients it holds whole, in order, and never more than asked for.
TEST(Envelope, RecipientsFromTheHeadOfTheFile) {
    const std::wstring dir = TestSupport::MakeTempDir(L"head");
    const auto made = TestSupport::RunHostIn(
        dir, "openssl req -x509 -newkey rsa:2048 -nodes -keyout s.key -out s.pem -subj /CN=S"
             " -days 30 2>/dev/null && head -c 100000 /dev/zero >c.bin && openssl cms -encrypt"
             " -binary -aes256 -outform DER -in c.bin -out many.enx $(yes s.pem | head -n 40)");
    ASSERT_EQ(0, made.exitCode) << made.output;
    const std::string bytes = TestSupport::ReadFileBytes(dir + L"\\many.enx");
    const auto* data = reinterpret_cast<const BYTE*>(bytes.data());
    const auto all = ReadEnvelopeRecipients(data, static_cast<DWORD>(bytes.size()));
    ASSERT_EQ(40u, all.size());
    EXPECT_EQ(8u, ReadEnvelopeRecipientsFromHead(data, static_cast<DWORD>(bytes.size()), 8).size());
    size_t previous = 0;
    for (DWORD length = 0; length < 40 * 400 && length < bytes.size(); length += 7) {
        const auto head = ReadEnvelopeRecipientsFromHead(data, length, 100);
        ASSERT_GE(head.size(), previous) << length;
        previous = head.size();
        for (size_t i = 0; i < head.size(); ++i) {
            EXPECT_EQ(all[i].serial, head[i].serial);
            EXPECT_EQ(all[i].issuer, head[i].issuer);
        }
    }
    EXPECT_EQ(40u, previous);
}

// An envelope is decrypted while the rest of it is still being read: no byte is used before
// it has arrived, the decryption starts well before the end, and a read that fails fails the
// opening with the read's error.
TEST(Envelope, DecryptedAsItArrives) {
    const std::string content = RandomBytes(3 << 20, 9);
    const std::string bytes = Bytes(MakeContainer(DocumentKind::Encrypted, Blob(content)));
    MHFX::CertStoreHandle my(
        ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                        CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, L"My"));
    ASSERT_TRUE(my);
    for (const DWORD failAt : {DWORD(0), DWORD(2 << 20)}) {
        SCOPED_TRACE(failAt);
        ContentSection section;
        section.Create(static_cast<DWORD>(bytes.size()));
        section.SetLength(static_cast<DWORD>(bytes.size()));
        BYTE* const data = section.Data();
        DWORD arrived = 0;
        std::vector<DWORD> asked;
        const auto arrive = [&](DWORD length) {
            asked.push_back(length);
            if (failAt != 0 && length > failAt) {
                throw MHFX::Win32Exception(ERROR_HANDLE_EOF);
            }
            if (length > arrived) {
                std::memcpy(data + arrived, bytes.data() + arrived, length - arrived);
                arrived = length;
            }
        };
        std::vector<BYTE> type;
        const EnvelopeResult result = OpenEnvelopeInPlace(section, my.get(), type, arrive);
        if (failAt != 0) {
            EXPECT_EQ(EnvelopeResult::Failed, result);
            EXPECT_EQ(static_cast<DWORD>(ERROR_HANDLE_EOF), ::GetLastError());
            continue;
        }
        ASSERT_EQ(EnvelopeResult::Opened, result);
        ASSERT_EQ(content.size(), section.Length());
        EXPECT_EQ(0, std::memcmp(content.data(), section.Data(), content.size()));
        ASSERT_GE(asked.size(), 3u);
        // A head, the headers, then slice by slice.
        EXPECT_LT(asked[1], 4096u);
        EXPECT_LT(asked[2], bytes.size() / 2);
        EXPECT_TRUE(std::is_sorted(asked.begin() + 1, asked.end()));
    }
}
