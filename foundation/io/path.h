// Path string operations in the shape of a managed runtime's Path class. Both separators
// are accepted; `\` is produced.
#pragma once

// The operations below share names with Win32 macros (GetTempPath): including the system
// header first keeps the renaming the same in every file.
#include <windows.h>

#include <cstddef>
#include <string>

namespace MHFX::IO {

class Path {
public:
    // The longest path, terminator included, and the longest folder part of one.
    static constexpr std::size_t MaxPath = 260;
    static constexpr std::size_t MaxDirectoryLength = 248;

    // Throws ArgumentException for a double quote, <, >, | or a control character.
    static void CheckInvalidPathChars(const std::wstring& path);

    static std::wstring Combine(const std::wstring& path1, const std::wstring& path2);
    static std::size_t GetRootLength(const std::wstring& path);
    static std::wstring GetDirectoryName(const std::wstring& path);
    static std::wstring GetFileName(const std::wstring& path);
    static std::wstring GetExtension(const std::wstring& path);

    // The name to show for a path: the folder's own name for an existing folder, else the
    // file name.
    static std::wstring GetItemName(const std::wstring& path);

    static std::wstring GetFullPath(const std::wstring& path);
    static std::wstring GetTempPath();

    // `path` relative to the folder `rootFolder`, as the shell forms it (".\a\b.txt").
    static std::wstring GetRelativePath(const std::wstring& rootFolder, const std::wstring& path);

    static bool IsDirectorySeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

    // `text` without leading and trailing white space (iswspace).
    static std::wstring TrimWhiteSpace(const std::wstring& text);

private:
    static std::wstring Normalize(const std::wstring& path, bool fullCheck);
};

} // namespace MHFX::IO
