// A file that goes away while it is read: a host process cuts it to nothing as soon as a
// process of this test run opens or maps it, as a dropped network drive or a failing
// medium would (tests/common/cut_when_open.py).
#pragma once

#include <string>

namespace TestSupport {

class VanishingFile {
public:
    // Starts watching `path` and returns once the watcher is ready; throws when it is not.
    explicit VanishingFile(const std::wstring& path);
    VanishingFile(const VanishingFile&) = delete;
    VanishingFile& operator=(const VanishingFile&) = delete;

    // Whether the file was cut while open, waiting up to `timeoutMs` for the watcher.
    bool WasCut(unsigned timeoutMs = 60000) const;

private:
    std::wstring state_;
};

} // namespace TestSupport
