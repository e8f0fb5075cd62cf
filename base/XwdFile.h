#pragma once
// Window dumps as xwd writes them: the header in big-endian words, then the
// colour table, then the pixels in the dump's own byte order. Only what a dump of
// a true-colour window holds is taken: ZPixmap rows of 24- or 32-bit pixels with
// 8-bit channel masks.
#include <cstdint>
#include <string>
#include <vector>

#include "base/BmpFile.h"

// A forged header cannot make the reader allocate more than this.
constexpr std::uint32_t kXwdMaxSide = 16384;
constexpr std::uint64_t kXwdMaxPixels = 1u << 24;

// False with one line in *pError (and *pImage untouched) for anything else.
bool DecodeXwd(const std::vector<std::uint8_t>& bytes, RgbImage* pImage, std::string* pError);
