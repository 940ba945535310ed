// What long-term validation data adds to a Signed Document of the test PKI: its bytes (the
// chains' certificates and the CRLs, against the same signature with only a timestamp) and
// the signing time (the chains built and the CRLs fetched from the loopback server and
// verified). Every signing asks the kit's loopback authority for a timestamp.
//
//   wine long_term_bench.exe [signings]
//
// The test PKI is made and installed for the run (OpenSSL and Python on the host, as the
// tests use them) and removed afterwards.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "common/test_support.h"
#include "document/container/message_builder.h"
#include "document/timestamp/long_term_source.h"
#include "document/timestamp/signature_stamper.h"
#include "pki/test_pki.h"

using namespace Dossiq::Documents;

namespace {

struct Run {
    std::vector<double> ms;
    DWORD bytes = 0;
};

Run Measure(PCCERT_CONTEXT signer, const MessageBlob& archive, const std::wstring& url,
            LongTermMode mode, int signings) {
    Run run;
    for (int i = 0; i < signings; ++i) {
        MessageBlob message;
        const double start = Now();
        const bool made =
            SignArchive(archive, signer, kSignatureHashOid, message, TimestampStamper(url, nullptr),
                        LongTermSource(mode, nullptr));
        run.ms.push_back((Now() - start) * 1000.0);
        if (!made) {
            std::printf("FAILED: signing (error 0x%08lX)\n", ::GetLastError());
            std::exit(1);
        }
        run.bytes = message.Length();
    }
    std::sort(run.ms.begin(), run.ms.end());
    return run;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const int signings = argc > 1 ? std::max(1, _wtoi(argv[1])) : 10;
    TestPki::Pki& pki = TestPki::Pki::Get();
    const MHFX::CertContextHandle signer = pki.Certificate("qualified");
    const std::string content(100 * 1024, 'x');
    MessageBlob archive;
    if (!archive.Allocate(static_cast<DWORD>(content.size()))) {
        return 1;
    }
    std::copy(content.begin(), content.end(), archive.Data());
    const std::wstring url = TestSupport::Widen(pki.BaseUrl() + "/tsa/tsa");

    const Run stamped = Measure(signer.get(), archive, url, LongTermMode::Off, signings);
    const Run kept = Measure(signer.get(), archive, url, LongTermMode::Required, signings);
    std::printf("%d signings of 100 KB each, median (min-max):\n", signings);
    for (const auto& [name, run] : {std::pair<const char*, const Run&>{"timestamp only", stamped},
                                    {"timestamp and long-term data", kept}}) {
        std::printf("  %-30s %6.1f ms (%.1f-%.1f)   container %lu bytes\n", name,
                    run.ms[run.ms.size() / 2], run.ms.front(), run.ms.back(), run.bytes);
    }
    std::printf("Long-term data adds %ld bytes and %.1f ms (median).\n",
                static_cast<long>(kept.bytes) - static_cast<long>(stamped.bytes),
                kept.ms[kept.ms.size() / 2] - stamped.ms[stamped.ms.size() / 2]);
    // What those bytes are: the certificates the signature did not carry, and the CRLs.
    unsigned long certificates = 0;
    for (const char* name : {"root", "issuing", "tsa"}) {
        certificates += pki.LoadCertificate(name).get()->cbCertEncoded;
    }
    unsigned long crls = 0;
    for (const wchar_t* name : {L"\\root.crl", L"\\issuing.crl"}) {
        crls += static_cast<unsigned long>(TestSupport::ReadFileBytes(pki.Dir() + name).size());
    }
    std::printf("Of them: root, issuing CA and authority certificates %lu bytes, the root's "
                "and the issuing CA's CRLs %lu bytes.\n",
                certificates, crls);
    TestPki::Pki::Shutdown();
    return 0;
}
