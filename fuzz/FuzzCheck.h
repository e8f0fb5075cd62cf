#pragma once
// A broken promise stops the run, and libFuzzer keeps the input that broke it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/BmpFile.h"

inline void FuzzCheck(bool bHolds, const char* szWhat)
{
    if (!bHolds)
    {
        std::fprintf(stderr, "fuzz check failed: %s\n", szWhat);
        std::abort();
    }
}

// A refusal is one line of text.
inline void FuzzCheckOneLine(const std::string& s)
{
    FuzzCheck(!s.empty() && s.find('\n') == std::string::npos, "the error is one non-empty line");
}

using PictureReader = bool (*)(const std::vector<std::uint8_t>&, RgbImage*, std::string*);
using PictureWriter = std::vector<std::uint8_t> (*)(const RgbImage&);

// A picture reader on any bytes: refused with one line and no picture, or a
// picture at most uMaxSide each way with a pixel for every place; what it read
// the writer (when there is one) writes so that it reads back the same.
inline void FuzzPictureReader(PictureReader read, PictureWriter write, std::uint32_t uMaxSide,
                              const std::vector<std::uint8_t>& bytes, RgbImage* pImage)
{
    std::string error;
    if (!read(bytes, pImage, &error))
    {
        FuzzCheckOneLine(error);
        FuzzCheck(pImage->iWidth == 0 && pImage->pixels.empty(), "a refused file leaves no picture");
        return;
    }
    FuzzCheck(pImage->iWidth > 0 && pImage->iHeight > 0 && static_cast<std::uint32_t>(pImage->iWidth) <= uMaxSide &&
                  static_cast<std::uint32_t>(pImage->iHeight) <= uMaxSide,
              "size within the limits");
    FuzzCheck(pImage->pixels.size() == static_cast<size_t>(pImage->iWidth) * static_cast<size_t>(pImage->iHeight),
              "pixel count matches the size");
    if (!write)
        return;
    RgbImage back;
    FuzzCheck(read(write(*pImage), &back, &error), "what was read can be written");
    FuzzCheck(back.iWidth == pImage->iWidth && back.iHeight == pImage->iHeight && back.pixels == pImage->pixels,
              "round trip");
}
