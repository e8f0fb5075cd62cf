#pragma once
// Rules about what a display device can do that need no graphics API: the
// capability log lines, channel widths of a pixel format, and the size a texture
// surface must have on a device that restricts texture sizes.
#include <cstdint>
#include <string>

// The log line for one capability flag: the name padded with blanks to 40
// characters (none when it is 40 or longer), then "TRUE" when every bit of flag is
// set in caps, else "FALSE".
std::string CapsFlagLine(std::uint32_t caps, std::uint32_t flag, const char* szName);

// Logs CapsFlagLine and returns caps AND flag.
std::uint32_t LogCapsFlag(std::uint32_t caps, std::uint32_t flag, const char* szName);

// Width of a channel mask: the run of one bits after the trailing zeros.
int MaskBits(std::uint32_t mask);

// Red, green and blue widths of an RGB format; all 0 unless the format is RGB and
// every mask is non-zero.
struct ChannelBits
{
    std::uint8_t red, green, blue;
};
ChannelBits RgbChannelBits(bool bRgb, std::uint32_t redMask, std::uint32_t greenMask, std::uint32_t blueMask);

// Texture surface size for a bitmap: each side rounded up to a power of two when the
// device needs that, then both made the larger side when it needs square textures.
void FitTextureSize(int* pWidth, int* pHeight, bool bPowerOfTwo, bool bSquare);
