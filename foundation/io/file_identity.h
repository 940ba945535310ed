// Paths as the system resolves them, without the rules Path::GetFullPath enforces: the full
// path of a name (relative names against the current folder, `.` and `..` removed), and
// whether two paths name one file: by volume and file index where both can be opened
// (another spelling, a short name or a link reaches the same file), and by full path in any
// case.
#pragma once

#include <string>

namespace MHFX::IO {

// False when the system cannot make one (an empty or malformed name).
bool TryGetFullPathName(const std::wstring& path, std::wstring& full);
// The full path, or `path` unchanged when the system cannot make one.
std::wstring FullPathOf(const std::wstring& path);

bool IsSameFile(const std::wstring& a, const std::wstring& b);

} // namespace MHFX::IO
