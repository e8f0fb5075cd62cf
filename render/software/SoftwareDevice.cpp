#include "render/software/SoftwareDevice.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr std::uint32_t U(BlendFactor f) { return static_cast<std::uint32_t>(f); }
constexpr std::uint32_t U(TextureOp op) { return static_cast<std::uint32_t>(op); }
constexpr std::uint32_t U(TextureArg arg) { return static_cast<std::uint32_t>(arg); }

CSoftwareDevice::Vertex FromColoured(const ColouredVertex& c)
{
    return {c.x,
            c.y,
            float((c.colour >> 16) & 0xFFu),
            float((c.colour >> 8) & 0xFFu),
            float(c.colour & 0xFFu),
            float(c.colour >> 24),
            0.0f,
            0.0f};
}

CSoftwareDevice::Vertex FromTextured(const TexturedVertex& t)
{
    return {t.x, t.y, 255.0f, 255.0f, 255.0f, 255.0f, t.tu, t.tv};
}

int Wrap(int i, int n)
{
    if (static_cast<unsigned>(i) < static_cast<unsigned>(n))
        return i;
    const int m = i % n;
    return m < 0 ? m + n : m;
}

// Floor for values well inside the int range (the callers check first).
int Floor(float f)
{
    const int i = static_cast<int>(f);
    return f < float(i) ? i - 1 : i;
}

std::uint32_t ToByte(float f)
{
    return static_cast<std::uint32_t>(std::min(255.0f, std::max(0.0f, f)) + 0.5f);
}

// Edge function of the edge p -> q at (x, y): positive on the inner side once the
// triangle is oriented with a positive area.
double Edge(const CSoftwareDevice::Vertex& p, const CSoftwareDevice::Vertex& q, double x, double y)
{
    return (double(q.x) - p.x) * (y - p.y) - (double(q.y) - p.y) * (x - p.x);
}

// Top-left rule: a centre exactly on the edge p -> q counts when the inside lies to
// the right of it (a left edge) or below a horizontal edge (a top edge).
bool OwnsEdge(const CSoftwareDevice::Vertex& p, const CSoftwareDevice::Vertex& q)
{
    const double dy = double(q.y) - p.y;
    const double dx = double(q.x) - p.x;
    return dy < 0.0 || (dy == 0.0 && dx > 0.0);
}

// Whether every edge value of the triangle, and every sum of them, is exact in
// double: coordinates that are multiples of 1/16 within +-16384 give differences of
// at most 19 bits and products of at most 39 bits (in steps of 1/256). Then the
// three edge values of a pixel add up exactly to the area, the weights are
// correctly rounded quotients that sum to 1 within a few double ulps, and a value
// that is the same float at all three corners mixes back to exactly that float.
bool ExactEdges(const CSoftwareDevice::Vertex& a, const CSoftwareDevice::Vertex& b, const CSoftwareDevice::Vertex& c)
{
    for (const float f : {a.x, a.y, b.x, b.y, c.x, c.y})
    {
        const float s = f * 16.0f;
        if (!(std::fabs(f) <= 16384.0f) || s != std::floor(s))
            return false;
    }
    return true;
}

// Whether a centre k pixels right of one with edge value w passes the edge test,
// the edge's value growing by d a pixel.
bool PassesEdge(double w, double d, int k, bool bOwn)
{
    const double wk = w + k * d;
    return wk > 0.0 || (wk == 0.0 && bOwn);
}

// The values interpolated over a triangle, r g b a u v, by number.
constexpr float CSoftwareDevice::Vertex::*kValues[6] = {
    &CSoftwareDevice::Vertex::r, &CSoftwareDevice::Vertex::g, &CSoftwareDevice::Vertex::b,
    &CSoftwareDevice::Vertex::a, &CSoftwareDevice::Vertex::u, &CSoftwareDevice::Vertex::v};
constexpr int kU = 4, kV = 5;

float Factor(std::uint32_t factor, float srcAlpha)
{
    switch (static_cast<BlendFactor>(factor))
    {
    case BlendFactor::Zero: return 0.0f;
    case BlendFactor::One: return 1.0f;
    case BlendFactor::SrcAlpha: return srcAlpha / 255.0f;
    case BlendFactor::InvSrcAlpha: return 1.0f - srcAlpha / 255.0f;
    case BlendFactor::DestAlpha: return 1.0f;  // the image has no alpha: always opaque
    }
    return 1.0f;
}

#if defined(__SSE2__)
// Four-lane forms of per-pixel steps, a pixel in each lane. Each lane takes the
// same single-precision operations as the scalar code, so the results are the
// same to the bit.

// Floor on four lanes, for values well inside the int range.
__m128i Floor4(__m128 f)
{
    const __m128i i = _mm_cvttps_epi32(f);
    return _mm_add_epi32(i, _mm_castps_si128(_mm_cmplt_ps(f, _mm_cvtepi32_ps(i))));  // -1 where truncated up
}

// ToByte on four lanes.
__m128i Bytes4(__m128 f)
{
    const __m128 clamped = _mm_min_ps(_mm_max_ps(f, _mm_setzero_ps()), _mm_set1_ps(255.0f));
    return _mm_cvttps_epi32(_mm_add_ps(clamped, _mm_set1_ps(0.5f)));
}

// Bytes of four pixels packed 0x00RRGGBB.
__m128i Pack4(__m128i r, __m128i g, __m128i b)
{
    return _mm_or_si128(_mm_or_si128(_mm_slli_epi32(r, 16), _mm_slli_epi32(g, 8)), b);
}

// Four packed pixels into the row at columns pX[0..3].
void Store4(std::uint32_t* pRow, const int* pX, __m128i packed)
{
    if (pX[3] - pX[0] == 3)  // side by side
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(&pRow[pX[0]]), packed);
        return;
    }
    alignas(16) std::uint32_t out[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(out), packed);
    for (int k = 0; k < 4; ++k)
        pRow[pX[k]] = out[k];
}

// Four pixels' values from a scratch row where they vary, else the constant.
__m128 Lanes4(const std::vector<float>& row, bool bVary, float constant, int j)
{
    return bVary ? _mm_loadu_ps(&row[j]) : _mm_set1_ps(constant);
}

// Whether the scaled texture coordinates of all four lanes are in the sampler's
// range (and so are numbers).
bool InRange4(__m128 su, __m128 sv)
{
    const __m128 kAbs = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF)), kLimit = _mm_set1_ps(1e9f);
    const __m128 inRange =
        _mm_and_ps(_mm_cmplt_ps(_mm_and_ps(su, kAbs), kLimit), _mm_cmplt_ps(_mm_and_ps(sv, kAbs), kLimit));
    return _mm_movemask_ps(inRange) == 0xF;
}

// The bilinear texels of four pixels at the scaled texture coordinates su, sv
// (in range), packed; modulated by a diffuse of 255 when bModulate. No colour key.
__m128i BilinearTexels4(const std::uint32_t* pTexels, int w, int h, __m128 su, __m128 sv, bool bModulate)
{
    const __m128 k255 = _mm_set1_ps(255.0f), kHalf = _mm_set1_ps(0.5f), kOne = _mm_set1_ps(1.0f);
    const __m128i kByte = _mm_set1_epi32(0xFF);
    const __m128 fx = _mm_sub_ps(su, kHalf), fy = _mm_sub_ps(sv, kHalf);
    const __m128i ix = Floor4(fx), iy = Floor4(fy);
    const __m128 tx = _mm_sub_ps(fx, _mm_cvtepi32_ps(ix)), ty = _mm_sub_ps(fy, _mm_cvtepi32_ps(iy));
    alignas(16) int ixs[4], iys[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(ixs), ix);
    _mm_store_si128(reinterpret_cast<__m128i*>(iys), iy);
    std::uint32_t t[4][4];  // texel 00 10 01 11 of each lane
    for (int k = 0; k < 4; ++k)
    {
        const int xa = Wrap(ixs[k], w), xb = Wrap(ixs[k] + 1, w);
        const std::uint32_t* pA = &pTexels[static_cast<size_t>(Wrap(iys[k], h)) * w];
        const std::uint32_t* pB = &pTexels[static_cast<size_t>(Wrap(iys[k] + 1, h)) * w];
        t[0][k] = pA[xa];
        t[1][k] = pA[xb];
        t[2][k] = pB[xa];
        t[3][k] = pB[xb];
    }
    const __m128 ux = _mm_sub_ps(kOne, tx), uy = _mm_sub_ps(kOne, ty);
    const __m128 shares[4] = {_mm_mul_ps(ux, uy), _mm_mul_ps(tx, uy), _mm_mul_ps(ux, ty), _mm_mul_ps(tx, ty)};
    __m128 r = _mm_setzero_ps(), g = _mm_setzero_ps(), b = _mm_setzero_ps(), sum = _mm_setzero_ps();
    for (int k = 0; k < 4; ++k)
    {
        const __m128i texel = _mm_set_epi32(int(t[k][3]), int(t[k][2]), int(t[k][1]), int(t[k][0]));
        r = _mm_add_ps(r, _mm_mul_ps(shares[k], _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(texel, 16), kByte))));
        g = _mm_add_ps(g, _mm_mul_ps(shares[k], _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(texel, 8), kByte))));
        b = _mm_add_ps(b, _mm_mul_ps(shares[k], _mm_cvtepi32_ps(_mm_and_si128(texel, kByte))));
        sum = _mm_add_ps(sum, shares[k]);
    }
    r = _mm_div_ps(r, sum);
    g = _mm_div_ps(g, sum);
    b = _mm_div_ps(b, sum);
    if (bModulate)
    {
        r = _mm_div_ps(_mm_mul_ps(r, k255), k255);
        g = _mm_div_ps(_mm_mul_ps(g, k255), k255);
        b = _mm_div_ps(_mm_mul_ps(b, k255), k255);
    }
    return Pack4(Bytes4(r), Bytes4(g), Bytes4(b));
}
#endif

} // namespace

CSoftwareDevice::CSoftwareDevice(int iWidth, int iHeight)
    : m_iWidth(std::max(0, iWidth)), m_iHeight(std::max(0, iHeight)),
      m_Pixels(static_cast<size_t>(m_iWidth) * m_iHeight, 0u)
{
    // Direct3D's defaults for the states the drawing code may leave unset.
    m_RenderStates[static_cast<int>(RenderState::SrcBlend)] = U(BlendFactor::One);
    m_RenderStates[static_cast<int>(RenderState::DestBlend)] = U(BlendFactor::Zero);
    m_StageStates[static_cast<int>(StageState::ColorOp)] = U(TextureOp::Modulate);
    m_StageStates[static_cast<int>(StageState::ColorArg1)] = U(TextureArg::Texture);
    m_StageStates[static_cast<int>(StageState::ColorArg2)] = U(TextureArg::Diffuse);
    m_StageStates[static_cast<int>(StageState::AlphaOp)] = U(TextureOp::SelectArg1);
    m_StageStates[static_cast<int>(StageState::AlphaArg1)] = U(TextureArg::Texture);
}

RgbImage CSoftwareDevice::ToRgbImage() const
{
    RgbImage image(m_iWidth, m_iHeight);
    for (size_t i = 0; i < m_Pixels.size(); ++i)
    {
        const std::uint32_t p = m_Pixels[i];
        image.pixels[i] = RgbPixel{std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p)};
    }
    return image;
}

bool CSoftwareDevice::LoadTexture(int iNumber, const RgbImage& image)
{
    if (iNumber < 0 || image.iWidth <= 0 || image.iHeight <= 0 ||
        image.pixels.size() != static_cast<size_t>(image.iWidth) * image.iHeight)
        return false;
    Texture& texture = m_Textures[iNumber];
    texture.iWidth = image.iWidth;
    texture.iHeight = image.iHeight;
    texture.texels.resize(image.pixels.size());
    for (size_t i = 0; i < image.pixels.size(); ++i)
    {
        const RgbPixel& p = image.pixels[i];
        texture.texels[i] = (std::uint32_t{p.r} << 16) | (std::uint32_t{p.g} << 8) | p.b;
    }
    SetTexture(m_iTexture);  // the bound texture may just have arrived
    return true;
}

int CSoftwareDevice::LoadPanelTextures(const std::string& folder)
{
    static const char* const kNames[] = {"Blackwood4.bmp", "Knob33a.bmp", "KnobNotch3-a.bmp", "KnobNotch3-b.bmp",
                                         "LightMap9.bmp"};
    std::string prefix = folder;
    if (!prefix.empty() && prefix.back() != '/' && prefix.back() != '\\')
        prefix += '/';
    int nLoaded = 0;
    for (int i = 0; i < 5; ++i)
    {
        RgbImage image;
        std::string error;
        if (ReadBmpFile(prefix + kNames[i], &image, &error) && LoadTexture(i, image))
            ++nLoaded;
    }
    return nLoaded;
}

bool CSoftwareDevice::BeginScene()
{
    m_bInScene = true;
    return true;
}

void CSoftwareDevice::EndScene() { m_bInScene = false; }

void CSoftwareDevice::SetTexture(int iTexture)
{
    m_iTexture = iTexture;
    const auto found = m_Textures.find(iTexture);
    m_pTexture = found == m_Textures.end() ? nullptr : &found->second;
}

void CSoftwareDevice::Clear(std::uint32_t rgb) { std::fill(m_Pixels.begin(), m_Pixels.end(), rgb & 0xFFFFFFu); }

void CSoftwareDevice::SetRenderState(RenderState state, std::uint32_t value)
{
    const int i = static_cast<int>(state);
    if (i >= 0 && i < 8)
        m_RenderStates[i] = value;
}

void CSoftwareDevice::SetStageState(StageState state, std::uint32_t value)
{
    const int i = static_cast<int>(state);
    if (i >= 0 && i < 8)
        m_StageStates[i] = value;
}

// The states a draw call reads, taken once per call instead of once per pixel, and
// the per-pixel steps of texture stage 0 and the frame buffer.
struct CSoftwareDevice::Pipeline
{
    std::uint32_t colorOp, alphaOp;
    bool bArg1Texture, bArg2Texture, bAlphaArgTexture;
    const Texture* pTexture;  // null: the texture reads as opaque white
    bool bKey, bLinear;
    bool bBlend;
    std::uint32_t srcBlend, destBlend;
    // Which interpolated values a pixel's colour depends on.
    bool bNeedRgb, bNeedAlpha, bNeedUv;
    // The pixel is the texel alone, or the texel modulated by a diffuse of exactly
    // 255 (as bWhiteDiffuse tells), written without blending.
    bool TexelOnly(bool bWhiteDiffuse) const
    {
        if (!pTexture || bBlend || colorOp == U(TextureOp::Disable))
            return false;
        if (colorOp == U(TextureOp::Modulate))
            return bArg1Texture != bArg2Texture && bWhiteDiffuse;
        return bArg1Texture;
    }

    bool Sample(float u, float v, Colour* pOut) const;
    bool Shade(const Vertex& at, Colour* pOut) const;
    // The texel alone, or modulated by a diffuse of 255, written without blending.
    void WriteTexel(std::uint32_t& dest, float u, float v, bool bModulate) const
    {
        Colour t;
        if (!Sample(u, v, &t))
            return;
        if (bModulate)
            t = {t.r * 255.0f / 255.0f, t.g * 255.0f / 255.0f, t.b * 255.0f / 255.0f, 0.0f};
        dest = (ToByte(t.r) << 16) | (ToByte(t.g) << 8) | ToByte(t.b);
    }
    void Write(std::uint32_t& dest, const Colour& c) const { Blend(dest, c, Factor(srcBlend, c.a), Factor(destBlend, c.a)); }
    // Write with the blend factors of c already worked out.
    void Blend(std::uint32_t& dest, const Colour& c, float fs, float fd) const
    {
        float r = c.r, g = c.g, b = c.b;
        if (bBlend)
        {
            r = r * fs + float((dest >> 16) & 0xFFu) * fd;
            g = g * fs + float((dest >> 8) & 0xFFu) * fd;
            b = b * fs + float(dest & 0xFFu) * fd;
        }
        dest = (ToByte(r) << 16) | (ToByte(g) << 8) | ToByte(b);
    }
};

CSoftwareDevice::Pipeline CSoftwareDevice::Resolve() const
{
    Pipeline p{};
    p.colorOp = Stage(StageState::ColorOp);
    p.alphaOp = Stage(StageState::AlphaOp);
    p.bArg1Texture = Stage(StageState::ColorArg1) == U(TextureArg::Texture);
    p.bArg2Texture = Stage(StageState::ColorArg2) == U(TextureArg::Texture);
    p.bAlphaArgTexture = Stage(StageState::AlphaArg1) == U(TextureArg::Texture);
    p.pTexture = m_pTexture;
    p.bKey = Render(RenderState::ColorKeyEnable) != 0;
    p.bLinear = Stage(StageState::LinearFilter) != 0;
    p.bBlend = Render(RenderState::AlphaBlendEnable) != 0;
    p.srcBlend = Render(RenderState::SrcBlend);
    p.destBlend = Render(RenderState::DestBlend);

    const bool bDisable = p.colorOp == U(TextureOp::Disable);
    if (bDisable)
        p.bNeedRgb = true;
    else if (p.colorOp == U(TextureOp::Modulate))
        p.bNeedRgb = !p.bArg1Texture || !p.bArg2Texture;
    else
        p.bNeedRgb = !p.bArg1Texture;
    auto readsAlpha = [](std::uint32_t f) {
        return f == U(BlendFactor::SrcAlpha) || f == U(BlendFactor::InvSrcAlpha);
    };
    p.bNeedAlpha = p.bBlend && (readsAlpha(p.srcBlend) || readsAlpha(p.destBlend));
    p.bNeedUv = !bDisable && p.pTexture;
    return p;
}

// Texture stage 0: Disable gives the vertex colour; otherwise the texture is read
// (which may key the pixel out) and SelectArg1 or Modulate combine the arguments.
bool CSoftwareDevice::Pipeline::Shade(const Vertex& at, Colour* pOut) const
{
    const Colour diffuse{at.r, at.g, at.b, at.a};
    if (colorOp == U(TextureOp::Disable))
    {
        *pOut = diffuse;
        return true;
    }
    Colour texel{255.0f, 255.0f, 255.0f, 255.0f};
    if (!Sample(at.u, at.v, &texel))
        return false;
    const Colour& a1 = bArg1Texture ? texel : diffuse;
    const Colour& a2 = bArg2Texture ? texel : diffuse;
    if (colorOp == U(TextureOp::Modulate))
        *pOut = {a1.r * a2.r / 255.0f, a1.g * a2.g / 255.0f, a1.b * a2.b / 255.0f, 0.0f};
    else
        *pOut = a1;
    if (alphaOp == U(TextureOp::SelectArg1))
        pOut->a = (bAlphaArgTexture ? texel : diffuse).a;
    else if (alphaOp == U(TextureOp::Modulate))
        pOut->a = texel.a * diffuse.a / 255.0f;
    else
        pOut->a = diffuse.a;
    return true;
}

bool CSoftwareDevice::Pipeline::Sample(float u, float v, Colour* pOut) const
{
    if (!pTexture)
        return true;  // no texture: opaque white, already in *pOut
    const Texture& tex = *pTexture;
    const int w = tex.iWidth, h = tex.iHeight;
    auto at = [&](int x, int y) { return tex.texels[static_cast<size_t>(y) * w + x]; };
    auto channels = [](std::uint32_t t) {
        return Colour{float((t >> 16) & 0xFFu), float((t >> 8) & 0xFFu), float(t & 0xFFu), 255.0f};
    };

    const float su = u * float(w), sv = v * float(h);
    if (!(std::fabs(su) < 1e9f && std::fabs(sv) < 1e9f))  // also not a number
        return false;
    const std::uint32_t nearest = at(Wrap(Floor(su), w), Wrap(Floor(sv), h));
    if (bKey && nearest == 0)
        return false;
    if (!bLinear)
    {
        *pOut = channels(nearest);
        return true;
    }
    const float fx = su - 0.5f, fy = sv - 0.5f;
    const int ix = Floor(fx), iy = Floor(fy);
    const float tx = fx - float(ix), ty = fy - float(iy);
    const int xs[2] = {Wrap(ix, w), Wrap(ix + 1, w)}, ys[2] = {Wrap(iy, h), Wrap(iy + 1, h)};
    float r = 0.0f, g = 0.0f, b = 0.0f, sum = 0.0f;
    for (int j = 0; j < 2; ++j)
    {
        for (int i = 0; i < 2; ++i)
        {
            const std::uint32_t t = at(xs[i], ys[j]);
            const float weight = (i ? tx : 1.0f - tx) * (j ? ty : 1.0f - ty);
            if (bKey && t == 0)
                continue;
            const Colour p = channels(t);
            r += weight * p.r;
            g += weight * p.g;
            b += weight * p.b;
            sum += weight;
        }
    }
    // The nearest texel is one of the four, with a weight of at least a quarter;
    // but past 2^23 texels the sample point rounds to a whole texel and the
    // nearest one's weight may round to 0. Then, the others keyed out, it is
    // taken alone (rather than 0 / 0).
    if (sum == 0.0f)
        *pOut = channels(nearest);
    else
        *pOut = {r / sum, g / sum, b / sum, 255.0f};
    return true;
}

bool CSoftwareDevice::DrawStrip(const ColouredVertex* pVertices, int nVertices)
{
    if (!pVertices || nVertices < 3)
        return false;
    const Pipeline pipe = Resolve();
    for (int i = 0; i + 2 < nVertices; ++i)
        DrawTriangle(pipe, FromColoured(pVertices[i]), FromColoured(pVertices[i + 1]), FromColoured(pVertices[i + 2]));
    return true;
}

bool CSoftwareDevice::DrawStrip(const TexturedVertex* pVertices, int nVertices)
{
    if (!pVertices || nVertices < 3)
        return false;
    const Pipeline pipe = Resolve();
    for (int i = 0; i + 2 < nVertices; ++i)
        DrawTriangle(pipe, FromTextured(pVertices[i]), FromTextured(pVertices[i + 1]), FromTextured(pVertices[i + 2]));
    return true;
}

void CSoftwareDevice::DrawTextAt(int x, int y, std::uint32_t colour, const char* szText, unsigned uAlignment)
{
    if (m_pTextRenderer && szText)
        m_pTextRenderer->Draw(m_Pixels.data(), m_iWidth, m_iHeight, x, y, colour, szText, uAlignment);
}

// One triangle as the stages that draw it share it.
struct CSoftwareDevice::Triangle
{
    Vertex a, b, c;  // oriented with a positive area
    double area;
    int x0, x1, y0, y1;  // the covered part of the image lies in these columns and rows
    bool own[3];         // the top-left rule for the edges b -> c, c -> a and a -> b
    bool bExact;         // see ExactEdges
    // Steps of the edge functions from one pixel to the next on the right, and
    // the edges' extents in x (0: a vertical edge).
    double d[3], dx[3];
    // The interpolated values r g b a u v: the ones the same at every pixel are
    // set in at, the others needed are listed in varying.
    Vertex at;
    bool bVary[6];
    int varying[6];
    int nVarying;
    // The corners whose weights the varying values read; of these, the ones
    // divided out once per column and the ones divided from each row's edge values.
    bool bWeight[3] = {}, bColumn[3] = {}, bRowW[3] = {};
};

// The pixels whose centres lie inside the triangle (with the top-left rule on the
// edges), each shaded with the colours and texture coordinates at its centre.
//
// A pixel's weights are its edge values divided by the area, and the values at
// its centre the weighted sums of the corners'. A row's covered pixels are
// gathered first and each step then runs over the whole row, which the compiler
// can do several pixels at a time. The work is cut without changing a result:
// with exact edge values (see ExactEdges) the weights of an axis-parallel edge
// are divided out once per row or column, a value the same at every corner is not
// mixed, and the colour is worked out once when nothing varies, or taken from the
// texel alone when the stage only passes it on.
void CSoftwareDevice::DrawTriangle(const Pipeline& pipe, const Vertex& v0, const Vertex& v1, const Vertex& v2)
{
    Triangle t;
    if (!SetUpTriangle(v0, v1, v2, &t))
        return;
    ChooseValues(pipe, &t);
    const size_t nColumns = static_cast<size_t>(t.x1 - t.x0 + 1);
    m_RowX.resize(nColumns);
    for (auto& w : m_RowW)
        w.resize(nColumns);
    if (t.nVarying == 0)
    {
        FillOneColour(pipe, t);
        return;
    }
    SetUpWeights(&t);
    const RowShading shading = ChooseShading(pipe, t);
    for (int py = t.y0; py <= t.y1; ++py)
    {
        const int n = GatherRow(t, py);
        if (n == 0)
            continue;
        MixRow(t, n);
        std::uint32_t* pRow = &m_Pixels[static_cast<size_t>(py) * m_iWidth];
        switch (shading)
        {
        case RowShading::TexelCopy: CopyTexelRow(pipe, t, pRow, n); break;
        case RowShading::Texel: TexelRow(pipe, t, pRow, n); break;
        case RowShading::VertexColour: VertexColourRow(t, pRow, n); break;
        case RowShading::Full: ShadeRow(pipe, t, pRow, n); break;
        }
    }
}

// Orients the corners for a positive area and finds the rows and columns of the
// image they may cover; false when there are none or the triangle has no area.
bool CSoftwareDevice::SetUpTriangle(const Vertex& a, const Vertex& b0, const Vertex& c0, Triangle* pTri) const
{
    Triangle& t = *pTri;
    const double area = Edge(a, b0, c0.x, c0.y);
    if (!(std::fabs(area) > 0.0))  // degenerate or not a number
        return false;
    const bool bFlip = area < 0.0;
    t.a = a;
    t.b = bFlip ? c0 : b0;
    t.c = bFlip ? b0 : c0;
    t.area = std::fabs(area);
    const Vertex& b = t.b;
    const Vertex& c = t.c;

    const double minX = std::min({a.x, b.x, c.x}), maxX = std::max({a.x, b.x, c.x});
    const double minY = std::min({a.y, b.y, c.y}), maxY = std::max({a.y, b.y, c.y});
    // Off the image (or too far for an int): nothing to draw.
    if (!(maxX >= 0.0 && maxY >= 0.0 && minX <= m_iWidth - 1.0 && minY <= m_iHeight - 1.0))
        return false;
    t.x0 = int(std::max(0.0, std::ceil(minX)));
    t.x1 = int(std::min(m_iWidth - 1.0, std::floor(maxX)));
    t.y0 = int(std::max(0.0, std::ceil(minY)));
    t.y1 = int(std::min(m_iHeight - 1.0, std::floor(maxY)));
    if (t.x1 < t.x0 || t.y1 < t.y0)
        return false;
    t.own[0] = OwnsEdge(b, c);
    t.own[1] = OwnsEdge(c, a);
    t.own[2] = OwnsEdge(a, b);
    t.bExact = ExactEdges(a, b, c);
    t.d[0] = double(b.y) - c.y;
    t.d[1] = double(c.y) - a.y;
    t.d[2] = double(a.y) - b.y;
    t.dx[0] = double(c.x) - b.x;
    t.dx[1] = double(a.x) - c.x;
    t.dx[2] = double(b.x) - a.x;
    return true;
}

// Which values vary over the triangle. With exact edge values a value that is
// the same finite float at every corner mixes back to exactly that float, so it
// is set once; of the others, only those the pipeline reads are interpolated.
void CSoftwareDevice::ChooseValues(const Pipeline& pipe, Triangle* pTri)
{
    Triangle& t = *pTri;
    const bool bNeed[6] = {pipe.bNeedRgb, pipe.bNeedRgb, pipe.bNeedRgb, pipe.bNeedAlpha, pipe.bNeedUv, pipe.bNeedUv};
    t.at = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    t.nVarying = 0;
    for (int k = 0; k < 6; ++k)
    {
        float Vertex::*m = kValues[k];
        const float f = t.a.*m;
        const bool bSame =
            t.bExact && std::isfinite(f) && !(f == 0.0f && std::signbit(f)) && t.b.*m == f && t.c.*m == f;
        t.bVary[k] = false;
        if (bSame)
            t.at.*m = f;
        else if (bNeed[k])
        {
            t.bVary[k] = true;
            t.varying[t.nVarying++] = k;
        }
    }
}

// Nothing the pipeline reads varies: the colour and its blend factors are
// worked out once and given to every covered pixel.
void CSoftwareDevice::FillOneColour(const Pipeline& pipe, const Triangle& t)
{
    Colour colour;
    if (!pipe.Shade(t.at, &colour))
        return;  // keyed out everywhere
    std::uint32_t packed = 0;
    pipe.Write(packed, colour);
    const float fs = Factor(pipe.srcBlend, colour.a), fd = Factor(pipe.destBlend, colour.a);
    for (int py = t.y0; py <= t.y1; ++py)
    {
        std::uint32_t* pRow = &m_Pixels[static_cast<size_t>(py) * m_iWidth];
        const int n = GatherRow(t, py);
        for (int j = 0; j < n; ++j)
        {
            if (pipe.bBlend)
                pipe.Blend(pRow[m_RowX[j]], colour, fs, fd);
            else
                pRow[m_RowX[j]] = packed;
        }
    }
}

// The weights the varying values read. A corner whose value is 0 adds only a
// zero, whose sign no later step can see, so its weight may be left at 0.
// With exact edge values a vertical edge has the same values in every row: its
// weights are divided out once per column.
void CSoftwareDevice::SetUpWeights(Triangle* pTri)
{
    Triangle& t = *pTri;
    const size_t nColumns = static_cast<size_t>(t.x1 - t.x0 + 1);
    const Vertex* const corners[3] = {&t.a, &t.b, &t.c};
    const Vertex* const edgeFrom[3] = {&t.b, &t.c, &t.a};
    const Vertex* const edgeTo[3] = {&t.c, &t.a, &t.b};
    for (int k = 0; k < t.nVarying; ++k)
        for (int i = 0; i < 3; ++i)
            t.bWeight[i] = t.bWeight[i] || !t.bExact || corners[i]->*kValues[t.varying[k]] != 0.0f;
    for (int i = 0; i < 3; ++i)
    {
        m_RowL[i].assign(nColumns, 0.0);
        t.bColumn[i] = t.bWeight[i] && t.bExact && t.dx[i] == 0.0;
        t.bRowW[i] = t.bWeight[i] && !t.bColumn[i];
        if (!t.bColumn[i])
            continue;
        m_ColumnL[i].resize(nColumns);
        double w = Edge(*edgeFrom[i], *edgeTo[i], t.x0, t.y0);
        for (size_t k = 0; k < nColumns; ++k, w += t.d[i])
            m_ColumnL[i][k] = w / t.area;
    }
    for (int k = 0; k < t.nVarying; ++k)
        m_RowValue[t.varying[k]].resize(nColumns);
}

// The quickest way to shade the triangle's rows that gives every pixel the
// colour of the full texture stage and blend.
CSoftwareDevice::RowShading CSoftwareDevice::ChooseShading(const Pipeline& pipe, const Triangle& t)
{
    const bool bWhite = t.at.r == 255.0f && t.at.g == 255.0f && t.at.b == 255.0f;
    if (pipe.TexelOnly(bWhite))
        return pipe.bLinear ? RowShading::Texel : RowShading::TexelCopy;
    if (pipe.colorOp == U(TextureOp::Disable) && !pipe.bBlend)
        return RowShading::VertexColour;
    return RowShading::Full;
}

// The covered pixels of row py: their columns, and the edge values the weights
// are divided from (bRowW), into the scratch rows; returns how many.
int CSoftwareDevice::GatherRow(const Triangle& t, int py)
{
    double w0 = Edge(t.b, t.c, t.x0, py), w1 = Edge(t.c, t.a, t.x0, py), w2 = Edge(t.a, t.b, t.x0, py);
    if (t.bExact)
    {
        const double w[3] = {w0, w1, w2};
        return GatherExactRow(t, w);
    }
    const double d0 = t.d[0], d1 = t.d[1], d2 = t.d[2];
    const bool own0 = t.own[0], own1 = t.own[1], own2 = t.own[2];
    int* pX = m_RowX.data();
    double* pW0 = m_RowW[0].data();
    double* pW1 = m_RowW[1].data();
    double* pW2 = m_RowW[2].data();
    int n = 0;
    for (int px = t.x0; px <= t.x1; ++px, w0 += d0, w1 += d1, w2 += d2)
    {
        if (w0 < 0.0 || w1 < 0.0 || w2 < 0.0 || (w0 == 0.0 && !own0) || (w1 == 0.0 && !own1) ||
            (w2 == 0.0 && !own2))
            continue;
        pX[n] = px;
        pW0[n] = w0;
        pW1[n] = w1;
        pW2[n] = w2;
        ++n;
    }
    return n;
}

// GatherRow with exact edge values w at the row's first column: each edge's test
// holds on one side of a column, found from the edge values themselves, which are
// exact at every pixel of the row.
int CSoftwareDevice::GatherExactRow(const Triangle& t, const double w[3])
{
    int lo = 0, hi = t.x1 - t.x0;
    for (int i = 0; i < 3 && lo <= hi; ++i)
    {
        const double d = t.d[i];
        const bool own = t.own[i];
        if (d > 0.0)
        {
            int k = int(std::max(double(lo), std::min(double(hi) + 1.0, std::ceil(-w[i] / d))));
            while (k > lo && PassesEdge(w[i], d, k - 1, own))
                --k;
            while (k <= hi && !PassesEdge(w[i], d, k, own))
                ++k;
            lo = k;
        }
        else if (d < 0.0)
        {
            int k = int(std::min(double(hi), std::max(double(lo) - 1.0, std::floor(w[i] / -d))));
            while (k < hi && PassesEdge(w[i], d, k + 1, own))
                ++k;
            while (k >= lo && !PassesEdge(w[i], d, k, own))
                --k;
            hi = k;
        }
        else if (!PassesEdge(w[i], d, 0, own))
            hi = lo - 1;
    }
    const int n = std::max(0, hi - lo + 1);
    for (int j = 0; j < n; ++j)
        m_RowX[j] = t.x0 + lo + j;
    for (int i = 0; i < 3; ++i)
    {
        double* pW = m_RowW[i].data();
        for (int j = 0; t.bRowW[i] && j < n; ++j)
            pW[j] = w[i] + (lo + j) * t.d[i];
    }
    return n;
}

// The weights and varying values of the n pixels gathered.
void CSoftwareDevice::MixRow(const Triangle& t, int n)
{
    for (int i = 0; i < 3; ++i)
    {
        if (!t.bWeight[i])
            continue;
        double* pL = m_RowL[i].data();
        const double* pW = m_RowW[i].data();
        if (t.bColumn[i])
        {
            const double* pColumn = m_ColumnL[i].data();
            for (int j = 0; j < n; ++j)
                pL[j] = pColumn[m_RowX[j] - t.x0];
        }
        else if (t.d[i] == 0.0)  // a horizontal edge: one value along the row
            std::fill(pL, pL + n, pW[0] / t.area);
        else
            for (int j = 0; j < n; ++j)
                pL[j] = pW[j] / t.area;
    }
    const double* pL0 = m_RowL[0].data();
    const double* pL1 = m_RowL[1].data();
    const double* pL2 = m_RowL[2].data();
    for (int k = 0; k < t.nVarying; ++k)
    {
        float Vertex::*m = kValues[t.varying[k]];
        const float fa = t.a.*m, fb = t.b.*m, fc = t.c.*m;
        float* pValue = m_RowValue[t.varying[k]].data();
        for (int j = 0; j < n; ++j)
            pValue[j] = float(pL0[j] * fa + pL1[j] * fb + pL2[j] * fc);
    }
}

// Value k (r g b a u v) of pixel j of the row.
float CSoftwareDevice::Value(const Triangle& t, int k, int j) const
{
    return t.bVary[k] ? m_RowValue[k][j] : t.at.*kValues[k];
}

// Point sampling of the texel alone: the pixel is the texel's own bytes.
void CSoftwareDevice::CopyTexelRow(const Pipeline& pipe, const Triangle& t, std::uint32_t* pRow, int n)
{
    const Texture& tex = *pipe.pTexture;
    const int w = tex.iWidth, h = tex.iHeight;
    for (int j = 0; j < n; ++j)
    {
        const float su = Value(t, kU, j) * float(w), sv = Value(t, kV, j) * float(h);
        if (!(std::fabs(su) < 1e9f && std::fabs(sv) < 1e9f))
            continue;
        const std::uint32_t texel = tex.texels[static_cast<size_t>(Wrap(Floor(sv), h)) * w + Wrap(Floor(su), w)];
        if (!(pipe.bKey && texel == 0))
            pRow[m_RowX[j]] = texel;
    }
}

// The bilinear texel alone, or modulated by a diffuse of 255: four pixels at a
// time where no colour key can skip a texel and the coordinates are in range.
void CSoftwareDevice::TexelRow(const Pipeline& pipe, const Triangle& t, std::uint32_t* pRow, int n)
{
    const bool bModulate = pipe.colorOp == U(TextureOp::Modulate);
    int j = 0;
#if defined(__SSE2__)
    const Texture& tex = *pipe.pTexture;
    const __m128 kW = _mm_set1_ps(float(tex.iWidth)), kH = _mm_set1_ps(float(tex.iHeight));
    for (; !pipe.bKey && j + 4 <= n; j += 4)
    {
        const __m128 su = _mm_mul_ps(Lanes4(m_RowValue[kU], t.bVary[kU], t.at.u, j), kW);
        const __m128 sv = _mm_mul_ps(Lanes4(m_RowValue[kV], t.bVary[kV], t.at.v, j), kH);
        if (InRange4(su, sv))
            Store4(pRow, &m_RowX[j], BilinearTexels4(tex.texels.data(), tex.iWidth, tex.iHeight, su, sv, bModulate));
        else
            for (int k = j; k < j + 4; ++k)
                pipe.WriteTexel(pRow[m_RowX[k]], Value(t, kU, k), Value(t, kV, k), bModulate);
    }
#endif
    for (; j < n; ++j)
        pipe.WriteTexel(pRow[m_RowX[j]], Value(t, kU, j), Value(t, kV, j), bModulate);
}

// The vertex colour written as it is, unblended.
void CSoftwareDevice::VertexColourRow(const Triangle& t, std::uint32_t* pRow, int n)
{
    int j = 0;
#if defined(__SSE2__)
    for (; j + 4 <= n; j += 4)
    {
        const __m128 r = Lanes4(m_RowValue[0], t.bVary[0], t.at.r, j);
        const __m128 g = Lanes4(m_RowValue[1], t.bVary[1], t.at.g, j);
        const __m128 b = Lanes4(m_RowValue[2], t.bVary[2], t.at.b, j);
        Store4(pRow, &m_RowX[j], Pack4(Bytes4(r), Bytes4(g), Bytes4(b)));
    }
#endif
    for (; j < n; ++j)
        pRow[m_RowX[j]] = (ToByte(Value(t, 0, j)) << 16) | (ToByte(Value(t, 1, j)) << 8) | ToByte(Value(t, 2, j));
}

// The full texture stage and blend, a pixel at a time.
void CSoftwareDevice::ShadeRow(const Pipeline& pipe, const Triangle& t, std::uint32_t* pRow, int n)
{
    Vertex at = t.at;
    for (int j = 0; j < n; ++j)
    {
        for (int k = 0; k < t.nVarying; ++k)
            at.*kValues[t.varying[k]] = m_RowValue[t.varying[k]][j];
        Colour colour;
        if (pipe.Shade(at, &colour))
            pipe.Write(pRow[m_RowX[j]], colour);
    }
}

// One pixel per step along the major axis, from the first vertex up to but not
// including the last; colours interpolated along the line. A line of one colour
// keeps exactly that colour (each channel mixes in a zero), so it is shaded once.
bool CSoftwareDevice::DrawLineList(const ColouredVertex* pVertices, int nVertices)
{
    if (!pVertices || nVertices < 2)
        return false;
    const Pipeline pipe = Resolve();
    for (int i = 0; i + 1 < nVertices; i += 2)
    {
        const Vertex p = FromColoured(pVertices[i]), q = FromColoured(pVertices[i + 1]);
        const double dx = double(q.x) - p.x, dy = double(q.y) - p.y;
        const double length = std::max(std::fabs(dx), std::fabs(dy));
        if (!(length < 1e6))  // not a number or absurd
            continue;
        const bool bOneColour = p.r == q.r && p.g == q.g && p.b == q.b && p.a == q.a;
        const Vertex start{0.0f, 0.0f, p.r, p.g, p.b, p.a, 0.0f, 0.0f};
        Colour colour;
        const bool bDrawn = pipe.Shade(start, &colour);
        const float fs = Factor(pipe.srcBlend, colour.a), fd = Factor(pipe.destBlend, colour.a);
        const int nSteps = int(std::lround(length));
        for (int k = 0; k < nSteps; ++k)
        {
            const double t = double(k) / nSteps;
            // The pixel whose centre is nearest, if it is on the image: checked
            // before the conversion, which far-off points would overflow.
            const double fx = p.x + dx * t + 0.5, fy = p.y + dy * t + 0.5;
            if (!(fx >= 0.0 && fy >= 0.0 && fx < m_iWidth && fy < m_iHeight))
                continue;
            const int px = int(fx), py = int(fy);  // the floor, as both are positive
            std::uint32_t& dest = m_Pixels[static_cast<size_t>(py) * m_iWidth + px];
            if (bOneColour)
            {
                if (bDrawn)
                    pipe.Blend(dest, colour, fs, fd);
                continue;
            }
            auto lerp = [&](float Vertex::*m) { return float(p.*m + (q.*m - p.*m) * t); };
            const Vertex at{float(px), float(py), lerp(&Vertex::r), lerp(&Vertex::g), lerp(&Vertex::b),
                            lerp(&Vertex::a), 0.0f, 0.0f};
            if (pipe.Shade(at, &colour))
                pipe.Write(dest, colour);
        }
    }
    return true;
}

