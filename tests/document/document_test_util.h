// Helpers of the document tests: a tree of real files to pack, containers of each kind
// made with the test PKI, and OpenSSL as the peer on the host.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "document/container/document.h"
#include "document/container/document_kind.h"
#include "document/container/message_blob.h"
#include "pki/test_pki.h"

namespace DocTest {

constexpr char kSha1Rsa[] = "1.2.840.113549.1.1.5";
constexpr char kSigner[] = "qualified";
constexpr char kRecipient[] = "recipient_ab";

struct FileState {
    std::string bytes;
    DWORD attributes = 0; // read-only, hidden and system bits only
    FILETIME written = {};

    bool operator==(const FileState& other) const {
        return bytes == other.bytes && attributes == other.attributes &&
               ::CompareFileTime(&written, &other.written) == 0;
    }
};
// Every file below a folder by its relative name (`\` separated).
using Tree = std::map<std::wstring, FileState>;

// Files and nested folders with contents, attributes and (even-second) times, plus an
// empty folder "empty": a.txt, b.bin, sub\c.txt, sub\hidden.txt, sub\deeper\locked.txt.
Tree MakeSampleTree(const std::wstring& dir);
Tree ReadTree(const std::wstring& dir);
// Extracts every entry of the archive bytes below `dir`; false when one fails.
bool ExtractAll(const BYTE* data, DWORD length, const std::wstring& dir, int* entries = nullptr);

std::string RandomBytes(size_t size, unsigned seed);
std::string Bytes(const Dossiq::Documents::MessageBlob& blob);
Dossiq::Documents::MessageBlob Blob(const std::string& bytes);

// The container of `kind` over `archive`, signed by kSigner and/or for `recipient`, with the
// algorithms of today.
Dossiq::Documents::MessageBlob MakeContainer(Dossiq::Documents::DocumentKind kind,
                                             const Dossiq::Documents::MessageBlob& archive,
                                             const std::string& recipient = kRecipient);
// The same as earlier versions made it: SHA-1 with RSA, des-ede3-cbc, for kRecipient.
Dossiq::Documents::MessageBlob MakeOldStyleContainer(Dossiq::Documents::DocumentKind kind,
                                                     const Dossiq::Documents::MessageBlob& archive);

std::string ContentOf(const Dossiq::Documents::Document& document);

// The PKI's files as Unix paths, quoted for the shell.
std::string CertArg(const std::string& name);
std::string KeyArg(const std::string& name);

} // namespace DocTest
