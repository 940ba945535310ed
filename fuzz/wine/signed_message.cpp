#include "wine/signed_message.h"

#include "certificates/qualified_certificate.h"
#include "document/container/document.h"
#include "foundation/exception.h"
#include "targets/targets.h"

#include <windows.h>

#include <cstring>

using namespace Dossiq::Documents;

namespace DossiqFuzz {

namespace {

uint64_t Next(uint64_t& state) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

size_t Below(uint64_t& state, size_t bound) {
    return bound == 0 ? 0 : static_cast<size_t>(Next(state) % bound);
}

void WriteWhole(const std::wstring& path, const uint8_t* data, size_t size) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Violation("cannot write the input file");
    }
    DWORD written = 0;
    const BOOL ok =
        size == 0 || ::WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
    ::CloseHandle(file);
    if (!ok || written != size) {
        Violation("cannot write the input file");
    }
}

} // namespace

int SignedMessage(const std::wstring& path, const uint8_t* data, size_t size) {
    WriteWhole(path, data, size);
    Document document(path);
    if (!document.Open(0)) {
        if (document.IsOpened() || !document.HasFailed() || document.Content()) {
            Violation("failed opening left a half-opened document");
        }
        return 0;
    }
    const DocumentContent content = document.Content();
    if (!document.IsOpened() || document.HasFailed() || !content || content.length > size) {
        Violation("opened document with impossible content");
    }
    if (document.IsSignatureValid() && document.SignerCertificate() == nullptr) {
        Violation("valid signature without a signer");
    }
    if (document.SignerCertificate() != nullptr) {
        // What the report then reads from the stranger's certificate.
        using MHFX::Security::Cryptography::X509::X509Certificate;
        try {
            static_cast<void>(MHFX::Security::Cryptography::X509::IsQualified(
                X509Certificate(document.SignerCertificate())));
        } catch (const MHFX::Exception&) {
        }
    }
    return document.IsSignatureValid() ? 2 : 1;
}

void Mutate(std::string& input, const std::string& other, uint64_t& state) {
    const size_t count = 1 + Below(state, 6);
    for (size_t i = 0; i < count; ++i) {
        const size_t at = Below(state, input.size());
        switch (Below(state, 8)) {
        case 0: // one bit
            if (!input.empty()) {
                input[at] = static_cast<char>(input[at] ^ (1 << Below(state, 8)));
            }
            break;
        case 1: { // an interesting byte
            static const unsigned char values[] = {0x00, 0x01, 0x7F, 0x80, 0x81, 0x82, 0x84, 0xFF};
            if (!input.empty()) {
                input[at] = static_cast<char>(values[Below(state, sizeof values)]);
            }
            break;
        }
        case 2: // a DER length: the byte after a tag-like byte
            for (size_t j = at; j + 1 < input.size(); ++j) {
                const unsigned char tag = static_cast<unsigned char>(input[j]);
                if (tag == 0x30 || tag == 0x31 || tag == 0x04 || tag == 0xA0 || tag == 0x02) {
                    input[j + 1] =
                        static_cast<char>(input[j + 1] + static_cast<int>(Below(state, 5)) - 2);
                    break;
                }
            }
            break;
        case 3: // cut
            input.resize(at);
            break;
        case 4: // delete a chunk
            input.erase(at, Below(state, 64) + 1);
            break;
        case 5: { // duplicate a chunk
            const std::string chunk = input.substr(at, Below(state, 128) + 1);
            input.insert(Below(state, input.size() + 1), chunk);
            break;
        }
        case 6: // splice the other input in
            if (!other.empty()) {
                const size_t from = Below(state, other.size());
                input.replace(at, Below(state, 256),
                              other.substr(from, Below(state, other.size() - from) + 1));
            }
            break;
        default: // random bytes
            for (size_t j = 0; j < 4 && at + j < input.size(); ++j) {
                input[at + j] = static_cast<char>(Next(state));
            }
            break;
        }
    }
}

} // namespace DossiqFuzz
