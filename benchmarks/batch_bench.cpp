// Batch checking as `dossiq verify --jobs` does it: N copies of a small Signed Document by
// the test PKI's qualified signer, each opened and checked (chain, CRLs served from
// 127.0.0.1) by one worker and then by two, with the containers per second of each, their
// ratio, and each worker's time split between opening and checking, so that a stage that
// does not scale shows as one whose summed time grows with the workers.
//
//   scripts/wine-run build/benchmarks/batch_bench.exe [containers, default 200]
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "bench_clock.h"
#include "common/test_support.h"
#include "document/container/container_writer.h"
#include "document/container/document.h"
#include "document/container/message_blob.h"
#include "document/container/message_builder.h"
#include "document/creation/archive_builder.h"
#include "document/report/report_builder.h"
#include "pki/test_pki.h"

using namespace Dossiq::Documents;

namespace {

struct Run {
    double seconds = 0;
    double opening = 0; // summed over the workers
    double checking = 0;
    size_t passed = 0;
};

// What verify's worker pool does, with the two stages timed apart.
Run CheckAll(const std::vector<std::wstring>& paths, int jobs) {
    std::atomic<size_t> next{0};
    std::vector<Run> shares(static_cast<size_t>(jobs));
    auto work = [&](Run& share) {
        for (size_t i = next++; i < paths.size(); i = next++) {
            const double start = Now();
            Document document(paths[i]);
            ValidationReport report = DescribeDocument(document);
            const double opened = Now();
            if (report.decoding == DecodingOutcome::NotTampered && document.SignerCertificate()) {
                RunChecks(document.SignerCertificate(), report);
            }
            share.opening += opened - start;
            share.checking += Now() - opened;
            share.passed += HasPassed(report) ? 1 : 0;
        }
    };
    const double start = Now();
    std::vector<std::thread> workers;
    for (int i = 1; i < jobs; ++i) {
        workers.emplace_back(work, std::ref(shares[static_cast<size_t>(i)]));
    }
    work(shares[0]);
    for (std::thread& worker : workers) {
        worker.join();
    }
    Run total;
    total.seconds = Now() - start;
    for (const Run& share : shares) {
        total.opening += share.opening;
        total.checking += share.checking;
        total.passed += share.passed;
    }
    return total;
}

// A bare platform pass `count` times over `jobs` threads; returns the seconds.
template <typename Pass> double Platform(size_t count, int jobs, Pass pass) {
    std::atomic<size_t> next{0};
    auto work = [&] {
        while (next++ < count) {
            pass();
        }
    };
    const double start = Now();
    std::vector<std::thread> workers;
    for (int i = 1; i < jobs; ++i) {
        workers.emplace_back(work);
    }
    work();
    for (std::thread& worker : workers) {
        worker.join();
    }
    return Now() - start;
}

// The platform's own chain building with revocation, and its CRL retrieval, for the signer:
// what checking spends its time in, with one and two threads.
void PlatformPasses(PCCERT_CONTEXT signer, size_t count) {
    auto chain = [signer] {
        CERT_CHAIN_PARA para = {};
        para.cbSize = sizeof para;
        PCCERT_CHAIN_CONTEXT context = nullptr;
        if (::CertGetCertificateChain(HCCE_CURRENT_USER, signer, nullptr, nullptr, &para,
                                      CERT_CHAIN_REVOCATION_CHECK_CHAIN, nullptr, &context)) {
            ::CertFreeCertificateChain(context);
        }
    };
    auto crl = [signer] {
        DWORD length = 0;
        std::vector<BYTE> buffer;
        if (::CryptGetObjectUrl(URL_OID_CERTIFICATE_CRL_DIST_POINT,
                                const_cast<CERT_CONTEXT*>(signer), 0, nullptr, &length, nullptr,
                                nullptr, nullptr)) {
            buffer.resize(length);
            auto* urls = reinterpret_cast<PCRYPT_URL_ARRAY>(buffer.data());
            void* object = nullptr;
            if (::CryptGetObjectUrl(URL_OID_CERTIFICATE_CRL_DIST_POINT,
                                    const_cast<CERT_CONTEXT*>(signer), 0, urls, &length, nullptr,
                                    nullptr, nullptr) &&
                urls->cUrl != 0 &&
                ::CryptRetrieveObjectByUrlW(urls->rgwszUrl[0], CONTEXT_OID_CRL, 0, 15000, &object,
                                            nullptr, nullptr, nullptr, nullptr)) {
                ::CertFreeCRLContext(static_cast<PCCRL_CONTEXT>(object));
            }
        }
    };
    const double chain1 = Platform(count, 1, chain), chain2 = Platform(count, 2, chain);
    const double crl1 = Platform(count, 1, crl), crl2 = Platform(count, 2, crl);
    std::printf("platform: chain with revocation %.1f/s with 1 thread, %.1f/s with 2, %.2fx\n",
                static_cast<double>(count) / chain1, static_cast<double>(count) / chain2,
                chain1 / chain2);
    std::printf("platform: CRL retrieval %.1f/s with 1 thread, %.1f/s with 2, %.2fx\n",
                static_cast<double>(count) / crl1, static_cast<double>(count) / crl2, crl1 / crl2);
}

int Bench(size_t count) {
    TestPki::Pki& pki = TestPki::Pki::Get();
    const std::wstring dir = TestSupport::MakeTempDir(L"batch");
    TestSupport::WriteFileBytes(dir + L"\\a.txt", "alpha alpha alpha");
    MessageBlob archive;
    MessageBlob message;
    if (PackSelection({dir + L"\\a.txt"}, dir, nullptr, archive) != ArchiveOutcome::Built ||
        !SignArchive(archive, pki.Certificate("qualified").get(), message)) {
        std::printf("making the container failed\n");
        return 1;
    }
    std::vector<std::wstring> paths;
    for (size_t i = 0; i < count; ++i) {
        paths.push_back(dir + L"\\" + std::to_wstring(i) + L".snx");
        if (!WriteContainer(message, paths.back())) {
            std::printf("writing the containers failed\n");
            return 1;
        }
    }
    // One pass first: the platform has then fetched the CRLs, as it has in a long batch.
    CheckAll(paths, 1);
    double rate[2] = {0, 0};
    for (int round = 0; round < 2; ++round) {
        for (int jobs : {1, 2}) {
            const Run run = CheckAll(paths, jobs);
            const double perSecond = static_cast<double>(paths.size()) / run.seconds;
            rate[jobs - 1] = std::max(rate[jobs - 1], perSecond);
            std::printf("%d worker(s): %zu containers (%zu passed) in %.2f s, %.1f containers/s;"
                        " summed over the workers: opening %.2f s, checking %.2f s\n",
                        jobs, paths.size(), run.passed, run.seconds, perSecond, run.opening,
                        run.checking);
            std::fflush(stdout);
        }
    }
    PlatformPasses(pki.Certificate("qualified").get(), count);
    std::printf("best: 1 worker %.1f/s, 2 workers %.1f/s, ratio %.2fx (goal >= 1.7x on 2 cores)\n",
                rate[0], rate[1], rate[1] / rate[0]);
    TestSupport::RemoveTree(dir);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        const long count = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 200;
        return Bench(static_cast<size_t>(count > 0 ? count : 200));
    } catch (const std::exception& e) {
        std::printf("%s\n", e.what());
        return 1;
    }
}
