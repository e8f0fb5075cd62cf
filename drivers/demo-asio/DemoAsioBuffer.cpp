#include "drivers/demo-asio/DemoAsioBuffer.h"

#include <windows.h>

namespace {

unsigned char Pattern(size_t i)
{
    // Varies with the position, so bytes copied from elsewhere in it still show.
    return static_cast<unsigned char>(0xA5u ^ (i * 29u));
}

size_t PageSize()
{
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    return si.dwPageSize;
}

} // namespace

bool CDemoAsioBuffer::Allocate(size_t nBytes)
{
    Free();
    const size_t page = PageSize();
    const size_t nDataPages = (nBytes + page - 1) / page;
    if (nBytes == 0 || nDataPages > (static_cast<size_t>(-1) / page) - 1)
        return false;
    unsigned char* pBase =
        static_cast<unsigned char*>(VirtualAlloc(nullptr, (nDataPages + 1) * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!pBase)
        return false;
    DWORD dwOld = 0;
    if (!VirtualProtect(pBase + nDataPages * page, page, PAGE_NOACCESS, &dwOld))
    {
        VirtualFree(pBase, 0, MEM_RELEASE);
        return false;
    }
    m_pBase = pBase;
    m_nBytes = nBytes;
    m_nFront = nDataPages * page - nBytes;
    m_pData = pBase + m_nFront;
    for (size_t i = 0; i < m_nFront; ++i)
        pBase[i] = Pattern(i);
    return true;
}

void CDemoAsioBuffer::Free()
{
    if (m_pBase)
        VirtualFree(m_pBase, 0, MEM_RELEASE);
    m_pBase = nullptr;
    m_pData = nullptr;
    m_nBytes = m_nFront = 0;
}

size_t CDemoAsioBuffer::CheckFront()
{
    unsigned char* pBase = static_cast<unsigned char*>(m_pBase);
    size_t nDamaged = 0;
    for (size_t i = 0; i < m_nFront; ++i)
        if (pBase[i] != Pattern(i))
        {
            ++nDamaged;
            pBase[i] = Pattern(i);
        }
    return nDamaged;
}
