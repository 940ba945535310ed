// The Windows headers most sources include, parsed once for the whole build instead of once
// per source (see DossiqSubsystem.cmake). The standard library stays out: GCC then reports
// its own headers' warnings as ours.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wincrypt.h>
