#include "render/software/FontRenderer.h"

#include "base/FileRead.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <array>
#include <fstream>
#include <vector>

namespace {

struct Glyph
{
    bool bLoaded = false;
    int iLeft = 0, iTop = 0;  // bitmap origin relative to the pen on the baseline
    int iWidth = 0, iHeight = 0;
    int iAdvance = 0;
    std::vector<std::uint8_t> coverage;  // iWidth x iHeight, rows top first
};

} // namespace

struct CFontRenderer::Impl
{
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    int iAscent = 0, iDescent = 0;
    std::array<Glyph, 256> glyphs;

    ~Impl()
    {
        if (face)
            FT_Done_Face(face);
        if (library)
            FT_Done_FreeType(library);
    }

    const Glyph& Get(unsigned char c)
    {
        Glyph& g = glyphs[c];
        if (g.bLoaded)
            return g;
        g.bLoaded = true;
        const FT_UInt index = FT_Get_Char_Index(face, c);
        if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) != 0 || FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0)
            return g;
        const FT_GlyphSlot slot = face->glyph;
        g.iAdvance = static_cast<int>((slot->advance.x + 32) >> 6);
        const FT_Bitmap& bm = slot->bitmap;
        if (bm.pixel_mode != FT_PIXEL_MODE_GRAY)
            return g;
        g.iLeft = slot->bitmap_left;
        g.iTop = slot->bitmap_top;
        g.iWidth = static_cast<int>(bm.width);
        g.iHeight = static_cast<int>(bm.rows);
        g.coverage.resize(static_cast<size_t>(g.iWidth) * g.iHeight);
        for (int r = 0; r < g.iHeight; ++r)
            for (int c2 = 0; c2 < g.iWidth; ++c2)
            {
                const std::uint8_t v = bm.buffer[r * bm.pitch + c2];
                g.coverage[static_cast<size_t>(r) * g.iWidth + c2] =
                    bm.num_grays == 256 ? v : static_cast<std::uint8_t>(v * 255 / (bm.num_grays - 1));
            }
        return g;
    }
};

CFontRenderer::CFontRenderer() : m_pImpl(std::make_unique<Impl>()) {}
CFontRenderer::~CFontRenderer() = default;

bool CFontRenderer::Open(const std::string& path, int iPixelHeight, std::string* pError)
{
    m_pImpl = std::make_unique<Impl>();
    Impl& d = *m_pImpl;
    auto fail = [&](const std::string& s) {
        if (pError)
            *pError = s;
        m_pImpl = std::make_unique<Impl>();
        return false;
    };
    // FreeType would block for ever opening a FIFO.
    const std::string sProblem = RegularFileProblem(path);
    if (!sProblem.empty())
        return fail("cannot load the font " + path + ": " + sProblem);
    if (FT_Init_FreeType(&d.library) != 0)
        return fail("cannot start FreeType");
    if (FT_New_Face(d.library, path.c_str(), 0, &d.face) != 0)
        return fail("cannot load the font " + path);
    if (!FT_IS_SCALABLE(d.face) || FT_Set_Pixel_Sizes(d.face, 0, static_cast<FT_UInt>(iPixelHeight)) != 0)
        return fail("cannot size the font " + path);
    d.iAscent = static_cast<int>((d.face->size->metrics.ascender + 32) >> 6);
    d.iDescent = static_cast<int>((-d.face->size->metrics.descender + 32) >> 6);
    return true;
}

bool CFontRenderer::IsOpen() const { return m_pImpl->face != nullptr; }
int CFontRenderer::Ascent() const { return m_pImpl->iAscent; }
int CFontRenderer::Descent() const { return m_pImpl->iDescent; }

int CFontRenderer::TextWidth(const char* szText)
{
    if (!IsOpen() || !szText)
        return 0;
    int w = 0;
    for (const char* p = szText; *p; ++p)
        w += m_pImpl->Get(static_cast<unsigned char>(*p)).iAdvance;
    return w;
}

void CFontRenderer::Draw(std::uint32_t* pPixels, int iWidth, int iHeight, int x, int y, std::uint32_t colour,
                         const char* szText, unsigned uAlignment)
{
    if (!IsOpen() || !pPixels || !szText)
        return;
    const int iTextWidth = TextWidth(szText);
    int pen = x;
    if ((uAlignment & 6u) == 6u)
        pen = x - iTextWidth / 2;
    else if (uAlignment & 2u)
        pen = x - iTextWidth;
    const int baseline = y + m_pImpl->iAscent;
    const int sr = static_cast<int>(colour & 0xffu);
    const int sg = static_cast<int>((colour >> 8) & 0xffu);
    const int sb = static_cast<int>((colour >> 16) & 0xffu);

    for (const char* p = szText; *p; ++p)
    {
        const Glyph& g = m_pImpl->Get(static_cast<unsigned char>(*p));
        for (int r = 0; r < g.iHeight; ++r)
        {
            const int py = baseline - g.iTop + r;
            if (py < 0 || py >= iHeight)
                continue;
            for (int c = 0; c < g.iWidth; ++c)
            {
                const int px = pen + g.iLeft + c;
                const int a = g.coverage[static_cast<size_t>(r) * g.iWidth + c];
                if (px < 0 || px >= iWidth || a == 0)
                    continue;
                std::uint32_t& dst = pPixels[static_cast<size_t>(py) * iWidth + px];
                const int dr = static_cast<int>((dst >> 16) & 0xffu);
                const int dg = static_cast<int>((dst >> 8) & 0xffu);
                const int db = static_cast<int>(dst & 0xffu);
                auto mix = [a](int s, int t) { return t + ((s - t) * a + (s >= t ? 127 : -127)) / 255; };
                dst = (static_cast<std::uint32_t>(mix(sr, dr)) << 16) | (static_cast<std::uint32_t>(mix(sg, dg)) << 8) |
                      static_cast<std::uint32_t>(mix(sb, db));
            }
        }
        pen += g.iAdvance;
    }
}

std::string FindDefaultFontFile()
{
    static const char* const kCandidates[] = {
        "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
        "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
        "/usr/local/share/fonts/LiberationSans-Regular.ttf",
    };
    for (const char* path : kCandidates)
        if (std::ifstream(path, std::ios::binary).good())
            return path;
    return std::string();
}
