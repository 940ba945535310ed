// Extraction of every entry into a scratch folder: nothing may appear outside it, and no
// file may grow beyond what its entry declares.
#include "targets.h"

#include "zip/zip_archive.h"
#include "zip/zip_exception.h"
#include "zip/zip_mem_file.h"

#include <algorithm>
#include <filesystem>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

namespace DossiqFuzz {

namespace {

// Declared sizes above these are skipped: extraction honours them by design, and a bomb
// would only measure the disk.
constexpr uint32_t kMaxEntrySize = 1 << 20;
constexpr uint64_t kMaxTotalSize = 8 << 20;

// Entries may have been extracted read-only, which Windows will not delete.
void RemoveTree(const fs::path& path) {
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(path, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, error);
    }
    fs::remove_all(path, error);
}

struct Scratch {
    fs::path root; // holds only `out`
    fs::path out;

    Scratch() {
        std::error_code error;
        const fs::path base = fs::temp_directory_path(error);
        for (unsigned n = 0;; ++n) {
            root = base / ("dossiq-fuzz-" + std::to_string(std::random_device{}()) + "-" +
                           std::to_string(n));
            if (fs::create_directory(root, error)) {
                break;
            }
            if (n > 1000) {
                Violation("no scratch folder");
            }
        }
        out = root / "out";
    }
    ~Scratch() { RemoveTree(root); }
};

} // namespace

int ZipExtract(const uint8_t* data, size_t size) {
    static Scratch scratch;
    std::error_code error;
    if (!fs::is_empty(scratch.out, error)) {
        RemoveTree(scratch.out);
    }
    fs::create_directory(scratch.out, error);
    if (!fs::is_empty(scratch.out, error)) {
        Violation("scratch folder cannot be emptied");
    }
    ConfineWrites(scratch.out.string());

    CZipMemFile storage(data, size);
    CZipArchive archive;
    uint32_t largest = 0;
    try {
        archive.Open(storage, CZipArchive::zipOpenReadOnly);
        uint64_t total = 0;
        for (ZipIndex i = 0; i < archive.GetCount(); ++i) {
            const CZipFileHeader* header = archive.GetFileHeader(i);
            if (header->m_uncomprSize > kMaxEntrySize ||
                (total += header->m_uncomprSize) > kMaxTotalSize) {
                continue;
            }
            largest = std::max(largest, header->m_uncomprSize);
            try {
                archive.ExtractFile(i, scratch.out.wstring(), i % 2 == 0);
            } catch (const CZipException&) {
            }
        }
    } catch (const CZipException&) {
    }
    archive.Close();
    ConfineWrites({});

    for (auto it = fs::recursive_directory_iterator(scratch.root, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (error) {
            break;
        }
        const fs::path& path = it->path();
        const fs::path relative = path.lexically_relative(scratch.root);
        if (relative.empty() || *relative.begin() != "out") {
            Violation("extraction wrote outside its folder");
        }
        if (it->is_symlink(error)) {
            Violation("extraction made a link");
        }
        if (it->is_regular_file(error) && it->file_size(error) > largest) {
            Violation("extracted file larger than any declared size");
        }
    }
    return 0;
}

} // namespace DossiqFuzz
