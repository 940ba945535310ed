#pragma once

#include <windows.h>

#include <string>

namespace MHFX {

// What the system says about itself; read once per process.
struct OperatingSystem {
    DWORD Platform = 0; // dwPlatformId: 0, 1 or 2
    DWORD Major = 0;
    DWORD Minor = 0;
    DWORD Build = 0;
    DWORD ServicePack = 0; // (major << 16) | minor
    bool IsServer = false;
    bool Is64BitMachine = false; // the native processor, not this process
};

class Environment {
public:
    static const OperatingSystem& OSVersion();
    // A special folder by CSIDL, not created when missing.
    static std::wstring GetFolderPath(int folder);
};

} // namespace MHFX
