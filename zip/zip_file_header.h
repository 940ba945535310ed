// One entry of an archive: the fields of its central directory header, its name as text and
// as stored bytes, and the code pages of name and comment. Encodes and decodes the local and
// central header records; no file I/O happens here.
#pragma once

#include <cstdint>
#include <string>

class CZipFileHeader {
public:
    static constexpr uint32_t localSignature = 0x04034B50;
    static constexpr uint32_t centralSignature = 0x02014B50;
    static constexpr size_t localFixedSize = 30;
    static constexpr size_t centralFixedSize = 46;
    static constexpr uint16_t codePageFieldId = 0x5A4C;
    static constexpr int encryptionNone = 255;

    // The code-page extra field's content.
    struct CodePageField {
        bool hasNameCodePage = false;
        unsigned nameCodePage = 0;
        bool hasName = false; // the name itself, in the name code page
        std::string name;
        bool hasCommentCodePage = false;
        unsigned commentCodePage = 0;
    };

    // A header for an entry made on this system: MS-DOS origin, deflate, the machine's OEM
    // code page for the name and ANSI for the comment.
    CZipFileHeader();

    // Name with `\` separators, or only its last component.
    std::wstring GetFileName(bool withPath = true) const;
    void SetFileName(const std::wstring& name) { m_fileName = name; }
    const std::wstring& GetComment() const { return m_comment; }

    int GetSystemCompatibility() const { return m_versionMadeBy >> 8; }
    void SetSystemCompatibility(int system);
    // The attribute word in Windows bits, by the rules for reading (directories by their
    // trailing separator when the stored word says nothing).
    uint32_t GetSystemAttr() const;
    // Stores Windows attributes in the external attributes of the entry's system.
    void SetSystemAttr(uint32_t windowsAttributes);
    bool IsDirectory() const;
    bool IsEncrypted() const { return (m_flags & 1) != 0; }
    bool HasDataDescriptor() const { return (m_flags & 8) != 0; }
    bool HasTime() const { return m_modDate != 0 || m_modTime != 0; }

    // Seconds since 1970 of the stored local date and time, and back.
    int64_t GetTime() const;
    void SetTime(int64_t seconds);

    // Converts the name (and comment) into stored bytes with the header's code pages.
    void EncodeName();

    // Records. Encoding raises CZipException 110 when a name, extra field or comment does not
    // fit its 16-bit length.
    std::string EncodeLocal() const;
    std::string EncodeCentral() const;

    // Bytes of the complete central header whose first 46 bytes are at `fixed`.
    static size_t CentralRecordSize(const unsigned char* fixed);
    // Decodes one central header from `size` bytes and converts its name and comment;
    // CZipException 101 when the bytes are not a valid header.
    void DecodeCentral(const unsigned char* data, size_t size);
    // Checks a local header (30 bytes at `local`) against this header: 101 on any
    // disagreement, 120 for WinZip AES. Returns the bytes of name and extra field that follow.
    size_t VerifyLocal(const unsigned char* local, size_t size) const;

    static CodePageField ParseCodePageField(const std::string& data, bool& usable);
    static std::string EncodeCodePageField(const CodePageField& field);

    uint16_t m_versionMadeBy;
    uint16_t m_versionNeeded = 20;
    uint16_t m_flags = 0;
    uint16_t m_method = 8;
    uint16_t m_modTime = 0;
    uint16_t m_modDate = 0;
    uint32_t m_crc32 = 0;
    uint32_t m_comprSize = 0;
    uint32_t m_uncomprSize = 0;
    uint16_t m_diskStart = 0;
    uint16_t m_internalAttr = 0;
    uint32_t m_externalAttr = 0;
    uint32_t m_offset = 0; // of the local header, from the start of the archive

    std::string m_nameBytes;
    std::string m_centralExtra;
    std::string m_localExtra;
    std::string m_commentBytes;
    int m_encryptionMethod = encryptionNone;
    unsigned m_nameCodePage;
    unsigned m_commentCodePage;

private:
    std::wstring m_fileName;
    std::wstring m_comment;
};
