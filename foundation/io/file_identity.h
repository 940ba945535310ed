// Whether two paths name one file: by volume and file index where both can be opened (another
// spelling, a short name or a link reaches the same file), and by full path in any case.
#pragma once

#include <string>

namespace MHFX::IO {

bool IsSameFile(const std::wstring& a, const std::wstring& b);

} // namespace MHFX::IO
