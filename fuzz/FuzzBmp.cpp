// The BMP reader on any bytes: refused with one line, or a picture of its header's
// size that reads back the same after the writer.
#include <cstdint>
#include <vector>

#include "base/BmpFile.h"
#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, size_t nSize)
{
    RgbImage image;
    FuzzPictureReader(DecodeBmp, EncodeBmp, UINT32_MAX, std::vector<std::uint8_t>(pData, pData + nSize), &image);
    // Every pixel came from the file: there must be room in it for all of them.
    FuzzCheck(image.pixels.empty() || static_cast<std::uint64_t>(kBmpHeaderSize) +
                                              static_cast<std::uint64_t>(BmpRowStride(image.iWidth)) *
                                                  static_cast<std::uint64_t>(image.iHeight) <=
                                          nSize,
              "the pixels fit in the file");
    return 0;
}
