#pragma once
// A unit's block buffer: planar float channels in 16-bit scale, each array two
// blocks long so a block at offset 0 can read its history from the other half.

class CSampleBuffer
{
public:
    int m_iNumChannels = 0;
    int m_iLength = 0;      // samples per channel (2 blocks)
    int m_iBlockSize = 0;
    float* m_pChannel[2] = {nullptr, nullptr};
    int m_iReserved[2] = {0, 0};

    // Two channels of length samples, zero-filled; 1 on success, 0 when an array
    // cannot be allocated (what was made stays for Release). Labels name the
    // owner for diagnostics only.
    int Init(const char* szLabel, const char* szMember, int iLength, int iBlockSize);
    int InitChannels(const char* szLabel, int iNumChannels, int iLength, int iBlockSize);
    void Release(const char* szLabel, const char* szMember);

    float* Channel(int c) const { return m_pChannel[c]; }
};
