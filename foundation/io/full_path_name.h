// The full path of a name as the system resolves it (relative names against the current
// folder, `.` and `..` removed), without the rules Path::GetFullPath enforces: for callers
// that compare, confine or show paths and must not throw.
#pragma once

#include <string>

namespace MHFX::IO {

// False when the system cannot make one (an empty or malformed name).
bool TryGetFullPathName(const std::wstring& path, std::wstring& full);
// The full path, or `path` unchanged when the system cannot make one.
std::wstring FullPathOf(const std::wstring& path);

} // namespace MHFX::IO
