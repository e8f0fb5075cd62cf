// The PNG reader on any bytes: refused with one line, or a picture within the
// reader's limits that reads back the same after the writer.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "tools/PngFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, size_t nSize)
{
    const std::vector<std::uint8_t> bytes(pData, pData + nSize);
    RgbImage image;
    std::string error;
    if (!DecodePng(bytes, &image, &error))
    {
        FuzzCheckOneLine(error);
        return 0;
    }
    FuzzCheck(image.iWidth > 0 && image.iHeight > 0 && static_cast<std::uint32_t>(image.iWidth) <= kPngMaxSide &&
                  static_cast<std::uint32_t>(image.iHeight) <= kPngMaxSide,
              "size within the limits");
    FuzzCheck(image.pixels.size() == static_cast<size_t>(image.iWidth) * static_cast<size_t>(image.iHeight),
              "pixel count matches the size");
    RgbImage back;
    FuzzCheck(DecodePng(EncodePng(image), &back, &error), "what was read can be written");
    FuzzCheck(back.iWidth == image.iWidth && back.iHeight == image.iHeight && back.pixels == image.pixels,
              "round trip");
    return 0;
}
