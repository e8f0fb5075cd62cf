#include "base/XwdFile.h"

namespace {

constexpr size_t kHeaderWords = 25;
constexpr size_t kColourEntryBytes = 12;
constexpr std::uint32_t kZPixmap = 2;

std::uint32_t BigEndianWord(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

// The lowest set bit of a channel mask, when the mask is 8 contiguous bits.
bool ChannelShift(std::uint32_t uMask, int* pShift)
{
    if (uMask == 0)
        return false;
    int s = 0;
    while (!(uMask & 1u))
    {
        uMask >>= 1;
        ++s;
    }
    *pShift = s;
    return uMask == 0xFFu;
}

}  // namespace

bool DecodeXwd(const std::vector<std::uint8_t>& bytes, RgbImage* pImage, std::string* pError)
{
    if (bytes.size() < kHeaderWords * 4)
    {
        *pError = "too short for a window dump header";
        return false;
    }
    std::uint32_t h[kHeaderWords];
    for (size_t i = 0; i < kHeaderWords; ++i)
        h[i] = BigEndianWord(&bytes[i * 4]);
    const std::uint32_t uHeaderSize = h[0], uVersion = h[1], uFormat = h[2], uWidth = h[4], uHeight = h[5];
    const std::uint32_t uByteOrder = h[7], uBitsPerPixel = h[11], uBytesPerLine = h[12], uColours = h[19];
    if (uVersion != 7 || uHeaderSize < kHeaderWords * 4)
    {
        *pError = "not a window dump (version 7)";
        return false;
    }
    if (uFormat != kZPixmap || (uBitsPerPixel != 24 && uBitsPerPixel != 32))
    {
        *pError = "only 24- and 32-bit ZPixmap dumps are read";
        return false;
    }
    int iRed = 0, iGreen = 0, iBlue = 0;
    if (!ChannelShift(h[14], &iRed) || !ChannelShift(h[15], &iGreen) || !ChannelShift(h[16], &iBlue))
    {
        *pError = "only 8-bit colour channels are read";
        return false;
    }
    if (uWidth == 0 || uHeight == 0 || uWidth > kXwdMaxSide || uHeight > kXwdMaxSide ||
        static_cast<std::uint64_t>(uWidth) * uHeight > kXwdMaxPixels)
    {
        *pError = "picture size " + std::to_string(uWidth) + " x " + std::to_string(uHeight) + " out of range";
        return false;
    }
    const std::uint64_t uPixelBytes = uBitsPerPixel / 8;
    // 64-bit sums: no field can wrap them, whatever the width of size_t.
    const std::uint64_t uDataStart = static_cast<std::uint64_t>(uHeaderSize) + std::uint64_t{uColours} * kColourEntryBytes;
    if (uBytesPerLine < uWidth * uPixelBytes ||
        uDataStart + std::uint64_t{uBytesPerLine} * uHeight > bytes.size())
    {
        *pError = "the pixels do not fit in the file";
        return false;
    }
    RgbImage image(static_cast<int>(uWidth), static_cast<int>(uHeight));
    for (std::uint32_t y = 0; y < uHeight; ++y)
    {
        const std::uint8_t* pRow = bytes.data() + uDataStart + std::uint64_t{uBytesPerLine} * y;
        for (std::uint32_t x = 0; x < uWidth; ++x)
        {
            const std::uint8_t* p = pRow + x * uPixelBytes;
            std::uint32_t v = 0;
            for (std::uint64_t b = 0; b < uPixelBytes; ++b)
            {
                const std::uint64_t k = uByteOrder == 0 ? uPixelBytes - 1 - b : b;  // 0: least significant first
                v = v << 8 | p[k];
            }
            image.At(static_cast<int>(x), static_cast<int>(y)) = RgbPixel{
                static_cast<std::uint8_t>(v >> iRed), static_cast<std::uint8_t>(v >> iGreen),
                static_cast<std::uint8_t>(v >> iBlue)};
        }
    }
    *pImage = std::move(image);
    return true;
}
