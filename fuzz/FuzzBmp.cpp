// The BMP reader on any bytes: refused with one line, or a picture of its header's
// size that reads back the same after the writer.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "render/BmpFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, size_t nSize)
{
    const std::vector<std::uint8_t> bytes(pData, pData + nSize);
    RgbImage image;
    std::string error;
    if (!DecodeBmp(bytes, &image, &error))
    {
        FuzzCheckOneLine(error);
        FuzzCheck(image.iWidth == 0 && image.pixels.empty(), "a refused file leaves no picture");
        return 0;
    }
    FuzzCheck(image.iWidth > 0 && image.iHeight > 0, "a picture has pixels");
    FuzzCheck(image.pixels.size() == static_cast<size_t>(image.iWidth) * static_cast<size_t>(image.iHeight),
              "pixel count matches the size");
    // Every pixel came from the file: there must be room in it for all of them.
    FuzzCheck(static_cast<std::uint64_t>(kBmpHeaderSize) +
                      static_cast<std::uint64_t>(BmpRowStride(image.iWidth)) * static_cast<std::uint64_t>(image.iHeight) <=
                  nSize,
              "the pixels fit in the file");
    RgbImage back;
    FuzzCheck(DecodeBmp(EncodeBmp(image), &back, &error), "what was read can be written");
    FuzzCheck(back.iWidth == image.iWidth && back.iHeight == image.iHeight && back.pixels == image.pixels,
              "round trip");
    return 0;
}
