// Archives made to hurt: names that lead out of the destination, data that expands past its
// declared size, headers that disagree, damaged and truncated archives, and thousands of
// random corruptions of a real archive.
#include "zip_test_util.h"

#include "zip/zip_exception.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

using namespace ZipTest;
using TestSupport::Narrow;

namespace {

int CodeOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const CZipException& e) {
        return e.GetCode();
    }
    return 0;
}

// Python helpers that write records by hand, so each field can lie.
const char* const rawZip = R"PY(
import struct, zlib, zipfile
def local(name, method, crc, csize, usize, flags=0):
    return struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, flags, method, 0, 0x5521,
                       crc, csize, usize, len(name), 0) + name
def central(name, method, crc, csize, usize, offset, flags=0, attr=0x81b40020):
    return struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 20, 20, flags, method, 0, 0x5521,
                       crc, csize, usize, len(name), 0, 0, 0, 0, attr, offset) + name
def end(count, size, offset, comment=b''):
    return struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, count, count, size, offset,
                       len(comment)) + comment
def deflate(data):
    c = zlib.compressobj(6, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()
def build(path, entries):
    body, cd = b'', b''
    for e in entries:
        name = e['name'].encode()
        data = e['data']
        lo = dict(method=e['method'], crc=e['crc'], csize=len(data), usize=e['usize'])
        lo.update(e.get('local', {}))
        cd += central(name, e['method'], e['crc'], e.get('csize', len(data)), e['usize'], len(body))
        body += local(name, lo['method'], lo['crc'], lo['csize'], lo['usize']) + data
    with open(path, 'wb') as f:
        f.write(body + cd + end(len(entries), len(cd), len(body)))
)PY";

class ZipHostile : public ::testing::Test {
protected:
    void SetUp() override {
        dir = TestSupport::MakeTempDir(L"hostile");
        box = TestSupport::MakeTempDir(L"box");
        dest = box + L"\\level\\dest";
    }
    std::string Load(const std::wstring& name) {
        return TestSupport::ReadFileBytes(dir + L"\\" + name);
    }
    std::wstring dir, box, dest;
};

} // namespace

TEST_F(ZipHostile, NamesLeadingOutOfTheFolderAreRefused) {
    const std::string script = R"PY(
import zipfile
names = ['../evil1.txt', 'a/../../evil2.txt', '..\\evil3.txt', 'a\\..\\..\\evil4.txt',
         '/abs5.txt', '\\abs6.txt', 'C:\\evil7.txt', 'C:evil8.txt', 'c:/evil9.txt',
         '\\\\server\\share\\evil10.txt', '//server/share/evil11.txt',
         '\\\\?\\C:\\evil12.txt', '\\\\.\\C:\\evil13.txt', 'good14.txt:stream',
         'dir/x.txt::$DATA', 'CON', 'nul.txt', 'aux.tar.gz', 'COM1', 'lpt9.log', 'sub/PRN',
         'con .txt', 'Com3.', 'prn/inside.txt', 'CONIN$', '..', '...', 'dir/. ./evil15.txt',
         'dir/../../evil16.txt', '../evildir/', 'dir/..', 'a/.../evil17.txt',
         'tab\there.txt']
with zipfile.ZipFile('names.zip', 'w') as z:
    z.writestr('ok/fine.txt', b'fine')
    for n in names:
        z.writestr(n, b'evil')
print(len(names))
)PY";
    const auto result = RunPython(script, dir);
    ASSERT_EQ(0, result.exitCode) << result.output;
    const int count = std::stoi(result.output);
    const std::string bytes = Load(L"names.zip");
    CZipMemFile memory(bytes.data(), bytes.size());
    CZipArchive archive;
    ASSERT_TRUE(archive.Open(memory, CZipArchive::zipOpenReadOnly));
    ASSERT_EQ(count + 1, archive.GetCount());
    EXPECT_TRUE(archive.ExtractFile(0, dest));
    for (ZipIndex i = 1; i < archive.GetCount(); ++i) {
        const std::wstring name = archive.GetFileHeader(i)->GetFileName();
        for (bool fullPath : {true, false}) {
            EXPECT_EQ(CZipException::badZipFile,
                      CodeOf([&] { archive.ExtractFile(i, dest, fullPath); }))
                << Narrow(name) << " full path " << fullPath;
        }
    }
    // A caller's new name goes through the same gate.
    EXPECT_EQ(CZipException::badZipFile,
              CodeOf([&] { archive.ExtractFile(0, dest, true, L"..\\evil.txt"); }));
    EXPECT_EQ((std::vector<std::wstring>{L"level", L"level\\dest", L"level\\dest\\ok",
                                         L"level\\dest\\ok\\fine.txt"}),
              ListTree(box));
    for (const std::wstring root : {L"C:\\", L"Z:\\"}) {
        for (const wchar_t* name : {L"abs5.txt", L"abs6.txt", L"evil7.txt", L"evil.txt"}) {
            EXPECT_FALSE(Exists(root + name)) << Narrow(root + name);
        }
    }
    for (const std::wstring& entry : ListTree(TestSupport::ScratchRoot())) {
        EXPECT_EQ(std::wstring::npos, entry.find(L"evil")) << Narrow(entry);
    }
}

TEST_F(ZipHostile, DataNeverExpandsPastTheDeclaredSize) {
    const std::string script = std::string(rawZip) + R"PY(
big = bytes(20 * 1024 * 1024)
bomb = deflate(big)
build('bomb.zip', [dict(name='bomb.txt', data=bomb, method=8, usize=1000,
                        crc=zlib.crc32(big[:1000]))])
build('bomb_crc.zip', [dict(name='bomb.txt', data=bomb, method=8, usize=1000,
                            crc=zlib.crc32(big))])
plain = bytes(range(256)) * 20
build('stored.zip', [dict(name='stored.bin', data=plain, method=0, usize=100,
                          crc=zlib.crc32(plain[:100]), local=dict(csize=len(plain)))])
print(len(bomb))
)PY";
    const auto result = RunPython(script, dir);
    ASSERT_EQ(0, result.exitCode) << result.output;
    ASSERT_LT(std::stoi(result.output), 100000);

    CZipArchive archive;
    const std::string bomb = Load(L"bomb.zip");
    CZipMemFile bombFile(bomb.data(), bomb.size());
    ASSERT_TRUE(archive.Open(bombFile, CZipArchive::zipOpenReadOnly));
    EXPECT_TRUE(archive.ExtractFile(0, dest));
    EXPECT_EQ(std::string(1000, '\0'), TestSupport::ReadFileBytes(dest + L"\\bomb.txt"));
    archive.Close();

    const std::string bombCrc = Load(L"bomb_crc.zip");
    CZipMemFile bombCrcFile(bombCrc.data(), bombCrc.size());
    ASSERT_TRUE(archive.Open(bombCrcFile, CZipArchive::zipOpenReadOnly));
    EXPECT_EQ(CZipException::badCrc, CodeOf([&] { archive.ExtractFile(0, dest + L"\\2"); }));
    // The unverified data is not left behind, under its name or any other.
    EXPECT_TRUE(ListTree(dest + L"\\2").empty());
    archive.Close();

    const std::string stored = Load(L"stored.zip");
    CZipMemFile storedFile(stored.data(), stored.size());
    ASSERT_TRUE(archive.Open(storedFile, CZipArchive::zipOpenReadOnly));
    EXPECT_TRUE(archive.ExtractFile(0, dest));
    EXPECT_EQ(100u, TestSupport::ReadFileBytes(dest + L"\\stored.bin").size());
    archive.Close();
}

TEST_F(ZipHostile, DisagreeingAndDamagedRecords) {
    const std::string script = std::string(rawZip) + R"PY(
data = b'some text that compresses, some text that compresses' * 10
packed = deflate(data)
crc = zlib.crc32(data)
good = dict(name='a.txt', data=packed, method=8, usize=len(data), crc=crc)
build('good.zip', [good])
build('method.zip', [dict(good, local=dict(method=0))])
build('localcrc.zip', [dict(good, local=dict(crc=crc ^ 1))])
build('localsize.zip', [dict(good, local=dict(usize=len(data) + 1))])
build('crc.zip', [dict(good, crc=crc ^ 0x80000000)])
build('longer.zip', [dict(good, csize=len(packed) + 100000)])
build('shortdata.zip', [dict(good, data=packed[:20])])
)PY";
    const auto result = RunPython(script, dir);
    ASSERT_EQ(0, result.exitCode) << result.output;

    auto extract = [&](const std::wstring& name) {
        const std::string bytes = Load(name);
        CZipMemFile file(bytes.data(), bytes.size());
        CZipArchive archive;
        archive.Open(file, CZipArchive::zipOpenReadOnly);
        return archive.ExtractFile(0, dest + L"\\" + name);
    };
    EXPECT_TRUE(extract(L"good.zip"));
    for (const wchar_t* name : {L"method.zip", L"localcrc.zip", L"localsize.zip"}) {
        EXPECT_EQ(CZipException::badZipFile, CodeOf([&] { extract(name); })) << Narrow(name);
    }
    EXPECT_EQ(CZipException::badCrc, CodeOf([&] { extract(L"crc.zip"); }));
    EXPECT_EQ(CZipException::badZipFile, CodeOf([&] { extract(L"longer.zip"); }));
    // Data that ends before its stream does: incomplete, not a crash or a hang.
    bool complete = true;
    const int code = CodeOf([&] { complete = extract(L"shortdata.zip"); });
    EXPECT_TRUE(code != 0 || !complete) << code;

    // Truncated at every length: a clear failure each time.
    const std::string good = Load(L"good.zip");
    for (size_t length = 0; length < good.size(); ++length) {
        const std::string cut = good.substr(0, length);
        CZipMemFile file(cut.data(), cut.size());
        CZipArchive archive;
        EXPECT_NE(0, CodeOf([&] {
                      archive.Open(file, CZipArchive::zipOpenReadOnly);
                      archive.ExtractFile(0, dest + L"\\cut");
                  }))
            << length;
    }

    // End records pointing at impossible places.
    const size_t endPos = good.size() - 22;
    auto patched = [&](size_t offset, uint32_t value, int width) {
        std::string bytes = good;
        for (int i = 0; i < width; ++i) {
            bytes[endPos + offset + i] = static_cast<char>(value >> (8 * i));
        }
        return bytes;
    };
    const std::string bad[] = {
        patched(16, 0xFFFFFF00, 4), // directory offset past the end
        patched(12, 0x7FFFFFFF, 4), // directory larger than the archive
        patched(16, 1, 4),          // directory starting inside a local header
        patched(10, 1000, 2),       // more entries than headers
        patched(12, 0, 4),          // no directory but one entry
    };
    for (size_t i = 0; i < std::size(bad); ++i) {
        const std::string& bytes = bad[i];
        CZipMemFile file(bytes.data(), bytes.size());
        CZipArchive archive;
        int result = CodeOf([&] {
            archive.Open(file, CZipArchive::zipOpenReadOnly);
            if (!archive.ExtractFile(0, dest + L"\\bad")) {
                throw CZipException(0);
            }
        });
        EXPECT_NE(0, result) << i;
        EXPECT_NE(CZipException::memError, result) << i;
    }
}

// Several thousand truncated and bit-flipped copies of a real archive are opened, listed and
// extracted: every failure is a CZipException and nothing lands outside the folder.
TEST_F(ZipHostile, CorruptedVariantsFailCleanly) {
    const std::string zip = PackFiles(dir + L"\\src", {{L"text.txt", TextBytes(3000, 21)},
                                                       {L"sub\\data.bin", RandomBytes(400, 22)},
                                                       {L"sub\\deep\\tiny.txt", "tiny"},
                                                       {L"empty.txt", ""}});
    std::mt19937 random(1234);
    int opened = 0;
    int extracted = 0;
    int other = 0;
    const ULONGLONG start = ::GetTickCount64();
    for (int variant = 0; variant < 3000; ++variant) {
        std::string bytes = zip;
        if (variant % 4 == 0) {
            bytes.resize(random() % bytes.size());
        } else {
            const int flips = 1 + variant % 3;
            for (int i = 0; i < flips; ++i) {
                const size_t at = random() % bytes.size();
                bytes[at] = static_cast<char>(bytes[at] ^ (1 << (random() % 8)));
            }
        }
        try {
            CZipMemFile file(bytes.data(), bytes.size());
            CZipArchive archive;
            archive.Open(file, CZipArchive::zipOpenReadOnly);
            ++opened;
            for (ZipIndex i = 0; i < archive.GetCount(); ++i) {
                CZipFileHeader info;
                archive.GetFileInfo(info, i);
                archive.FindFile(info.GetFileName());
                info.IsDirectory();
                try {
                    if (archive.ExtractFile(i, dest, variant % 2 == 0)) {
                        ++extracted;
                    }
                } catch (const CZipException&) {
                }
            }
        } catch (const CZipException&) {
        } catch (...) {
            ++other;
        }
    }
    EXPECT_EQ(0, other);
    EXPECT_GT(opened, 800);
    EXPECT_GT(extracted, 800);
    for (const std::wstring& entry : ListTree(box)) {
        EXPECT_EQ(0u, entry.rfind(L"level", 0)) << Narrow(entry);
    }
    std::printf("variants: %d opened, %d extracted, %llu ms\n", opened, extracted,
                static_cast<unsigned long long>(::GetTickCount64() - start));
}
