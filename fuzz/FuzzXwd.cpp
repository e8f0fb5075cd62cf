// The window dump reader on any bytes: refused with one line, or a picture within
// the reader's limits whose pixels all come from inside the input.
#include <cstdint>
#include <vector>

#include "base/XwdFile.h"
#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, size_t nSize)
{
    RgbImage image;
    FuzzPictureReader(DecodeXwd, nullptr, kXwdMaxSide, std::vector<std::uint8_t>(pData, pData + nSize), &image);
    FuzzCheck(image.pixels.size() * 3 <= nSize, "at least three bytes of input per pixel");
    return 0;
}
