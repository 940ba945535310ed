#include "document/document_test_util.h"

#include <gtest/gtest.h>

#include <random>

#include "document/container/message_builder.h"
#include "zip/zip_archive.h"
#include "zip/zip_mem_file.h"

using namespace Dossiq::Documents;

namespace DocTest {

namespace {

constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

FILETIME EvenSeconds(int daysBack) {
    SYSTEMTIME now = {};
    ::GetSystemTime(&now);
    now.wMilliseconds = 0;
    now.wSecond = static_cast<WORD>(now.wSecond & ~1);
    FILETIME time = {};
    ::SystemTimeToFileTime(&now, &time);
    ULARGE_INTEGER value = {{time.dwLowDateTime, time.dwHighDateTime}};
    value.QuadPart -= static_cast<ULONGLONG>(daysBack) * 24 * 3600 * 10000000ull;
    return {value.LowPart, value.HighPart};
}

void Put(const std::wstring& path, const std::string& bytes, DWORD attributes, int daysBack) {
    TestSupport::WriteFileBytes(path, bytes);
    const FILETIME written = EvenSeconds(daysBack);
    HANDLE file =
        ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    ::SetFileTime(file, nullptr, nullptr, &written);
    ::CloseHandle(file);
    if (attributes != 0) {
        ::SetFileAttributesW(path.c_str(), attributes);
    }
}

void Walk(const std::wstring& dir, const std::wstring& prefix, Tree& tree) {
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((dir + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            Walk(dir + L"\\" + name, prefix + name + L"\\", tree);
        } else {
            FileState& state = tree[prefix + name];
            state.bytes = TestSupport::ReadFileBytes(dir + L"\\" + name);
            state.attributes = data.dwFileAttributes & kKeptAttributes;
            state.written = data.ftLastWriteTime;
        }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
}

} // namespace

Tree MakeSampleTree(const std::wstring& dir) {
    ::CreateDirectoryW((dir + L"\\sub").c_str(), nullptr);
    ::CreateDirectoryW((dir + L"\\sub\\deeper").c_str(), nullptr);
    ::CreateDirectoryW((dir + L"\\empty").c_str(), nullptr);
    Put(dir + L"\\a.txt", "plain text\r\n", 0, 1);
    Put(dir + L"\\b.bin", RandomBytes(300000, 7), 0, 2);
    Put(dir + L"\\sub\\c.txt", std::string(100000, 'c'), 0, 3);
    Put(dir + L"\\sub\\hidden.txt", "hidden", FILE_ATTRIBUTE_HIDDEN, 4);
    Put(dir + L"\\sub\\deeper\\locked.txt", "", FILE_ATTRIBUTE_READONLY, 400);
    return ReadTree(dir);
}

Tree ReadTree(const std::wstring& dir) {
    Tree tree;
    Walk(dir, L"", tree);
    return tree;
}

bool ExtractAll(const BYTE* data, DWORD length, const std::wstring& dir, int* entries) {
    CZipMemFile memory(data, length);
    CZipArchive archive;
    if (!archive.Open(memory, CZipArchive::zipOpenReadOnly)) {
        return false;
    }
    if (entries != nullptr) {
        *entries = archive.GetCount();
    }
    bool ok = true;
    for (ZipIndex i = 0; i < archive.GetCount(); ++i) {
        ok = archive.ExtractFile(i, dir) && ok;
    }
    archive.Close();
    return ok;
}

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(generator() & 0xFF);
    }
    return bytes;
}

std::string Bytes(const MessageBlob& blob) {
    return std::string(reinterpret_cast<const char*>(blob.Data()), blob.Length());
}

MessageBlob Blob(const std::string& bytes) {
    MessageBlob blob;
    blob.Allocate(static_cast<DWORD>(bytes.size()));
    if (!bytes.empty()) {
        memcpy(blob.Data(), bytes.data(), bytes.size());
    }
    return blob;
}

MessageBlob MakeContainer(DocumentKind kind, const MessageBlob& archive,
                          const std::string& recipient) {
    auto& pki = TestPki::Pki::Get();
    MessageBlob message;
    bool made = false;
    switch (kind) {
    case DocumentKind::Signed:
        made = SignArchive(archive, pki.Certificate(kSigner).get(), message);
        break;
    case DocumentKind::Encrypted:
        made = EncryptArchive(archive, pki.LoadCertificate(recipient).get(), message);
        break;
    case DocumentKind::Protected:
        made = ProtectArchive(archive, pki.Certificate(kSigner).get(),
                              pki.LoadCertificate(recipient).get(), message);
        break;
    }
    EXPECT_TRUE(made) << std::hex << ::GetLastError();
    return message;
}

MessageBlob MakeOldStyleContainer(DocumentKind kind, const MessageBlob& archive) {
    auto& pki = TestPki::Pki::Get();
    MessageBlob message;
    bool made = false;
    switch (kind) {
    case DocumentKind::Signed:
        made = SignArchive(archive, pki.Certificate(kSigner).get(), kSha1Rsa, message);
        break;
    case DocumentKind::Encrypted:
        made = EncryptArchive(archive, pki.LoadCertificate(kRecipient).get(), message,
                              ContentCipher::DesEde3Cbc);
        break;
    case DocumentKind::Protected:
        made = ProtectArchive(archive, pki.Certificate(kSigner).get(), kSha1Rsa,
                              pki.LoadCertificate(kRecipient).get(), message,
                              ContentCipher::DesEde3Cbc);
        break;
    }
    EXPECT_TRUE(made) << std::hex << ::GetLastError();
    return message;
}

std::string ContentOf(const Document& document) {
    const DocumentContent content = document.Content();
    return content ? std::string(reinterpret_cast<const char*>(content.data), content.length)
                   : std::string();
}

std::string CertArg(const std::string& name) {
    return TestSupport::ShellQuote(TestPki::Pki::Get().UnixCertPath(name));
}

std::string KeyArg(const std::string& name) {
    return TestSupport::ShellQuote(TestPki::Pki::Get().UnixKeyPath(name));
}

} // namespace DocTest
