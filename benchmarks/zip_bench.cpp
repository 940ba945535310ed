// Packs about 100 MB of mixed compressible and incompressible files into an in-memory archive
// and extracts them again, and compares both with raw zlib deflate and inflate of the same
// bytes at the same settings (level -1, window bits -15, memory level 8).
//
//   wine zip_bench.exe [megabytes]
#include "bench_clock.h"
#include "zip/zip_archive.h"
#include "zip/zip_exception.h"
#include "zip/zip_mem_file.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

std::string Compressible(size_t size, std::mt19937& random) {
    static const char* const words[] = {"archive ",   "document ",    "signed ", "the ",
                                        "and ",       "of ",          "\r\n",    "folder ",
                                        "invoice ",   "2024-03-",     "total: ", "EUR ",
                                        "qualified ", "certificate ", "page ",   "section "};
    std::string text;
    text.reserve(size + 32);
    while (text.size() < size) {
        text += words[random() % 16];
        if (random() % 8 == 0) {
            text += std::to_string(random() % 100000);
            text += ' ';
        }
    }
    text.resize(size);
    return text;
}

std::string Incompressible(size_t size, std::mt19937& random) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i + 4 <= size; i += 4) {
        const uint32_t value = random();
        std::memcpy(&bytes[i], &value, 4);
    }
    return bytes;
}

void WriteWhole(const std::wstring& path, const std::string& bytes) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}

void RemoveFolder(const std::wstring& dir) {
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((dir + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name != L"." && name != L"..") {
                const std::wstring child = dir + L"\\" + name;
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveFolder(child);
                } else {
                    ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                    ::DeleteFileW(child.c_str());
                }
            }
        } while (::FindNextFileW(find, &data));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(dir.c_str());
}

// Raw deflate of each buffer into a preallocated block; returns the total compressed size.
size_t RawDeflate(const std::vector<std::string>& files, std::vector<std::string>& packed) {
    size_t total = 0;
    packed.resize(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        z_stream stream{};
        deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        std::string& out = packed[i];
        out.resize(deflateBound(&stream, static_cast<uLong>(files[i].size())));
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(files[i].data()));
        stream.avail_in = static_cast<uInt>(files[i].size());
        stream.next_out = reinterpret_cast<Bytef*>(out.data());
        stream.avail_out = static_cast<uInt>(out.size());
        deflate(&stream, Z_FINISH);
        out.resize(stream.total_out);
        total += stream.total_out;
        deflateEnd(&stream);
    }
    return total;
}

size_t RawInflate(const std::vector<std::string>& packed, const std::vector<std::string>& files,
                  std::string& scratch) {
    size_t total = 0;
    for (size_t i = 0; i < packed.size(); ++i) {
        z_stream stream{};
        inflateInit2(&stream, -MAX_WBITS);
        scratch.resize(std::max(scratch.size(), files[i].size()));
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed[i].data()));
        stream.avail_in = static_cast<uInt>(packed[i].size());
        stream.next_out = reinterpret_cast<Bytef*>(scratch.data());
        stream.avail_out = static_cast<uInt>(files[i].size());
        inflate(&stream, Z_FINISH);
        total += stream.total_out;
        inflateEnd(&stream);
    }
    return total;
}

// The other passes the archive makes over the same bytes: the files read in blocks, their
// CRC-32, and the extracted files written; together with raw deflate or inflate they are
// the floor an archive can reach.
double ReadPass(const std::wstring& source, const std::vector<std::wstring>& names) {
    std::vector<char> block(65536);
    const double start = Now();
    for (const std::wstring& name : names) {
        HANDLE file = ::CreateFileW((source + L"\\" + name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        DWORD read = 0;
        while (::ReadFile(file, block.data(), static_cast<DWORD>(block.size()), &read, nullptr) &&
               read != 0) {
        }
        ::CloseHandle(file);
    }
    return Now() - start;
}

double CrcPass(const std::vector<std::string>& files) {
    const double start = Now();
    uLong crc = 0;
    for (const std::string& file : files) {
        crc ^=
            crc32(0, reinterpret_cast<const Bytef*>(file.data()), static_cast<uInt>(file.size()));
    }
    const double seconds = Now() - start;
    return crc == 1 ? seconds + 1e-9 : seconds; // keeps the pass from being optimised away
}

double WritePass(const std::wstring& dir, const std::vector<std::wstring>& names,
                 const std::vector<std::string>& files) {
    ::CreateDirectoryW(dir.c_str(), nullptr);
    const double start = Now();
    for (size_t i = 0; i < files.size(); ++i) {
        const std::wstring path = dir + L"\\" + names[i];
        HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        for (size_t done = 0; done < files[i].size(); done += 65536) {
            const DWORD count = static_cast<DWORD>(std::min<size_t>(65536, files[i].size() - done));
            DWORD written = 0;
            ::WriteFile(file, files[i].data() + done, count, &written, nullptr);
        }
        ::CloseHandle(file);
    }
    const double seconds = Now() - start;
    RemoveFolder(dir);
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    const size_t megabytes = argc > 1 ? static_cast<size_t>(std::atoi(argv[1])) : 100;
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring root = std::wstring(temp) + L"dossiq-zip-bench";
    RemoveFolder(root);
    ::CreateDirectoryW(root.c_str(), nullptr);
    const std::wstring source = root + L"\\src";
    ::CreateDirectoryW(source.c_str(), nullptr);

    // Mixed sizes from 64 KiB to 6 MiB; half text, half random bytes.
    std::mt19937 random(2024);
    std::vector<std::string> files;
    std::vector<std::wstring> names;
    size_t raw = 0;
    while (raw < megabytes * 1024 * 1024) {
        const size_t size = 65536 + random() % (6 * 1024 * 1024);
        const bool text = files.size() % 2 == 0;
        files.push_back(text ? Compressible(size, random) : Incompressible(size, random));
        names.push_back(L"file" + std::to_wstring(files.size()) + (text ? L".txt" : L".bin"));
        WriteWhole(source + L"\\" + names.back(), files.back());
        raw += size;
    }
    const double mb = static_cast<double>(raw) / (1024.0 * 1024.0);
    std::printf("data: %zu files, %.1f MB (half compressible text, half random)\n", files.size(),
                mb);

    const int rounds = 3;
    double rawDeflate = 1e9, rawInflate = 1e9, write = 1e9, extract = 1e9, reading = 1e9, crc = 1e9,
           writing = 1e9;
    std::vector<std::string> packed;
    size_t packedTotal = 0;
    std::string scratch;
    uint64_t archiveLength = 0;
    try {
        for (int round = 0; round < rounds; ++round) {
            double t = Now();
            packedTotal = RawDeflate(files, packed);
            rawDeflate = std::min(rawDeflate, Now() - t);

            t = Now();
            RawInflate(packed, files, scratch);
            rawInflate = std::min(rawInflate, Now() - t);

            reading = std::min(reading, ReadPass(source, names));
            crc = std::min(crc, CrcPass(files));
            writing = std::min(writing, WritePass(root + L"\\plain", names, files));

            t = Now();
            // With room for the files, as the creation command makes it.
            CZipMemFile memory(1024, raw);
            CZipArchive archive;
            archive.Open(memory, CZipArchive::zipCreate);
            for (const std::wstring& name : names) {
                if (!archive.AddNewFile(source + L"\\" + name, name, -1, 7, 65536)) {
                    std::printf("adding %ls failed\n", name.c_str());
                    return 1;
                }
            }
            archive.Close();
            write = std::min(write, Now() - t);
            archiveLength = memory.GetLength();

            const std::wstring out = root + L"\\out" + std::to_wstring(round);
            t = Now();
            CZipArchive reader;
            reader.Open(memory, CZipArchive::zipOpenReadOnly);
            for (ZipIndex i = 0; i < reader.GetCount(); ++i) {
                if (!reader.ExtractFile(i, out, true, L"", 65536)) {
                    std::printf("extracting entry %u failed\n", i);
                    return 1;
                }
            }
            reader.Close();
            extract = std::min(extract, Now() - t);
            RemoveFolder(out);
        }
    } catch (const CZipException& e) {
        std::printf("CZipException %d: %ls\n", e.GetCode(), e.GetErrorDescription().c_str());
        return 1;
    }
    std::printf("archive: %.1f MB (raw deflate output %.1f MB)\n",
                static_cast<double>(archiveLength) / (1024.0 * 1024.0),
                static_cast<double>(packedTotal) / (1024.0 * 1024.0));
    std::printf("best of %d rounds:\n", rounds);
    std::printf("  raw zlib deflate  %7.3f s  %7.1f MB/s\n", rawDeflate, mb / rawDeflate);
    std::printf("  reading the files %7.3f s, CRC-32 %.3f s, writing them %.3f s\n", reading, crc,
                writing);
    std::printf("  archive write     %7.3f s  %7.1f MB/s  %.3fx raw deflate (goal <= 1.05), "
                "%.3fx raw deflate + reading + CRC-32\n",
                write, mb / write, write / rawDeflate, write / (rawDeflate + reading + crc));
    std::printf("  raw zlib inflate  %7.3f s  %7.1f MB/s\n", rawInflate, mb / rawInflate);
    std::printf("  archive extract   %7.3f s  %7.1f MB/s  %.3fx raw inflate (goal <= 1.3), "
                "%.3fx raw inflate + CRC-32 + writing the files\n",
                extract, mb / extract, extract / rawInflate,
                extract / (rawInflate + crc + writing));
    RemoveFolder(root);
    return 0;
}
