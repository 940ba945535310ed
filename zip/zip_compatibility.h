// Conversions between what an archive stores and what the platform uses: attribute words of
// the systems of origin, entry names in code pages, and DOS dates and times. Pure functions:
// no file is touched.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace ZipCompatibility {

enum System {
    zcDosFat = 0,
    zcUnix = 3,
    zcOs2Hpfs = 6,
    zcMacintosh = 7,
    zcNtfs = 10,
};

// Windows attribute bits this layer deals with.
constexpr uint32_t attrReadOnly = 0x01;
constexpr uint32_t attrHidden = 0x02;
constexpr uint32_t attrDirectory = 0x10;
constexpr uint32_t attrArchive = 0x20;

bool IsSystemSupported(int system);

// Converts an attribute word of `fromSystem` to one of `toSystem` through Windows bits;
// CZipException 117 when either system is unknown.
uint32_t ConvertAttributes(uint32_t attributes, int fromSystem, int toSystem);
uint32_t UnixModeToWindows(uint32_t mode);
uint32_t WindowsToUnixMode(uint32_t attributes);
// External attributes written for system 0: Windows bits low, the derived Unix mode high.
uint32_t DosExternalAttributes(uint32_t windowsAttributes);

// Default code pages of names and comments for entries made on `system`.
unsigned DefaultNameCodePage(int system);
unsigned DefaultCommentCodePage(int system);

// Wide name to stored bytes: `\` becomes `/`, then the code page (unmappable characters
// become the code page's default character).
std::string EncodeName(const std::wstring& name, unsigned codePage);
// The same, but only when the code page holds every character exactly (no default
// character, no look-alike); false otherwise. For UTF-8, which needs its own mark, only
// names in plain ASCII.
bool EncodeNameExactly(const std::wstring& name, unsigned codePage, std::string& bytes);
// Stored bytes to text; false when the code page cannot convert them. The precomposed form
// is asked for where the code page accepts the request (UTF-8 and some others refuse it).
bool DecodeText(const std::string& bytes, unsigned codePage, std::wstring& text);
// Stored bytes to a wide name with `\` separators; CZipException 101 when the bytes cannot
// be converted at all.
std::wstring DecodeName(const std::string& bytes, unsigned codePage);

// DOS date and time of a calendar time; years up to 1980 give a year field of 0.
void PackDosDateTime(const std::tm& local, uint16_t& date, uint16_t& time);
// Broken-down (local) time of a DOS date and time; tm_mon is zero-based, tm_isdst is -1.
std::tm UnpackDosDateTime(uint16_t date, uint16_t time);
// Seconds since 1970 to DOS date and time in local time.
void TimeToDos(int64_t seconds, uint16_t& date, uint16_t& time);
// DOS date and time (local) to seconds since 1970; -1 when it cannot be represented.
int64_t DosToTime(uint16_t date, uint16_t time);

} // namespace ZipCompatibility
