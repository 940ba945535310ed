// Keeps extraction inside its destination folder: which entry names may become files, and
// where an extracted entry lands.
#pragma once

#include <string>

namespace ZipPathGuard {

// False for names that could leave the folder or reach something other than a plain file:
// a rooted or UNC name, a drive or any colon (also alternate data streams), a component
// made only of dots and spaces ("..", "."), or a reserved device name (CON, NUL, COM1...)
// with or without extension. An empty name is safe (it means the folder itself).
bool IsSafeEntryName(const std::wstring& name);
bool IsReservedDeviceName(const std::wstring& component);

// The file an entry named `source` becomes below `destination`: the destination with one
// `\`, then the name without leading separators and drive (with path) or only its last
// component (without path). An empty name gives the destination itself.
std::wstring TargetPath(const std::wstring& destination, const std::wstring& source, bool withPath);

// True when `target` resolves to `folder` itself or a place below it.
bool IsInside(const std::wstring& folder, const std::wstring& target);

} // namespace ZipPathGuard
