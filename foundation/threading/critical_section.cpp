#include "foundation/threading/critical_section.h"

namespace MHFX {

CriticalSection::CriticalSection() {
    ::InitializeCriticalSection(&section_);
}

CriticalSection::~CriticalSection() {
    ::DeleteCriticalSection(&section_);
}

bool CriticalSection::Release() {
    ::LeaveCriticalSection(&section_);
    return true;
}

bool CriticalSection::Wait(DWORD /*timeoutMs*/) {
    ::EnterCriticalSection(&section_);
    return true;
}

} // namespace MHFX
