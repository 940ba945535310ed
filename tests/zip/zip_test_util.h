// Helpers of the ZIP tests: archives built from real files, Python as a peer, test data.
#pragma once

#include "common/test_support.h"
#include "zip/zip_archive.h"
#include "zip/zip_mem_file.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ZipTest {

// Runs a Python 3 script on the host; its working folder is `dir` (a Windows path).
TestSupport::HostResult RunPython(const std::string& script, const std::wstring& dir);

std::string RandomBytes(size_t size, uint32_t seed);
std::string TextBytes(size_t size, uint32_t seed);
uint32_t Crc(const std::string& bytes);

std::string Contents(const CZipMemFile& file);

struct SourceFile {
    std::wstring name; // relative, with `\`
    std::string content;
    DWORD attributes = 0; // set after writing when not 0
};

// Writes the files below `dir` (created) and packs them with the archive writer as the
// document layer does (level -1, options 7, 64 KiB buffer); returns the archive bytes.
std::string PackFiles(const std::wstring& dir, const std::vector<SourceFile>& files);

void WriteFile(const std::wstring& path, const std::string& content);
bool Exists(const std::wstring& path);
// Every file and folder below `dir`, relative, `\` separated, sorted.
std::vector<std::wstring> ListTree(const std::wstring& dir);

// A Python literal of the bytes, as bytes.fromhex('...').
std::string PyBytes(const std::string& bytes);
std::string Hex(const std::string& bytes);
std::string FromHex(const std::string& hex);

} // namespace ZipTest
