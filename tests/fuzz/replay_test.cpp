// Every kept fuzz input (the corpus and the inputs that once crashed) through the real
// Windows build, and a short random mutation loop over the signed-message path, which only
// this build has. scripts/fuzz runs the loop longer through DOSSIQ_FUZZ_SECONDS.
#include <gtest/gtest.h>

#include "common/test_support.h"
#include "targets/targets.h"
#include "wine/signed_message.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <vector>

namespace fs = std::filesystem;

namespace DossiqFuzz {
void ConfineWrites(const std::string&) {} // the extraction target checks its folder itself
} // namespace DossiqFuzz

namespace {

std::vector<std::string> KeptInputs(const std::string& target, bool corpus, bool regressions) {
    std::vector<std::string> inputs;
    const fs::path base = fs::path(TestSupport::SourceDir()) / L"tests" / L"fuzz";
    std::vector<fs::path> dirs;
    if (corpus) {
        dirs.push_back(base / L"corpus" / TestSupport::Widen(target));
    }
    if (regressions) {
        dirs.push_back(base / L"regressions" / TestSupport::Widen(target));
    }
    for (const fs::path& dir : dirs) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(dir, error)) {
            if (entry.is_regular_file()) {
                inputs.push_back(TestSupport::ReadFileBytes(entry.path().wstring()));
            }
        }
    }
    return inputs;
}

const uint8_t* Bytes(const std::string& input) {
    return reinterpret_cast<const uint8_t*>(input.data());
}

TEST(FuzzReplay, KeptInputsOfEveryNativeTargetRunCleanly) {
    for (const DossiqFuzz::Target& target : DossiqFuzz::kTargets) {
        const std::vector<std::string> inputs = KeptInputs(target.name, true, true);
        EXPECT_FALSE(inputs.empty()) << "no kept corpus for " << target.name;
        for (const std::string& input : inputs) {
            EXPECT_EQ(0, target.run(Bytes(input), input.size())) << target.name;
        }
    }
}

TEST(FuzzReplay, SignedMessageSeedsOpenAndKeptInputsRunCleanly) {
    const std::wstring path = TestSupport::MakeTempDir(L"signed") + L"\\input.snx";
    const std::vector<std::string> seeds = KeptInputs("signed_message", true, false);
    ASSERT_FALSE(seeds.empty());
    int opened = 0;
    for (const std::string& seed : seeds) {
        opened += DossiqFuzz::SignedMessage(path, Bytes(seed), seed.size()) > 0 ? 1 : 0;
    }
    // The OpenSSL-signed seeds open; the enveloped ones are for nobody in this prefix.
    EXPECT_GE(opened, 3);
    for (const std::string& input : KeptInputs("signed_message", false, true)) {
        DossiqFuzz::SignedMessage(path, Bytes(input), input.size());
    }
}

// Random mutations of the seeds without coverage feedback. Each input is written to
// DOSSIQ_FUZZ_INPUT (if set) first, so that an input that kills the process is left there.
TEST(FuzzReplay, SignedMessageMutationLoop) {
    const char* secondsText = std::getenv("DOSSIQ_FUZZ_SECONDS");
    const double seconds = secondsText != nullptr ? std::atof(secondsText) : 3.0;
    const char* inputPath = std::getenv("DOSSIQ_FUZZ_INPUT");
    const std::wstring path = inputPath != nullptr
                                  ? TestSupport::WindowsPath(inputPath)
                                  : TestSupport::MakeTempDir(L"mutate") + L"\\input.snx";
    const std::vector<std::string> seeds = KeptInputs("signed_message", true, true);
    ASSERT_FALSE(seeds.empty());
    uint64_t state =
        0x9E3779B97F4A7C15ULL ^
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::map<int, uint64_t> outcomes;
    uint64_t executions = 0;
    const auto start = std::chrono::steady_clock::now();
    double elapsed = 0;
    do {
        std::string input = seeds[executions % seeds.size()];
        DossiqFuzz::Mutate(input, seeds[(executions * 7 + 3) % seeds.size()], state);
        ++outcomes[DossiqFuzz::SignedMessage(path, Bytes(input), input.size())];
        ++executions;
        elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    } while (elapsed < seconds);
    std::printf("signed_message executions=%llu exec/s=%.0f failed=%llu opened=%llu valid=%llu\n",
                static_cast<unsigned long long>(executions), executions / elapsed,
                static_cast<unsigned long long>(outcomes[0]),
                static_cast<unsigned long long>(outcomes[1]),
                static_cast<unsigned long long>(outcomes[2]));
    EXPECT_GT(outcomes[0], 0u); // mutations do break messages
}

// The same loop over extraction, with the platform's own path rules deciding where each
// entry lands (the native build only imitates them).
TEST(FuzzReplay, ExtractionMutationLoop) {
    const char* secondsText = std::getenv("DOSSIQ_FUZZ_SECONDS");
    const double seconds = secondsText != nullptr ? std::atof(secondsText) : 3.0;
    const char* inputPath = std::getenv("DOSSIQ_FUZZ_INPUT");
    const std::vector<std::string> seeds = KeptInputs("zip_extract", true, true);
    ASSERT_FALSE(seeds.empty());
    uint64_t state =
        0xD1B54A32D192ED03ULL ^
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    uint64_t executions = 0;
    const auto start = std::chrono::steady_clock::now();
    double elapsed = 0;
    do {
        std::string input = seeds[executions % seeds.size()];
        DossiqFuzz::Mutate(input, seeds[(executions * 7 + 3) % seeds.size()], state);
        if (inputPath != nullptr) {
            TestSupport::WriteFileBytes(TestSupport::WindowsPath(std::string(inputPath) + ".zip"),
                                        input);
        }
        EXPECT_EQ(0, DossiqFuzz::ZipExtract(Bytes(input), input.size()));
        ++executions;
        elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    } while (elapsed < seconds);
    std::printf("zip_extract_wine executions=%llu exec/s=%.0f\n",
                static_cast<unsigned long long>(executions), executions / elapsed);
}

} // namespace
