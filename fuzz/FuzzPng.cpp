// The PNG reader on any bytes: refused with one line, or a picture within the
// reader's limits that reads back the same after the writer.
#include <cstdint>
#include <vector>

#include "base/PngFile.h"
#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, size_t nSize)
{
    RgbImage image;
    FuzzPictureReader(DecodePng, EncodePng, kPngMaxSide, std::vector<std::uint8_t>(pData, pData + nSize), &image);
    return 0;
}
