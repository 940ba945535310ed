// Creates and opens a container of each kind over about 60 MB of content (below the 64 MiB
// that Wine's message decoder accepts), once with the algorithms of today (SHA-256, AES-256)
// and once with the old ones (SHA-1, 3DES), an Encrypted Document for five recipients, adds a
// second signature to the Signed Document, and sets each step beside one bare pass of the
// platform over the same bytes: SHA-1 and SHA-256 hashing, 3DES and AES-256 encryption, a plain
// decode of the signed message, writing a file of that size. Every step runs in a process
// of its own, so that its peak memory is its own: a step that copied the content into the heap once
// more would show it. The summary takes each step's fastest of three rounds.
//
//   wine document_bench.exe [megabytes]
//
// Two throw-away signing and recipient certificates (self-signed, keys in containers of their
// own) are put into the current user's "My" store for the run and removed afterwards.
#include <windows.h>
#include <wincrypt.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "document/container/container_writer.h"
#include "document/container/document.h"
#include "document/container/message_blob.h"
#include "document/container/message_builder.h"
#include "document/operations/co_signing.h"
#include "benchmarks/bench_certificate.h"
#include "foundation/handle.h"

using namespace Dossiq::Documents;

namespace {

constexpr char kSha1Rsa[] = "1.2.840.113549.1.1.5";
constexpr char kSha256[] = "2.16.840.1.101.3.4.2.1";
constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
// Runs of each step: the shared machine's other work (and the disk's) shows in single runs.
constexpr int kRuns = 3;
constexpr wchar_t kProvider[] = L"Microsoft Enhanced RSA and AES Cryptographic Provider";

double Megabytes(SIZE_T bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

PROCESS_MEMORY_COUNTERS Memory() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

[[noreturn]] void Fail(const char* what) {
    BenchFail(what);
}

MessageBlob Content(DWORD length) {
    MessageBlob blob;
    if (!blob.Allocate(length)) {
        Fail("allocating the content");
    }
    // Incompressible and cheap to make.
    uint64_t state = 0x9E3779B97F4A7C15ull;
    for (DWORD i = 0; i + 8 <= length; i += 8) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        std::memcpy(blob.Data() + i, &state, 8);
    }
    return blob;
}

std::wstring Widen(const char* text) {
    return std::wstring(text, text + std::strlen(text));
}

MHFX::CertContextHandle FindCertificate(const std::string& thumbprintHex) {
    std::vector<BYTE> hash;
    for (size_t i = 0; i + 1 < thumbprintHex.size(); i += 2) {
        hash.push_back(static_cast<BYTE>(std::stoi(thumbprintHex.substr(i, 2), nullptr, 16)));
    }
    MHFX::CertStoreHandle my(
        ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"My"));
    CRYPT_HASH_BLOB blob = {static_cast<DWORD>(hash.size()), hash.data()};
    MHFX::CertContextHandle found(
        ::CertFindCertificateInStore(my.get(), kEncoding, 0, CERT_FIND_HASH, &blob, nullptr));
    if (!found) {
        Fail("finding the bench certificate");
    }
    return found;
}

// Where each step leaves its time and memory for the summary: "<label> <seconds> <MB>".
std::wstring g_results;

// The peak working set: content, file views, sections and heap blocks all count in it once
// touched. (Wine's private-bytes counter leaves out what its own DLLs allocate.)
void Report(const char* step, double seconds, DWORD bytes, const PROCESS_MEMORY_COUNTERS& before) {
    const PROCESS_MEMORY_COUNTERS after = Memory();
    std::printf("%-38s %7.0f ms %7.1f MB/s   peak working set %6.1f MB (+%6.1f over the "
                "step's start)\n",
                step, seconds * 1000.0, Megabytes(bytes) / seconds,
                Megabytes(after.PeakWorkingSetSize),
                Megabytes(after.PeakWorkingSetSize) - Megabytes(before.WorkingSetSize));
    std::fflush(stdout);
    if (FILE* results = _wfopen(g_results.c_str(), L"a")) {
        std::fprintf(results, "%s|%f|%f\n", step, seconds,
                     Megabytes(after.PeakWorkingSetSize) - Megabytes(before.WorkingSetSize));
        std::fclose(results);
    }
}

// Each step against the bare platform pass it is measured by, with the goals, and
// how many copies of the content an opening held at its peak.
void Summary(const std::wstring& path, DWORD megabytes) {
    std::map<std::string, std::pair<double, double>> steps;
    if (FILE* results = _wfopen(path.c_str(), L"r")) {
        char line[256];
        while (std::fgets(line, sizeof line, results)) {
            char* first = std::strchr(line, '|');
            char* second = first ? std::strchr(first + 1, '|') : nullptr;
            if (second != nullptr) {
                *first = '\0';
                // The fastest run of a step, at the highest peak any run had.
                const double seconds = std::atof(first + 1);
                const double megabytes = std::atof(second + 1);
                const auto known = steps.find(line);
                steps[line] = known == steps.end()
                                  ? std::make_pair(seconds, megabytes)
                                  : std::make_pair(std::min(known->second.first, seconds),
                                                   std::max(known->second.second, megabytes));
            }
        }
        std::fclose(results);
    }
    const struct {
        const char* step;
        std::vector<const char*> bare;
        double goal;
    } rows[] = {
        {"Document::Open snx SHA-256",
         {"platform: decode signed (heap in)", "platform: SHA-256 over the content"},
         1.1},
        {"Document::Open enx AES-256", {"platform: AES-256-CBC over it"}, 1.5},
        {"Document::Open pnx SHA-256+AES-256",
         {"platform: decode signed (heap in)", "platform: SHA-256 over the content",
          "platform: AES-256-CBC over it"},
         1.5},
        {"encryptArchive AES-256", {"platform: AES-256-CBC over it"}, 1.2},
        {"encryptArchive AES-256, 5 recipients + write",
         {"platform: AES-256-CBC over it", "platform: WriteContainer of it"},
         1.1},
        {"signArchive SHA-256", {"platform: SHA-256 over the content"}, 1.2},
        {"signArchive SHA-256 + write",
         {"platform: SHA-256 over the content", "platform: WriteContainer of it"},
         1.2},
        {"addSignature SHA-256 + write",
         {"platform: SHA-256 over the content", "platform: WriteContainer of it"},
         1.2},
    };
    std::printf("\n%-46s %9s %9s %7s %6s %7s\n", "step", "ms", "bare ms", "ratio", "goal",
                "copies");
    for (const auto& row : rows) {
        double bare = 0;
        for (const char* name : row.bare) {
            bare += steps[name].first;
        }
        const auto& step = steps[row.step];
        std::printf("%-46s %9.0f %9.0f %6.2fx %5.2fx %7.1f\n", row.step, step.first * 1000,
                    bare * 1000, bare > 0 ? step.first / bare : 0.0, row.goal,
                    step.second / megabytes);
    }
}

// The algorithms a container of `kind` ("s"igned, "e"ncrypted, "p"rotected) was made with.
std::string Algorithms(char kind, bool old) {
    switch (kind) {
    case 's':
        return old ? " SHA-1" : " SHA-256";
    case 'e':
        return old ? " 3DES" : " AES-256";
    default:
        return old ? " SHA-1+3DES" : " SHA-256+AES-256";
    }
}

// One step, in this (child) process.
int RunStep(const std::string& step, const std::string& thumbprint, const std::wstring& dir,
            DWORD length) {
    // Old-style containers ("-old" steps) sit beside the new ones.
    const bool old = step.find("-old") != std::string::npos;
    const std::wstring base = dir + (old ? L"\\bench-old" : L"\\bench");
    if (step.rfind("open-", 0) == 0 || step == "platform-decode") {
        const std::wstring path = base + L"." + Widen(step.substr(5, 3).c_str());
        if (step == "platform-decode") {
            // The platform's own decode of the signed file, read into the heap first.
            HANDLE file = ::CreateFileW((base + L".snx").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
            DWORD size = ::GetFileSize(file, nullptr);
            std::vector<BYTE> input(size);
            DWORD read = 0;
            ::ReadFile(file, input.data(), size, &read, nullptr);
            ::CloseHandle(file);
            const PROCESS_MEMORY_COUNTERS before = Memory();
            const double start = Now();
            MHFX::CryptMsgHandle message(
                ::CryptMsgOpenToDecode(kEncoding, 0, 0, 0, nullptr, nullptr));
            if (!::CryptMsgUpdate(message.get(), input.data(), size, TRUE)) {
                Fail("platform decode");
            }
            Report("platform: decode signed (heap in)", Now() - start, size, before);
            return 0;
        }
        const PROCESS_MEMORY_COUNTERS before = Memory();
        const double start = Now();
        Document document(path);
        if (!document.Open(0)) {
            Fail("Document::Open");
        }
        const double seconds = Now() - start;
        const bool expectValid = step.rfind("open-enx", 0) != 0;
        if (document.IsSignatureValid() != expectValid || document.Content().length != length ||
            document.IsSignatureAlgorithmOutdated() != (old && expectValid)) {
            Fail("opened document differs");
        }
        Report(("Document::Open " + step.substr(5, 3) + Algorithms(step[5], old)).c_str(), seconds,
               length, before);
        return 0;
    }

    if (step == "cosign") {
        // The second signer's certificate; the Signed Document of the "sign" step is on disk,
        // so the step starts with nothing held.
        MHFX::CertContextHandle second = FindCertificate(thumbprint);
        const PROCESS_MEMORY_COUNTERS before = Memory();
        const double start = Now();
        const CoSigningResult result =
            AddSignature(base + L".snx", base + L"-cosigned.snx", second.get());
        const double seconds = Now() - start;
        if (result.outcome != CoSigningOutcome::Signed) {
            ::SetLastError(result.error);
            Fail("AddSignature");
        }
        Report("addSignature SHA-256 + write", seconds, length, before);
        Document document(base + L"-cosigned.snx");
        if (!document.Open(0) || document.SignatureCount() != 2 ||
            !document.AreAllSignaturesValid() || document.Content().length != length) {
            Fail("co-signed document differs");
        }
        return 0;
    }

    MessageBlob content = Content(length);
    const PROCESS_MEMORY_COUNTERS before = Memory();
    if (step == "platform-write") {
        const double start = Now();
        if (!WriteContainer(content, base + L".bin")) {
            Fail("WriteContainer");
        }
        Report("platform: WriteContainer of it", Now() - start, length, before);
        return 0;
    }
    if (step == "platform-sha1" || step == "platform-sha256") {
        const bool sha1 = step == "platform-sha1";
        MHFX::CryptProvHandle provider;
        MHFX::CryptHashHandle hash;
        const double start = Now();
        if (!::CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_AES,
                                    CRYPT_VERIFYCONTEXT) ||
            !::CryptCreateHash(provider.get(), sha1 ? CALG_SHA1 : CALG_SHA_256, 0, 0, hash.put()) ||
            !::CryptHashData(hash.get(), content.Data(), content.Length(), 0)) {
            Fail("hashing");
        }
        Report(sha1 ? "platform: SHA-1 over the content" : "platform: SHA-256 over the content",
               Now() - start, length, before);
        return 0;
    }
    if (step == "platform-3des" || step == "platform-aes256") {
        const bool des = step == "platform-3des";
        MHFX::CryptProvHandle provider;
        MHFX::CryptKeyHandle key;
        const double start = Now();
        if (!::CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_AES,
                                    CRYPT_VERIFYCONTEXT) ||
            !::CryptGenKey(provider.get(), des ? CALG_3DES : CALG_AES_256, 0, key.put())) {
            Fail("cipher key");
        }
        // In place, without the final padding block: the bare cipher's pass.
        for (DWORD done = 0; done < length; done += 1 << 20) {
            DWORD count = length - done < (1u << 20) ? length - done : 1u << 20;
            count &= ~15u;
            if (!::CryptEncrypt(key.get(), 0, FALSE, 0, content.Data() + done, &count, count)) {
                Fail("encryption");
            }
        }
        Report(des ? "platform: 3DES-CBC over the content" : "platform: AES-256-CBC over it",
               Now() - start, length, before);
        return 0;
    }

    MHFX::CertContextHandle certificate = FindCertificate(thumbprint);
    if (step == "platform-signmessage") {
        // The convenience function, called as usual: length first, then the bytes.
        CRYPT_SIGN_MESSAGE_PARA para = {};
        para.cbSize = sizeof para;
        para.dwMsgEncodingType = kEncoding;
        para.pSigningCert = certificate.get();
        para.HashAlgorithm.pszObjId = const_cast<char*>(kSha256);
        PCCERT_CONTEXT certificates[] = {certificate.get()};
        para.cMsgCert = 1;
        para.rgpMsgCert = certificates;
        const BYTE* data[] = {content.Data()};
        DWORD sizes[] = {content.Length()};
        const double start = Now();
        DWORD size = 0;
        if (!::CryptSignMessage(&para, FALSE, 1, data, sizes, nullptr, &size)) {
            Fail("CryptSignMessage length");
        }
        MessageBlob signedMessage;
        if (!signedMessage.Allocate(size) ||
            !::CryptSignMessage(&para, FALSE, 1, data, sizes, signedMessage.Data(), &size)) {
            Fail("CryptSignMessage");
        }
        Report("platform: CryptSignMessage SHA-256 x2", Now() - start, length, before);
        return 0;
    }
    MessageBlob message;
    const double start = Now();
    const wchar_t* extension = nullptr;
    bool made = false;
    const ContentCipher cipher = old ? ContentCipher::DesEde3Cbc : kContentCipher;
    const char* const hash = old ? kSha1Rsa : kSignatureHashOid;
    if (step.rfind("sign", 0) == 0) {
        made = SignArchive(content, certificate.get(), hash, message);
        extension = L".snx";
    } else if (step == "encrypt-five") {
        // The key wrapped five times over one pass of the cipher.
        made = EncryptArchive(content, Recipients(5, certificate.get()), message, cipher);
        extension = L".enx";
    } else if (step.rfind("encrypt", 0) == 0) {
        made = EncryptArchive(content, certificate.get(), message, cipher);
        extension = L".enx";
    } else if (step.rfind("protect", 0) == 0) {
        made = ProtectArchive(content, certificate.get(), hash, certificate.get(), message, cipher);
        extension = L".pnx";
    } else {
        Fail("unknown step");
    }
    if (!made) {
        Fail(step.c_str());
    }
    const double made_at = Now();
    const std::string name = step.substr(0, step.find('-'));
    const std::string label = name + "Archive" + Algorithms(name[0], old) +
                              (step == "encrypt-five" ? ", 5 recipients" : "");
    Report(label.c_str(), made_at - start, length, before);
    if (!WriteContainer(message, base + extension)) {
        Fail("WriteContainer");
    }
    Report("  WriteContainer", Now() - made_at, message.Length(), before);
    if (step == "encrypt-five" || step == "sign") {
        Report((label + " + write").c_str(), Now() - start, length, before);
    }
    return 0;
}

// The orchestrating process: a certificate for the run, then one child per step.
void RunChild(const std::wstring& self, const std::string& step, const std::string& thumbprint,
              const std::wstring& dir, DWORD megabytes) {
    std::wstring command = L"\"" + self + L"\" " + Widen(step.c_str()) + L" " +
                           Widen(thumbprint.c_str()) + L" \"" + dir + L"\" " +
                           std::to_wstring(megabytes);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, &process)) {
        Fail("starting a step");
    }
    MHFX::KernelHandle thread(process.hThread);
    MHFX::KernelHandle child(process.hProcess);
    ::WaitForSingleObject(child.get(), INFINITE);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 5) {
        char step[64] = {};
        char thumbprint[64] = {};
        ::WideCharToMultiByte(CP_UTF8, 0, argv[1], -1, step, sizeof step - 1, nullptr, nullptr);
        ::WideCharToMultiByte(CP_UTF8, 0, argv[2], -1, thumbprint, sizeof thumbprint - 1, nullptr,
                              nullptr);
        const DWORD length = static_cast<DWORD>(_wtoi(argv[4])) * 1024 * 1024;
        g_results = std::wstring(argv[3]) + L"\\results.txt";
        return RunStep(step, thumbprint, argv[3], length);
    }
    const DWORD megabytes = argc > 1 ? static_cast<DWORD>(_wtoi(argv[1])) : 60;
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring dir =
        std::wstring(temp) + L"dossiq-document-bench-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(dir.c_str(), nullptr);

    std::printf("Content: %lu MB of incompressible bytes; each step in a process of its own.\n"
                "Creating steps hold the content before they start; opening steps start with "
                "nothing.\n\n",
                megabytes);
    {
        BenchCertificate certificate(L"dossiq-bench-" + std::to_wstring(::GetCurrentProcessId()));
        BenchCertificate second(L"dossiq-bench-second-" + std::to_wstring(::GetCurrentProcessId()));
        // Round after round, so that a passing burst of other work spoils one run of a step
        // rather than all of them.
        for (int run = 0; run < kRuns; ++run) {
            for (const char* step : {"platform-sha1",
                                     "platform-sha256",
                                     "platform-3des",
                                     "platform-aes256",
                                     "platform-write",
                                     "platform-signmessage",
                                     "sign",
                                     "cosign",
                                     "sign-old",
                                     "encrypt",
                                     "encrypt-five",
                                     "encrypt-old",
                                     "protect",
                                     "protect-old",
                                     "platform-decode",
                                     "open-snx",
                                     "open-snx-old",
                                     "open-enx",
                                     "open-enx-old",
                                     "open-pnx",
                                     "open-pnx-old"}) {
                RunChild(self, step,
                         std::strcmp(step, "cosign") == 0 ? second.thumbprint
                                                          : certificate.thumbprint,
                         dir, megabytes);
            }
        }
    }
    Summary(dir + L"\\results.txt", megabytes);
    ::DeleteFileW((dir + L"\\results.txt").c_str());
    for (const wchar_t* name : {L"bench", L"bench-old"}) {
        for (const wchar_t* extension : {L".snx", L".enx", L".pnx", L"-cosigned.snx", L".bin"}) {
            ::DeleteFileW((dir + L"\\" + name + extension).c_str());
        }
    }
    ::RemoveDirectoryW(dir.c_str());
    return 0;
}
