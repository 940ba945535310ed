#include "zip_test_util.h"

#include <zlib.h>

#include <algorithm>
#include <random>

using namespace TestSupport;

namespace ZipTest {

HostResult RunPython(const std::string& script, const std::wstring& dir) {
    WriteFileBytes(dir + L"\\script.py", script);
    return RunHostIn(dir, "/usr/bin/python3 script.py");
}

std::string RandomBytes(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(random() & 0xFF);
    }
    return bytes;
}

std::string TextBytes(size_t size, uint32_t seed) {
    static const char* const words[] = {"archive ",     "document ", "signed ", "the ",    "and ",
                                        "certificate ", "of ",       "\r\n",    "folder ", "42 "};
    std::mt19937 random(seed);
    std::string text;
    text.reserve(size + 16);
    while (text.size() < size) {
        text += words[random() % 10];
    }
    text.resize(size);
    return text;
}

uint32_t Crc(const std::string& bytes) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

std::string Contents(const CZipMemFile& file) {
    return std::string(reinterpret_cast<const char*>(file.GetBuffer()),
                       static_cast<size_t>(file.GetLength()));
}

void WriteFile(const std::wstring& path, const std::string& content) {
    const size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos) {
        const std::wstring parent = path.substr(0, slash);
        for (size_t i = 3; i <= parent.size(); ++i) {
            if (i == parent.size() || parent[i] == L'\\') {
                ::CreateDirectoryW(parent.substr(0, i).c_str(), nullptr);
            }
        }
    }
    WriteFileBytes(path, content);
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {
void Walk(const std::wstring& root, const std::wstring& relative, std::vector<std::wstring>& out) {
    WIN32_FIND_DATAW data;
    const std::wstring base = relative.empty() ? root : root + L"\\" + relative;
    HANDLE find = ::FindFirstFileW((base + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        const std::wstring child = relative.empty() ? name : relative + L"\\" + name;
        out.push_back(child);
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            Walk(root, child, out);
        }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
}
} // namespace

std::vector<std::wstring> ListTree(const std::wstring& dir) {
    std::vector<std::wstring> out;
    Walk(dir, L"", out);
    std::sort(out.begin(), out.end());
    return out;
}

std::string PackFiles(const std::wstring& dir, const std::vector<SourceFile>& files) {
    ::CreateDirectoryW(dir.c_str(), nullptr);
    for (const SourceFile& file : files) {
        WriteFile(dir + L"\\" + file.name, file.content);
        if (file.attributes != 0) {
            ::SetFileAttributesW((dir + L"\\" + file.name).c_str(), file.attributes);
        }
    }
    CZipMemFile memory(1024);
    CZipArchive archive;
    archive.Open(memory, CZipArchive::zipCreate);
    for (const SourceFile& file : files) {
        archive.AddNewFile(dir + L"\\" + file.name, file.name, -1, 7, 65536);
    }
    archive.Close();
    return Contents(memory);
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        hex.push_back(digits[c >> 4]);
        hex.push_back(digits[c & 15]);
    }
    return hex;
}

std::string FromHex(const std::string& hex) {
    std::string bytes;
    auto value = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        if (!isxdigit(static_cast<unsigned char>(hex[i]))) {
            break;
        }
        bytes.push_back(static_cast<char>(value(hex[i]) << 4 | value(hex[i + 1])));
    }
    return bytes;
}

std::string PyBytes(const std::string& bytes) {
    return "bytes.fromhex('" + Hex(bytes) + "')";
}

} // namespace ZipTest
