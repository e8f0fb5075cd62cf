#pragma once
// Draws text into a 32-bit image (0x00RRGGBB per pixel, rows top first). The
// software device hands its text to one of these, so the device itself needs no
// font library and still builds everywhere.
#include <cstdint>

class CTextRenderer
{
public:
    virtual ~CTextRenderer() = default;
    // Text in colour (0x00BBGGRR) at the reference point (x, y): alignment 0 puts
    // the left end at x, 2 the right end at x, 6 the middle on x; the top of the
    // character cell (the ascender line) is at y in every case. Pixels outside the
    // image are left out.
    virtual void Draw(std::uint32_t* pPixels, int iWidth, int iHeight, int x, int y, std::uint32_t colour,
                      const char* szText, unsigned uAlignment) = 0;
};
