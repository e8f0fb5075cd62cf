#pragma once
// The text renderer of the software device: one TrueType face through FreeType,
// antialiased, blended by coverage. Liberation Sans has the metrics of Arial, so
// at the same size the strings take the same room as the Windows build's text.
//
// Size: the Windows font is 8 points at 96 dots per inch, created with the height
// -MulDiv(8, 96, 72) = -11. A negative height asks for a character (em) height of
// 11 pixels, so the face is set to an em of 11 pixels here too
// (FT_Set_Pixel_Sizes(face, 0, 11)); the cell is then the rounded ascender plus
// descender (10 + 3 pixels for this face).
// Glyphs are hinted and their advances rounded to whole pixels, and no kerning is
// applied, as the Windows text output does by default. Bytes above 127 are taken
// as Latin-1 code points.
#include <cstdint>
#include <memory>
#include <string>

#include "render/software/TextRenderer.h"

class CFontRenderer : public CTextRenderer
{
public:
    static constexpr int kDefaultPixelHeight = 11;

    CFontRenderer();
    ~CFontRenderer() override;
    CFontRenderer(const CFontRenderer&) = delete;
    CFontRenderer& operator=(const CFontRenderer&) = delete;

    // Loads a font file; false with one line in *pError when it cannot be used.
    bool Open(const std::string& path, int iPixelHeight, std::string* pError);
    bool IsOpen() const;

    // Pixels above and below the baseline of the character cell.
    int Ascent() const;
    int Descent() const;
    // Width of the text in pixels: the sum of the rounded advances.
    int TextWidth(const char* szText);

    void Draw(std::uint32_t* pPixels, int iWidth, int iHeight, int x, int y, std::uint32_t colour,
              const char* szText, unsigned uAlignment) override;

private:
    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
};

// The installed Liberation Sans Regular file; empty when none is found.
std::string FindDefaultFontFile();
