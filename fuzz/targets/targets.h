// The fuzz targets: each takes one input, must never crash, hang or grow without bound,
// and aborts when an invariant of its parser breaks. Built natively for libFuzzer and into
// the Windows test program that replays the kept inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace DossiqFuzz {

using TargetFunction = int (*)(const uint8_t* data, size_t size);

struct Target {
    const char* name; // also the folder of its seeds and regressions
    TargetFunction run;
};

int ZipEndRecord(const uint8_t* data, size_t size);
int ZipCentralDir(const uint8_t* data, size_t size);
int ZipEntries(const uint8_t* data, size_t size);
int ZipExtract(const uint8_t* data, size_t size);
int DerReader(const uint8_t* data, size_t size);
int EnvelopeParser(const uint8_t* data, size_t size);
int TstInfoDecoder(const uint8_t* data, size_t size);
int UnsignedAttributes(const uint8_t* data, size_t size);

extern const Target kTargets[8];

// Reports a broken invariant and ends the process, so that the fuzzer keeps the input.
[[noreturn]] void Violation(const char* what);

// Restricts every write of the parsers to `root` where the platform layer can (natively);
// the extraction target also checks the folder afterwards on every platform.
void ConfineWrites(const std::string& root);

} // namespace DossiqFuzz
