#include "render/software/SoftwareDevice.h"

#include <algorithm>
#include <cmath>

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
    m_Textures[iNumber] = image;
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

bool CSoftwareDevice::DrawStrip(const ColouredVertex* pVertices, int nVertices)
{
    if (!pVertices || nVertices < 3)
        return false;
    for (int i = 0; i + 2 < nVertices; ++i)
        DrawTriangle(FromColoured(pVertices[i]), FromColoured(pVertices[i + 1]), FromColoured(pVertices[i + 2]));
    return true;
}

bool CSoftwareDevice::DrawStrip(const TexturedVertex* pVertices, int nVertices)
{
    if (!pVertices || nVertices < 3)
        return false;
    for (int i = 0; i + 2 < nVertices; ++i)
        DrawTriangle(FromTextured(pVertices[i]), FromTextured(pVertices[i + 1]), FromTextured(pVertices[i + 2]));
    return true;
}

void CSoftwareDevice::DrawTextAt(int x, int y, std::uint32_t colour, const char* szText, unsigned uAlignment)
{
    if (m_pTextRenderer && szText)
        m_pTextRenderer->Draw(m_Pixels.data(), m_iWidth, m_iHeight, x, y, colour, szText, uAlignment);
}

// The pixels whose centres lie inside the triangle (with the top-left rule on the
// edges), each shaded with the colours and texture coordinates at its centre.
void CSoftwareDevice::DrawTriangle(const Vertex& a, const Vertex& b0, const Vertex& c0)
{
    double area = Edge(a, b0, c0.x, c0.y);
    if (!(std::fabs(area) > 0.0))  // degenerate or not a number
        return;
    const bool bFlip = area < 0.0;
    const Vertex& b = bFlip ? c0 : b0;
    const Vertex& c = bFlip ? b0 : c0;
    area = std::fabs(area);

    const double minX = std::min({a.x, b.x, c.x}), maxX = std::max({a.x, b.x, c.x});
    const double minY = std::min({a.y, b.y, c.y}), maxY = std::max({a.y, b.y, c.y});
    // Off the image (or too far for an int): nothing to draw.
    if (!(maxX >= 0.0 && maxY >= 0.0 && minX <= m_iWidth - 1.0 && minY <= m_iHeight - 1.0))
        return;
    const int x0 = int(std::max(0.0, std::ceil(minX))), x1 = int(std::min(m_iWidth - 1.0, std::floor(maxX)));
    const int y0 = int(std::max(0.0, std::ceil(minY))), y1 = int(std::min(m_iHeight - 1.0, std::floor(maxY)));
    const bool own0 = OwnsEdge(b, c), own1 = OwnsEdge(c, a), own2 = OwnsEdge(a, b);

    // Steps of the edge functions from one pixel to the next on the right.
    const double d0 = double(b.y) - c.y, d1 = double(c.y) - a.y, d2 = double(a.y) - b.y;
    for (int py = y0; py <= y1; ++py)
    {
        double w0 = Edge(b, c, x0, py), w1 = Edge(c, a, x0, py), w2 = Edge(a, b, x0, py);
        for (int px = x0; px <= x1; ++px, w0 += d0, w1 += d1, w2 += d2)
        {
            if (w0 < 0.0 || w1 < 0.0 || w2 < 0.0 || (w0 == 0.0 && !own0) || (w1 == 0.0 && !own1) ||
                (w2 == 0.0 && !own2))
                continue;
            const double l0 = w0 / area, l1 = w1 / area, l2 = w2 / area;
            auto mix = [&](float Vertex::*m) { return float(l0 * a.*m + l1 * b.*m + l2 * c.*m); };
            const Vertex at{float(px),        float(py),        mix(&Vertex::r), mix(&Vertex::g),
                            mix(&Vertex::b), mix(&Vertex::a), mix(&Vertex::u), mix(&Vertex::v)};
            Colour colour;
            if (Shade(at, &colour))
                Write(px, py, colour);
        }
    }
}

// One pixel per step along the major axis, from the first vertex up to but not
// including the last; colours interpolated along the line.
bool CSoftwareDevice::DrawLineList(const ColouredVertex* pVertices, int nVertices)
{
    if (!pVertices || nVertices < 2)
        return false;
    for (int i = 0; i + 1 < nVertices; i += 2)
    {
        const Vertex p = FromColoured(pVertices[i]), q = FromColoured(pVertices[i + 1]);
        const double dx = double(q.x) - p.x, dy = double(q.y) - p.y;
        const double length = std::max(std::fabs(dx), std::fabs(dy));
        if (!(length < 1e6))  // not a number or absurd
            continue;
        const int nSteps = int(std::lround(length));
        for (int k = 0; k < nSteps; ++k)
        {
            const double t = double(k) / nSteps;
            const int px = int(std::floor(p.x + dx * t + 0.5)), py = int(std::floor(p.y + dy * t + 0.5));
            if (px < 0 || py < 0 || px >= m_iWidth || py >= m_iHeight)
                continue;
            auto lerp = [&](float Vertex::*m) { return float(p.*m + (q.*m - p.*m) * t); };
            const Vertex at{float(px), float(py), lerp(&Vertex::r), lerp(&Vertex::g), lerp(&Vertex::b),
                            lerp(&Vertex::a), 0.0f, 0.0f};
            Colour colour;
            if (Shade(at, &colour))
                Write(px, py, colour);
        }
    }
    return true;
}

// Texture stage 0: Disable gives the vertex colour; otherwise the texture is read
// (which may key the pixel out) and SelectArg1 or Modulate combine the arguments.
bool CSoftwareDevice::Shade(const Vertex& at, Colour* pOut) const
{
    const Colour diffuse{at.r, at.g, at.b, at.a};
    const std::uint32_t op = Stage(StageState::ColorOp);
    if (op == U(TextureOp::Disable))
    {
        *pOut = diffuse;
        return true;
    }
    Colour texel{255.0f, 255.0f, 255.0f, 255.0f};
    if (!Sample(at.u, at.v, &texel))
        return false;
    auto arg = [&](StageState s) { return Stage(s) == U(TextureArg::Texture) ? texel : diffuse; };
    const Colour a1 = arg(StageState::ColorArg1), a2 = arg(StageState::ColorArg2);
    if (op == U(TextureOp::Modulate))
        *pOut = {a1.r * a2.r / 255.0f, a1.g * a2.g / 255.0f, a1.b * a2.b / 255.0f, 0.0f};
    else
        *pOut = a1;
    const std::uint32_t alphaOp = Stage(StageState::AlphaOp);
    if (alphaOp == U(TextureOp::SelectArg1))
        pOut->a = arg(StageState::AlphaArg1).a;
    else if (alphaOp == U(TextureOp::Modulate))
        pOut->a = texel.a * diffuse.a / 255.0f;
    else
        pOut->a = diffuse.a;
    return true;
}

bool CSoftwareDevice::Sample(float u, float v, Colour* pOut) const
{
    if (!m_pTexture)
        return true;  // no texture: opaque white, already in *pOut
    const RgbImage& tex = *m_pTexture;
    const int w = tex.iWidth, h = tex.iHeight;
    const bool bKey = Render(RenderState::ColorKeyEnable) != 0;
    auto black = [](const RgbPixel& p) { return p.r == 0 && p.g == 0 && p.b == 0; };

    const float su = u * float(w), sv = v * float(h);
    if (!(std::fabs(su) < 1e9f && std::fabs(sv) < 1e9f))  // also not a number
        return false;
    const RgbPixel& nearest = tex.At(Wrap(Floor(su), w), Wrap(Floor(sv), h));
    if (bKey && black(nearest))
        return false;
    if (Stage(StageState::LinearFilter) == 0)
    {
        *pOut = {float(nearest.r), float(nearest.g), float(nearest.b), 255.0f};
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
            const RgbPixel& p = tex.At(xs[i], ys[j]);
            const float weight = (i ? tx : 1.0f - tx) * (j ? ty : 1.0f - ty);
            if (bKey && black(p))
                continue;
            r += weight * p.r;
            g += weight * p.g;
            b += weight * p.b;
            sum += weight;
        }
    }
    // The nearest texel is one of the four with a weight of at least a quarter.
    *pOut = {r / sum, g / sum, b / sum, 255.0f};
    return true;
}

float CSoftwareDevice::Factor(std::uint32_t factor, const Colour& src) const
{
    switch (static_cast<BlendFactor>(factor))
    {
    case BlendFactor::Zero: return 0.0f;
    case BlendFactor::One: return 1.0f;
    case BlendFactor::SrcAlpha: return src.a / 255.0f;
    case BlendFactor::InvSrcAlpha: return 1.0f - src.a / 255.0f;
    case BlendFactor::DestAlpha: return 1.0f;  // the image has no alpha: always opaque
    }
    return 1.0f;
}

void CSoftwareDevice::Write(int x, int y, const Colour& c)
{
    std::uint32_t& dest = m_Pixels[static_cast<size_t>(y) * m_iWidth + x];
    float r = c.r, g = c.g, b = c.b;
    if (Render(RenderState::AlphaBlendEnable) != 0)
    {
        const float fs = Factor(Render(RenderState::SrcBlend), c), fd = Factor(Render(RenderState::DestBlend), c);
        r = r * fs + float((dest >> 16) & 0xFFu) * fd;
        g = g * fs + float((dest >> 8) & 0xFFu) * fd;
        b = b * fs + float(dest & 0xFFu) * fd;
    }
    dest = (ToByte(r) << 16) | (ToByte(g) << 8) | ToByte(b);
}
