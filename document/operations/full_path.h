// The full path of a name as Windows resolves it (relative names against the current
// folder, `.` and `..` removed), for callers that compare or show paths.
#pragma once

#include <string>

namespace Dossiq::Documents {

// Unchanged when the system cannot make one (an empty or malformed name).
std::wstring FullPathOf(const std::wstring& path);

} // namespace Dossiq::Documents
