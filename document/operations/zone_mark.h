// The Internet zone mark (the Zone.Identifier stream) as the extraction carries it from a
// container to the files it writes. Streams are opened in their `\\?\` form, so that a path
// near the system's limit still reaches its stream, and a volume is found the way the system
// finds it (a share is its own volume, not the current drive).
#pragma once

#include <string>

namespace Dossiq::Documents {

// The mark of the Internet zone, for a mark that exists but cannot be read.
extern const char kInternetZoneMark[];

// The `\\?\` (or `\\?\UNC\`) form of the full path of `path`.
std::wstring ExtendedLengthPath(const std::wstring& path);
// The root of the volume that holds `path`, as GetVolumeInformationW takes it ("C:\",
// "\\server\share\"); empty when there is none.
std::wstring VolumeRootOf(const std::wstring& path);
// Whether that volume keeps named streams: a volume without them keeps files unmarked, as
// browsers leave them.
bool VolumeKeepsStreams(const std::wstring& path);

// The mark on `path`: empty when it has none, kInternetZoneMark when one is there but cannot
// be read (a file from the Internet must not pass for a local one).
std::string ReadZoneMark(const std::wstring& path);
bool WriteZoneMark(const std::wstring& path, const std::string& mark);

} // namespace Dossiq::Documents
