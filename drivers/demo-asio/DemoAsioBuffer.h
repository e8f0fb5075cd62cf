#pragma once
// One half of a channel's double buffer, laid out so that a host running past
// either end is caught: it ends exactly at a page boundary followed by a page no
// one may touch (an overrun faults at once), and the bytes in front of it in its
// first page hold a known pattern that is checked (an underrun is counted).
#include <cstddef>

class CDemoAsioBuffer
{
public:
    CDemoAsioBuffer() = default;
    CDemoAsioBuffer(const CDemoAsioBuffer&) = delete;
    CDemoAsioBuffer& operator=(const CDemoAsioBuffer&) = delete;
    ~CDemoAsioBuffer() { Free(); }

    // Zeroed bytes; false when the memory cannot be had (nothing is then held).
    bool Allocate(size_t nBytes);
    void Free();

    unsigned char* Data() const { return m_pData; }
    size_t Size() const { return m_nBytes; }

    // The bytes in front of the data that no longer hold the pattern; restores
    // them, so each damage is counted once.
    size_t CheckFront();

private:
    void* m_pBase = nullptr;
    unsigned char* m_pData = nullptr;
    size_t m_nBytes = 0;
    size_t m_nFront = 0;  // pattern bytes from m_pBase up to m_pData
};
