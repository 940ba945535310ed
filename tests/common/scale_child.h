// A test run again in a child process at another DPI: Wine reads its LogPixels setting once
// per process, so each scale needs a program of its own.
#pragma once

#include <windows.h>

namespace TestSupport {

// Runs test `name` of this program in a child process with LogPixels set to `dpi` (put back
// afterwards); the child's exit code.
DWORD RunAtDpi(UINT dpi, const char* name);
// The DPI this process was started for by RunAtDpi; 0 in a normal run.
UINT ChildDpi();

} // namespace TestSupport
