#include "zip/zip_file_header.h"

#include "zip/zip_bytes.h"
#include "zip/zip_compatibility.h"
#include "zip/zip_exception.h"
#include "zip/zip_extra_field.h"

#include <windows.h>

using namespace ZipBytes;

namespace {

constexpr uint16_t flagUtf8 = 0x800;
constexpr uint16_t methodWinZipAes = 99;

void CheckLength(const std::string& bytes) {
    if (bytes.size() > 0xFFFF) {
        throw CZipException(CZipException::tooLongData);
    }
}

std::wstring DecodeComment(const std::string& bytes, unsigned codePage) {
    std::wstring text;
    // An unreadable comment does not keep the entry from being read.
    ZipCompatibility::DecodeText(bytes, codePage, text);
    return text;
}

} // namespace

CZipFileHeader::CZipFileHeader()
    : m_versionMadeBy(20 | ZipCompatibility::zcDosFat << 8),
      m_nameCodePage(ZipCompatibility::DefaultNameCodePage(ZipCompatibility::zcDosFat)),
      m_commentCodePage(ZipCompatibility::DefaultCommentCodePage(ZipCompatibility::zcDosFat)) {}

std::wstring CZipFileHeader::GetFileName(bool withPath) const {
    if (withPath) {
        return m_fileName;
    }
    std::wstring name = m_fileName;
    while (!name.empty() && (name.back() == L'\\' || name.back() == L'/')) {
        name.pop_back();
    }
    const size_t slash = name.find_last_of(L"\\/");
    return slash == std::wstring::npos ? name : name.substr(slash + 1);
}

void CZipFileHeader::SetSystemCompatibility(int system) {
    m_versionMadeBy = static_cast<uint16_t>((m_versionMadeBy & 0xFF) | (system & 0xFF) << 8);
}

uint32_t CZipFileHeader::GetSystemAttr() const {
    const int system = GetSystemCompatibility();
    const bool trailingSeparator =
        !m_fileName.empty() && (m_fileName.back() == L'\\' || m_fileName.back() == L'/');
    if (!ZipCompatibility::IsSystemSupported(system)) {
        return trailingSeparator ? ZipCompatibility::attrDirectory : ZipCompatibility::attrArchive;
    }
    const uint32_t word =
        system == ZipCompatibility::zcUnix ? m_externalAttr >> 16 : m_externalAttr & 0xFFFF;
    if (word == 0 && trailingSeparator) {
        return ZipCompatibility::attrDirectory;
    }
    return ZipCompatibility::ConvertAttributes(word, system, ZipCompatibility::zcDosFat);
}

void CZipFileHeader::SetSystemAttr(uint32_t windowsAttributes) {
    const int system = GetSystemCompatibility();
    if (system == ZipCompatibility::zcDosFat) {
        m_externalAttr = ZipCompatibility::DosExternalAttributes(windowsAttributes);
    } else if (system == ZipCompatibility::zcUnix) {
        m_externalAttr = ZipCompatibility::WindowsToUnixMode(windowsAttributes) << 16;
    } else {
        m_externalAttr = ZipCompatibility::ConvertAttributes(windowsAttributes,
                                                             ZipCompatibility::zcDosFat, system);
    }
}

bool CZipFileHeader::IsDirectory() const {
    return (GetSystemAttr() & ZipCompatibility::attrDirectory) != 0;
}

int64_t CZipFileHeader::GetTime() const {
    return ZipCompatibility::DosToTime(m_modDate, m_modTime);
}

void CZipFileHeader::SetTime(int64_t seconds) {
    ZipCompatibility::TimeToDos(seconds, m_modDate, m_modTime);
}

void CZipFileHeader::EncodeName() {
    // A name its code page cannot hold whole is written as UTF-8 and marked so, as current
    // tools read it; a name that fits keeps the bytes archives always had.
    if (ZipCompatibility::EncodeNameExactly(m_fileName, m_nameCodePage, m_nameBytes)) {
        m_flags = static_cast<uint16_t>(m_flags & ~flagUtf8);
    } else {
        m_nameBytes = ZipCompatibility::EncodeName(m_fileName, CP_UTF8);
        m_nameCodePage = CP_UTF8;
        m_flags |= flagUtf8;
        // Info-ZIP as Debian ships it converts every name of an MS-DOS entry from code page
        // 437, marked or not; an NTFS entry keeps the same attribute word and its name.
        if (GetSystemCompatibility() == ZipCompatibility::zcDosFat) {
            SetSystemCompatibility(ZipCompatibility::zcNtfs);
        }
    }
    CheckLength(m_nameBytes);
}

std::string CZipFileHeader::EncodeLocal() const {
    CheckLength(m_nameBytes);
    CheckLength(m_localExtra);
    std::string out;
    out.reserve(localFixedSize + m_nameBytes.size() + m_localExtra.size());
    Append32(out, localSignature);
    Append16(out, m_versionNeeded);
    Append16(out, m_flags);
    Append16(out, m_method);
    Append16(out, m_modTime);
    Append16(out, m_modDate);
    Append32(out, m_crc32);
    Append32(out, m_comprSize);
    Append32(out, m_uncomprSize);
    Append16(out, static_cast<uint16_t>(m_nameBytes.size()));
    Append16(out, static_cast<uint16_t>(m_localExtra.size()));
    out += m_nameBytes;
    out += m_localExtra;
    return out;
}

std::string CZipFileHeader::EncodeCentral() const {
    std::string extra = m_centralExtra;
    // A name in another page than either kind of reader assumes (UTF-8 under the flag, the
    // system's default without it) gets the field: a UTF-8 name too, for the readers that
    // know nothing of the flag.
    const int system = GetSystemCompatibility();
    const bool utf8 = (m_flags & flagUtf8) != 0;
    const bool otherName = m_nameCodePage != ZipCompatibility::DefaultNameCodePage(system) ||
                           (utf8 && m_nameCodePage != CP_UTF8);
    // No comment is written in a code page of its own: an absent one needs no field.
    const bool otherComment =
        utf8 ? !m_commentBytes.empty() && m_commentCodePage != CP_UTF8
             : m_commentCodePage != ZipCompatibility::DefaultCommentCodePage(system);
    if (otherName || otherComment) {
        CodePageField field;
        field.hasNameCodePage = otherName;
        field.nameCodePage = m_nameCodePage;
        field.hasCommentCodePage = otherComment;
        field.commentCodePage = m_commentCodePage;
        CZipExtraField records = CZipExtraField::Parse(extra);
        records.Set(codePageFieldId, EncodeCodePageField(field));
        extra = records.Encode();
    }
    CheckLength(m_nameBytes);
    CheckLength(extra);
    CheckLength(m_commentBytes);
    std::string out;
    out.reserve(centralFixedSize + m_nameBytes.size() + extra.size() + m_commentBytes.size());
    Append32(out, centralSignature);
    Append16(out, m_versionMadeBy);
    Append16(out, m_versionNeeded);
    Append16(out, m_flags);
    Append16(out, m_method);
    Append16(out, m_modTime);
    Append16(out, m_modDate);
    Append32(out, m_crc32);
    Append32(out, m_comprSize);
    Append32(out, m_uncomprSize);
    Append16(out, static_cast<uint16_t>(m_nameBytes.size()));
    Append16(out, static_cast<uint16_t>(extra.size()));
    Append16(out, static_cast<uint16_t>(m_commentBytes.size()));
    Append16(out, m_diskStart);
    Append16(out, m_internalAttr);
    Append32(out, m_externalAttr);
    Append32(out, m_offset);
    out += m_nameBytes;
    out += extra;
    out += m_commentBytes;
    return out;
}

size_t CZipFileHeader::CentralRecordSize(const unsigned char* fixed) {
    return centralFixedSize + Get16(fixed + 28) + Get16(fixed + 30) + Get16(fixed + 32);
}

void CZipFileHeader::DecodeCentral(const unsigned char* data, size_t size) {
    if (size < centralFixedSize || Get32(data) != centralSignature ||
        size < CentralRecordSize(data)) {
        throw CZipException(CZipException::badZipFile);
    }
    m_versionMadeBy = Get16(data + 4);
    m_versionNeeded = Get16(data + 6);
    m_flags = Get16(data + 8);
    m_method = Get16(data + 10);
    m_modTime = Get16(data + 12);
    m_modDate = Get16(data + 14);
    m_crc32 = Get32(data + 16);
    m_comprSize = Get32(data + 20);
    m_uncomprSize = Get32(data + 24);
    const size_t nameLength = Get16(data + 28);
    const size_t extraLength = Get16(data + 30);
    const size_t commentLength = Get16(data + 32);
    m_diskStart = Get16(data + 34);
    m_internalAttr = Get16(data + 36);
    m_externalAttr = Get32(data + 38);
    m_offset = Get32(data + 42);
    const char* variable = reinterpret_cast<const char*>(data) + centralFixedSize;
    m_nameBytes.assign(variable, nameLength);
    m_centralExtra.assign(variable + nameLength, extraLength);
    m_commentBytes.assign(variable + nameLength + extraLength, commentLength);
    m_localExtra.clear();
    m_encryptionMethod = IsEncrypted() ? 0 : encryptionNone;

    const int system = GetSystemCompatibility();
    m_nameCodePage = ZipCompatibility::DefaultNameCodePage(system);
    m_commentCodePage = ZipCompatibility::DefaultCommentCodePage(system);
    if (m_flags & flagUtf8) {
        m_nameCodePage = m_commentCodePage = CP_UTF8;
    }
    const std::string* nameSource = &m_nameBytes;
    CodePageField field;
    const CZipExtraField records = CZipExtraField::Parse(m_centralExtra);
    if (const CZipExtraField::Record* record = records.Find(codePageFieldId)) {
        bool usable = false;
        field = ParseCodePageField(record->data, usable);
        if (usable) {
            if (field.hasNameCodePage) {
                m_nameCodePage = field.nameCodePage;
            }
            if (field.hasName) {
                nameSource = &field.name;
            }
            if (field.hasCommentCodePage) {
                m_commentCodePage = field.commentCodePage;
            }
        }
    }
    m_fileName = ZipCompatibility::DecodeName(*nameSource, m_nameCodePage);
    m_comment = DecodeComment(m_commentBytes, m_commentCodePage);
}

size_t CZipFileHeader::VerifyLocal(const unsigned char* local, size_t size) const {
    if (size < localFixedSize || Get32(local) != localSignature) {
        throw CZipException(CZipException::badZipFile);
    }
    const uint16_t flags = Get16(local + 6);
    const uint16_t method = Get16(local + 8);
    if (m_method == methodWinZipAes || method == methodWinZipAes) {
        throw CZipException(CZipException::noAES);
    }
    if ((flags & 0xF) != (m_flags & 0xF) || method != m_method) {
        throw CZipException(CZipException::badZipFile);
    }
    if (!HasDataDescriptor()) {
        const uint32_t crc = Get32(local + 14);
        const uint32_t comprSize = Get32(local + 18);
        const uint32_t uncomprSize = Get32(local + 22);
        if (crc != m_crc32 || uncomprSize != m_uncomprSize ||
            (comprSize != 0 && comprSize != m_comprSize)) {
            throw CZipException(CZipException::badZipFile);
        }
    }
    return static_cast<size_t>(Get16(local + 26)) + Get16(local + 28);
}

CZipFileHeader::CodePageField CZipFileHeader::ParseCodePageField(const std::string& data,
                                                                 bool& usable) {
    CodePageField field;
    usable = false;
    if (data.size() < 2) {
        throw CZipException(CZipException::badZipFile);
    }
    const auto* p = Bytes(data);
    if (p[0] >= 2) {
        return field; // a later format this reader does not know
    }
    const unsigned flags = p[1];
    const size_t needed = 2 + ((flags & 1) ? 4 : 0) + ((flags & 4) ? 4 : 0);
    if (data.size() < needed) {
        throw CZipException(CZipException::badZipFile);
    }
    size_t pos = 2;
    if (flags & 1) {
        field.hasNameCodePage = true;
        field.nameCodePage = Get32(p + pos);
        pos += 4;
    }
    if ((flags & 3) == 3) {
        const size_t nameLength = data.size() - needed;
        field.hasName = true;
        field.name = data.substr(pos, nameLength);
        pos += nameLength;
    }
    if (flags & 4) {
        field.hasCommentCodePage = true;
        field.commentCodePage = Get32(p + pos);
    }
    usable = true;
    return field;
}

std::string CZipFileHeader::EncodeCodePageField(const CodePageField& field) {
    std::string data;
    data.push_back(1);
    unsigned flags = 0;
    if (field.hasNameCodePage) {
        flags |= 1;
        if (field.hasName) {
            flags |= 2;
        }
    }
    if (field.hasCommentCodePage) {
        flags |= 4;
    }
    data.push_back(static_cast<char>(flags));
    if (field.hasNameCodePage) {
        Append32(data, field.nameCodePage);
        if (field.hasName) {
            data += field.name;
        }
    }
    if (field.hasCommentCodePage) {
        Append32(data, field.commentCodePage);
    }
    return data;
}
