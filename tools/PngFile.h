#pragma once
// Writes 8-bit RGB pictures as PNG files (one IDAT chunk, no row filters), with
// zlib for the compression and the checksums.
#include <cstdint>
#include <string>
#include <vector>

#include "render/BmpFile.h"

std::vector<std::uint8_t> EncodePng(const RgbImage& image);
bool WritePngFile(const std::string& path, const RgbImage& image, std::string* pError);
