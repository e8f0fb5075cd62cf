#include "base/Lock.h"

#include <windows.h>

#include <new>

namespace {

CRITICAL_SECTION* Section(unsigned char* p) { return std::launder(reinterpret_cast<CRITICAL_SECTION*>(p)); }

}  // namespace

CLock::CLock()
{
    static_assert(sizeof(CRITICAL_SECTION) <= sizeof(m_Section), "the section fits its room");
    InitializeCriticalSection(new (m_Section) CRITICAL_SECTION);
}
CLock::~CLock() { DeleteCriticalSection(Section(m_Section)); }
void CLock::lock() { EnterCriticalSection(Section(m_Section)); }
bool CLock::try_lock() { return TryEnterCriticalSection(Section(m_Section)) != 0; }
void CLock::unlock() { LeaveCriticalSection(Section(m_Section)); }
