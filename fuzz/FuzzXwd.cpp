// The window dump reader on any bytes: refused with one line, or a picture within
// the reader's limits whose pixels all come from inside the input.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "tools/XwdFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, size_t nSize)
{
    const std::vector<std::uint8_t> bytes(pData, pData + nSize);
    RgbImage image;
    std::string error;
    if (!DecodeXwd(bytes, &image, &error))
    {
        FuzzCheckOneLine(error);
        return 0;
    }
    FuzzCheck(image.iWidth > 0 && image.iHeight > 0 && static_cast<std::uint32_t>(image.iWidth) <= kXwdMaxSide &&
                  static_cast<std::uint32_t>(image.iHeight) <= kXwdMaxSide,
              "size within the limits");
    FuzzCheck(image.pixels.size() == static_cast<size_t>(image.iWidth) * static_cast<size_t>(image.iHeight),
              "pixel count matches the size");
    FuzzCheck(image.pixels.size() * 3 <= nSize, "at least three bytes of input per pixel");
    return 0;
}
