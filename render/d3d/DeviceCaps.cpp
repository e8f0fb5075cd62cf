#include "render/d3d/DeviceCaps.h"

#include <cstring>

#include "base/Log.h"

std::string CapsFlagLine(std::uint32_t caps, std::uint32_t flag, const char* szName)
{
    constexpr size_t kColumn = 40;
    std::string line = szName ? szName : "";
    if (line.size() < kColumn)
        line.append(kColumn - line.size(), ' ');
    line += (caps & flag) == flag ? "TRUE" : "FALSE";
    return line;
}

std::uint32_t LogCapsFlag(std::uint32_t caps, std::uint32_t flag, const char* szName)
{
    g_Log.Print(CapsFlagLine(caps, flag, szName).c_str());
    return caps & flag;
}

int MaskBits(std::uint32_t mask)
{
    if (mask == 0)
        return 0;
    while ((mask & 1u) == 0)
        mask >>= 1;
    int n = 0;
    while (mask & 1u)
    {
        mask >>= 1;
        ++n;
    }
    return n;
}

ChannelBits RgbChannelBits(bool bRgb, std::uint32_t redMask, std::uint32_t greenMask, std::uint32_t blueMask)
{
    if (!bRgb || redMask == 0 || greenMask == 0 || blueMask == 0)
        return ChannelBits{0, 0, 0};
    return ChannelBits{static_cast<std::uint8_t>(MaskBits(redMask)), static_cast<std::uint8_t>(MaskBits(greenMask)),
                       static_cast<std::uint8_t>(MaskBits(blueMask))};
}

namespace {

int NextPowerOfTwo(int n)
{
    int p = 1;
    // Texture sides are far below 2^30; stop there rather than overflow.
    while (p < n && p < (1 << 30))
        p <<= 1;
    return p;
}

} // namespace

void FitTextureSize(int* pWidth, int* pHeight, bool bPowerOfTwo, bool bSquare)
{
    if (bPowerOfTwo)
    {
        *pWidth = NextPowerOfTwo(*pWidth);
        *pHeight = NextPowerOfTwo(*pHeight);
    }
    if (bSquare)
    {
        const int side = *pWidth > *pHeight ? *pWidth : *pHeight;
        *pWidth = side;
        *pHeight = side;
    }
}
