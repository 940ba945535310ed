// Interoperability with the real tools: Info-ZIP's unzip and zipinfo and Python's zipfile
// read what the writer makes, and the reader handles what Python and Info-ZIP's zip make.
#include "zip_test_util.h"

#include "zip/zip_compatibility.h"
#include "zip/zip_exception.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>

using namespace ZipTest;
using TestSupport::Narrow;
using TestSupport::ShellQuote;
using TestSupport::UnixPath;

namespace {

int CodeOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const CZipException& e) {
        return e.GetCode();
    }
    return 0;
}

std::string DosTimeText(const CZipFileHeader& header) {
    const std::tm t = ZipCompatibility::UnpackDosDateTime(header.m_modDate, header.m_modTime);
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d.%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1,
                  t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

} // namespace

TEST(ZipInterop, OurArchivesPassUnzipZipinfoAndPython) {
    const std::wstring dir = TestSupport::MakeTempDir(L"ours");
    const std::vector<SourceFile> files = {
        {L"docs\\report.txt", TextBytes(300000, 11)},
        {L"image.bin", RandomBytes(100000, 12)},
        {L"tiny.txt", "abc"},
        {L"empty.txt", ""},
        {L"my file.txt", TextBytes(777, 13)},
        {L"ro.txt", "read only", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE},
    };
    const std::string zip = PackFiles(dir, files);
    ::SetFileAttributesW((dir + L"\\ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    TestSupport::WriteFileBytes(dir + L"\\ours.zip", zip);
    const std::string cd = "cd " + ShellQuote(UnixPath(dir)) + " && ";

    const auto test = TestSupport::RunHost(cd + "unzip -t ours.zip");
    EXPECT_EQ(0, test.exitCode) << test.output;
    EXPECT_NE(std::string::npos, test.output.find("No errors detected")) << test.output;

    // zipinfo: attributes, origin, sizes, method and time of every entry.
    const auto info = TestSupport::RunHost(cd + "zipinfo -l -T ours.zip");
    ASSERT_EQ(0, info.exitCode) << info.output;
    CZipMemFile memory(zip.data(), zip.size());
    CZipArchive archive;
    ASSERT_TRUE(archive.Open(memory, CZipArchive::zipOpenReadOnly));
    ASSERT_EQ(files.size(), archive.GetCount());
    std::map<std::string, std::string> lines; // name -> the fields before it
    std::istringstream stream(info.output);
    for (std::string line; std::getline(stream, line);) {
        std::istringstream fields(line);
        std::string field, head;
        for (int i = 0; i < 8 && fields >> field; ++i) {
            head += field + " ";
        }
        std::string name;
        std::getline(fields >> std::ws, name);
        if (line.size() > 10 && (line[0] == '-' || line[0] == 'd') && !name.empty()) {
            lines[name] = head;
        }
    }
    for (ZipIndex i = 0; i < archive.GetCount(); ++i) {
        const CZipFileHeader& h = *archive.GetFileHeader(i);
        std::string name = Narrow(h.GetFileName());
        std::replace(name.begin(), name.end(), '\\', '/');
        ASSERT_TRUE(lines.count(name)) << name << "\n" << info.output;
        std::istringstream fields(lines[name]);
        std::string mode, version, system, size, kind, compressed, method, time;
        fields >> mode >> version >> system >> size >> kind >> compressed >> method >> time;
        EXPECT_EQ(name == "ro.txt" ? "-r--r--r--" : "-rw-rw-r--", mode) << name;
        EXPECT_EQ("2.0", version);
        EXPECT_EQ("fat", system);
        EXPECT_EQ(std::to_string(h.m_uncomprSize), size) << name;
        EXPECT_EQ(std::to_string(h.m_comprSize), compressed) << name;
        EXPECT_EQ(h.m_uncomprSize < 5 ? "stor" : "defN", method) << name;
        EXPECT_EQ(DosTimeText(h), time) << name;
    }

    // Python reads every name, CRC and byte.
    const std::string script =
        "import zipfile, zlib\n"
        "with zipfile.ZipFile('ours.zip') as z:\n"
        "    assert z.testzip() is None\n"
        "    for i in z.infolist():\n"
        "        data = z.read(i)\n"
        "        assert zlib.crc32(data) == i.CRC\n"
        "        print(i.filename, '%08x' % i.CRC, len(data), data[:16].hex())\n";
    const auto py = RunPython(script, dir);
    ASSERT_EQ(0, py.exitCode) << py.output;
    std::string expected;
    for (const SourceFile& file : files) {
        std::string name = Narrow(file.name);
        std::replace(name.begin(), name.end(), '\\', '/');
        char crc[16];
        std::snprintf(crc, sizeof crc, "%08x", Crc(file.content));
        expected += name + " " + crc + " " + std::to_string(file.content.size()) + " " +
                    Hex(file.content.substr(0, 16)) + "\n";
    }
    EXPECT_EQ(expected, py.output);
}

// Archives made by the other tools: stored and deflated entries, folders, Unix origin,
// data descriptors, a comment, a self-extractor stub and the empty archive.
TEST(ZipInterop, ReadsAndExtractsArchivesOfPythonAndInfoZip) {
    const std::wstring dir = TestSupport::MakeTempDir(L"peer");
    const std::string script = R"PY(
import os, random, subprocess, zipfile, time
random.seed(5)
os.makedirs('tree/sub/deeper', exist_ok=True)
os.makedirs('tree/emptydir', exist_ok=True)
files = {
    'tree/text.txt': (b'line of text\n' * 5000),
    'tree/sub/random.bin': bytes(random.getrandbits(8) for _ in range(30000)),
    'tree/sub/deeper/small.txt': b'hi',
    'tree/zero.dat': b'',
    'tree/readonly.txt': b'do not touch\n',
}
stamp = time.mktime((2022, 8, 9, 10, 11, 12, 0, 0, -1))
for name, data in files.items():
    with open(name, 'wb') as f:
        f.write(data)
    os.utime(name, (stamp, stamp))
os.chmod('tree/readonly.txt', 0o444)
def run(cmd):
    subprocess.run(cmd, shell=True, check=True)
run('zip -q -r infozip.zip tree')
run('zip -q -0 -r infozip_stored.zip tree')
run('printf "an Info-ZIP comment\\n" | zip -q -z infozip.zip')
run('zip -q -r - tree | cat > infozip_stream.zip')
with open('stub.bin', 'wb') as f:
    f.write(b'MZ' + bytes(4094))
run('cat stub.bin infozip.zip > sfx.zip')
run('cp sfx.zip sfx_adjusted.zip && zip -q -A sfx_adjusted.zip')
with zipfile.ZipFile('python.zip', 'w') as z:
    z.comment = b'a Python comment'
    for root, dirs, names in os.walk('tree'):
        z.write(root)
        for n in names:
            p = os.path.join(root, n)
            z.write(p, compress_type=zipfile.ZIP_STORED if n.endswith('.bin') else zipfile.ZIP_DEFLATED)
class Pipe:
    def __init__(self, f): self.f = f
    def write(self, b): return self.f.write(b)
    def flush(self): pass
with open('python_stream.zip', 'wb') as raw:
    with zipfile.ZipFile(Pipe(raw), 'w', zipfile.ZIP_DEFLATED) as z:
        for name, data in files.items():
            info = zipfile.ZipInfo.from_file(name)
            info.compress_type = zipfile.ZIP_DEFLATED
            with z.open(info, 'w') as w:
                w.write(data)
with zipfile.ZipFile('empty.zip', 'w'):
    pass
for n in sorted(os.listdir('.')):
    if n.endswith('.zip'):
        with zipfile.ZipFile(n) as z:
            flags = sorted({i.flag_bits & 8 for i in z.infolist()})
            print(n, len(z.infolist()), flags)
)PY";
    const auto result = RunPython(script, dir);
    ASSERT_EQ(0, result.exitCode) << result.output;
    // The peers really wrote data descriptors where expected.
    EXPECT_NE(std::string::npos, result.output.find("infozip_stream.zip 9 [0, 8]"))
        << result.output;
    EXPECT_NE(std::string::npos, result.output.find("python_stream.zip 5 [8]")) << result.output;
    EXPECT_NE(std::string::npos, result.output.find("empty.zip 0 []")) << result.output;

    const std::map<std::wstring, std::string> expectedFiles = {
        {L"tree\\text.txt", TestSupport::ReadFileBytes(dir + L"\\tree\\text.txt")},
        {L"tree\\sub\\random.bin", TestSupport::ReadFileBytes(dir + L"\\tree\\sub\\random.bin")},
        {L"tree\\sub\\deeper\\small.txt", "hi"},
        {L"tree\\zero.dat", ""},
        {L"tree\\readonly.txt", "do not touch\n"},
    };
    ASSERT_EQ(30000u, expectedFiles.at(L"tree\\sub\\random.bin").size());
    struct {
        const wchar_t* archive;
        size_t entries;
        size_t folders;
        const char* comment;
        uint64_t before;
    } const cases[] = {
        {L"infozip.zip", 9, 4, "an Info-ZIP comment", 0},
        {L"infozip_stored.zip", 9, 4, "", 0},
        {L"infozip_stream.zip", 9, 4, "", 0},
        {L"sfx.zip", 9, 4, "an Info-ZIP comment", 4096},
        {L"sfx_adjusted.zip", 9, 4, "an Info-ZIP comment", 0},
        {L"python.zip", 9, 4, "a Python comment", 0},
        {L"python_stream.zip", 5, 0, "", 0},
        {L"empty.zip", 0, 0, "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.archive));
        const std::string bytes = TestSupport::ReadFileBytes(dir + L"\\" + c.archive);
        CZipMemFile memory(bytes.data(), bytes.size());
        CZipArchive archive;
        ASSERT_TRUE(archive.Open(memory, CZipArchive::zipOpenReadOnly));
        EXPECT_EQ(c.entries, archive.GetCount());
        EXPECT_EQ(c.entries - c.folders, archive.GetNumberOfFiles());
        EXPECT_EQ(c.comment, archive.GetGlobalComment());
        EXPECT_EQ(c.before, archive.GetBytesBeforeZip());
        const std::wstring out = dir + L"\\out_" + c.archive;
        for (ZipIndex i = 0; i < archive.GetCount(); ++i) {
            const CZipFileHeader& h = *archive.GetFileHeader(i);
            EXPECT_EQ(3, h.GetSystemCompatibility());
            ASSERT_TRUE(archive.ExtractFile(i, out)) << Narrow(h.GetFileName());
        }
        archive.Close();
        for (const auto& [name, content] : expectedFiles) {
            if (c.entries == 0) {
                break;
            }
            const std::wstring path = out + L"\\" + name;
            EXPECT_EQ(content, TestSupport::ReadFileBytes(path)) << Narrow(name);
            const DWORD attributes = ::GetFileAttributesW(path.c_str());
            EXPECT_EQ(name == L"tree\\readonly.txt", (attributes & FILE_ATTRIBUTE_READONLY) != 0)
                << Narrow(name);
            // Even seconds, local time: the DOS time is the source file's own time.
            struct _stat64 source {
            }, extracted{};
            ASSERT_EQ(0, ::_wstat64((dir + L"\\" + name).c_str(), &source));
            ASSERT_EQ(0, ::_wstat64(path.c_str(), &extracted));
            EXPECT_EQ(source.st_mtime, extracted.st_mtime) << Narrow(name);
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        if (c.folders != 0) {
            EXPECT_TRUE(::GetFileAttributesW((out + L"\\tree\\emptydir").c_str()) &
                        FILE_ATTRIBUTE_DIRECTORY);
        }
    }
}

TEST(ZipInterop, Zip64ArchiveOfPythonIsRefused) {
    const std::wstring dir = TestSupport::MakeTempDir(L"z64");
    const auto result = RunPython("import zipfile\n"
                                  "with zipfile.ZipFile('many.zip', 'w') as z:\n"
                                  "    for i in range(65536):\n"
                                  "        z.writestr('f%d' % i, b'')\n",
                                  dir);
    ASSERT_EQ(0, result.exitCode) << result.output;
    const std::string bytes = TestSupport::ReadFileBytes(dir + L"\\many.zip");
    ASSERT_NE(std::string::npos, bytes.find("PK\x06\x07"));
    CZipMemFile memory(bytes.data(), bytes.size());
    CZipArchive archive;
    EXPECT_EQ(CZipException::noZip64,
              CodeOf([&] { archive.Open(memory, CZipArchive::zipOpenReadOnly); }));
    EXPECT_TRUE(archive.IsClosed());
}
