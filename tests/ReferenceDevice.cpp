#include "tests/ReferenceDevice.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr std::uint32_t U(BlendFactor f) { return static_cast<std::uint32_t>(f); }
constexpr std::uint32_t U(TextureOp op) { return static_cast<std::uint32_t>(op); }
constexpr std::uint32_t U(TextureArg arg) { return static_cast<std::uint32_t>(arg); }

int Wrap(int i, int n)
{
    const int m = i % n;
    return m < 0 ? m + n : m;
}

std::uint32_t ToByte(float f)
{
    return static_cast<std::uint32_t>(std::min(255.0f, std::max(0.0f, f)) + 0.5f);
}

template <class V>
double Edge(const V& p, const V& q, double x, double y)
{
    return (double(q.x) - p.x) * (y - p.y) - (double(q.y) - p.y) * (x - p.x);
}

// Top-left rule: the edge p -> q owns the centres on it when the inside lies to
// its right (a left edge) or below it (a horizontal top edge).
template <class V>
bool OwnsEdge(const V& p, const V& q)
{
    const double dy = double(q.y) - p.y;
    const double dx = double(q.x) - p.x;
    return dy < 0.0 || (dy == 0.0 && dx > 0.0);
}

float Factor(std::uint32_t factor, float srcAlpha)
{
    switch (static_cast<BlendFactor>(factor))
    {
    case BlendFactor::Zero: return 0.0f;
    case BlendFactor::One: return 1.0f;
    case BlendFactor::SrcAlpha: return srcAlpha / 255.0f;
    case BlendFactor::InvSrcAlpha: return 1.0f - srcAlpha / 255.0f;
    case BlendFactor::DestAlpha: return 1.0f;  // the image has no alpha
    }
    return 1.0f;
}

} // namespace

CReferenceDevice::CReferenceDevice(int iWidth, int iHeight)
    : m_iWidth(iWidth), m_iHeight(iHeight), m_Pixels(static_cast<size_t>(iWidth) * iHeight, 0u)
{
    m_RenderStates[static_cast<int>(RenderState::SrcBlend)] = U(BlendFactor::One);
    m_RenderStates[static_cast<int>(RenderState::DestBlend)] = U(BlendFactor::Zero);
    m_StageStates[static_cast<int>(StageState::ColorOp)] = U(TextureOp::Modulate);
    m_StageStates[static_cast<int>(StageState::ColorArg1)] = U(TextureArg::Texture);
    m_StageStates[static_cast<int>(StageState::ColorArg2)] = U(TextureArg::Diffuse);
    m_StageStates[static_cast<int>(StageState::AlphaOp)] = U(TextureOp::SelectArg1);
    m_StageStates[static_cast<int>(StageState::AlphaArg1)] = U(TextureArg::Texture);
}

bool CReferenceDevice::LoadTexture(int iNumber, const RgbImage& image)
{
    if (iNumber < 0 || image.iWidth <= 0 || image.iHeight <= 0 ||
        image.pixels.size() != static_cast<size_t>(image.iWidth) * image.iHeight)
        return false;
    m_Textures[iNumber] = image;
    return true;
}

void CReferenceDevice::Clear(std::uint32_t rgb) { std::fill(m_Pixels.begin(), m_Pixels.end(), rgb & 0xFFFFFFu); }

void CReferenceDevice::SetRenderState(RenderState state, std::uint32_t value)
{
    m_RenderStates[static_cast<int>(state)] = value;
}

void CReferenceDevice::SetStageState(StageState state, std::uint32_t value)
{
    m_StageStates[static_cast<int>(state)] = value;
}

bool CReferenceDevice::DrawStrip(const ColouredVertex* pVertices, int nVertices)
{
    if (!pVertices || nVertices < 3)
        return false;
    for (int i = 0; i + 2 < nVertices; ++i)
    {
        Vertex v[3];
        for (int k = 0; k < 3; ++k)
        {
            const ColouredVertex& c = pVertices[i + k];
            v[k] = {c.x, c.y, float((c.colour >> 16) & 0xFFu), float((c.colour >> 8) & 0xFFu),
                    float(c.colour & 0xFFu), float(c.colour >> 24), 0.0f, 0.0f};
        }
        DrawTriangle(v[0], v[1], v[2]);
    }
    return true;
}

bool CReferenceDevice::DrawStrip(const TexturedVertex* pVertices, int nVertices)
{
    if (!pVertices || nVertices < 3)
        return false;
    for (int i = 0; i + 2 < nVertices; ++i)
    {
        Vertex v[3];
        for (int k = 0; k < 3; ++k)
        {
            const TexturedVertex& t = pVertices[i + k];
            v[k] = {t.x, t.y, 255.0f, 255.0f, 255.0f, 255.0f, t.tu, t.tv};
        }
        DrawTriangle(v[0], v[1], v[2]);
    }
    return true;
}

// Every pixel of the bounding box whose centre is inside, or on an owned edge,
// shaded with the values mixed by its weights: its edge values over the area.
// The edge values step along a row from its first pixel, as the device's do.
void CReferenceDevice::DrawTriangle(const Vertex& a, const Vertex& b0, const Vertex& c0)
{
    double area = Edge(a, b0, c0.x, c0.y);
    if (!(std::fabs(area) > 0.0))
        return;
    const Vertex& b = area < 0.0 ? c0 : b0;
    const Vertex& c = area < 0.0 ? b0 : c0;
    area = std::fabs(area);

    const double minX = std::min({a.x, b.x, c.x}), maxX = std::max({a.x, b.x, c.x});
    const double minY = std::min({a.y, b.y, c.y}), maxY = std::max({a.y, b.y, c.y});
    if (!(maxX >= 0.0 && maxY >= 0.0 && minX <= m_iWidth - 1.0 && minY <= m_iHeight - 1.0))
        return;
    const int x0 = int(std::max(0.0, std::ceil(minX))), x1 = int(std::min(m_iWidth - 1.0, std::floor(maxX)));
    const int y0 = int(std::max(0.0, std::ceil(minY))), y1 = int(std::min(m_iHeight - 1.0, std::floor(maxY)));
    const bool own0 = OwnsEdge(b, c), own1 = OwnsEdge(c, a), own2 = OwnsEdge(a, b);
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
            const Vertex at{float(px),       float(py),       mix(&Vertex::r), mix(&Vertex::g),
                            mix(&Vertex::b), mix(&Vertex::a), mix(&Vertex::u), mix(&Vertex::v)};
            Colour colour;
            if (Shade(at, &colour))
                Write(px, py, colour);
        }
    }
}

// One pixel per step along the major axis, from the first vertex up to but not
// including the last; the pixel is the one whose centre is nearest, skipped when
// it is off the image.
bool CReferenceDevice::DrawLineList(const ColouredVertex* pVertices, int nVertices)
{
    if (!pVertices || nVertices < 2)
        return false;
    for (int i = 0; i + 1 < nVertices; i += 2)
    {
        const ColouredVertex& p = pVertices[i];
        const ColouredVertex& q = pVertices[i + 1];
        const double dx = double(q.x) - p.x, dy = double(q.y) - p.y;
        const double length = std::max(std::fabs(dx), std::fabs(dy));
        if (!(length < 1e6))
            continue;
        auto channel = [](std::uint32_t colour, int shift) { return float((colour >> shift) & 0xFFu); };
        const int nSteps = int(std::lround(length));
        for (int k = 0; k < nSteps; ++k)
        {
            const double t = double(k) / nSteps;
            const double fx = std::floor(p.x + dx * t + 0.5), fy = std::floor(p.y + dy * t + 0.5);
            if (!(fx >= 0.0 && fy >= 0.0 && fx < m_iWidth && fy < m_iHeight))
                continue;
            auto lerp = [&](int shift) {
                const float from = channel(p.colour, shift), to = channel(q.colour, shift);
                return float(from + (to - from) * t);
            };
            const Vertex at{float(fx), float(fy), lerp(16), lerp(8), lerp(0), lerp(24), 0.0f, 0.0f};
            Colour colour;
            if (Shade(at, &colour))
                Write(int(fx), int(fy), colour);
        }
    }
    return true;
}

// Texture stage 0: Disable gives the vertex colour; otherwise the texture is read
// (which may key the pixel out) and SelectArg1 or Modulate combine the arguments.
bool CReferenceDevice::Shade(const Vertex& at, Colour* pOut) const
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

// Wrap addressing, texel centres at (i + 0.5) / n; a texture that is not loaded
// reads as opaque white. The colour key skips the pixel whose nearest texel is
// black and leaves black texels out of the bilinear mix.
bool CReferenceDevice::Sample(float u, float v, Colour* pOut) const
{
    const auto found = m_Textures.find(m_iTexture);
    if (found == m_Textures.end())
        return true;
    const RgbImage& tex = found->second;
    const int w = tex.iWidth, h = tex.iHeight;
    const bool bKey = Render(RenderState::ColorKeyEnable) != 0;
    auto black = [](const RgbPixel& p) { return p.r == 0 && p.g == 0 && p.b == 0; };

    const float su = u * float(w), sv = v * float(h);
    if (!(std::fabs(su) < 1e9f && std::fabs(sv) < 1e9f))
        return false;
    const RgbPixel& nearest = tex.At(Wrap(int(std::floor(su)), w), Wrap(int(std::floor(sv)), h));
    if (bKey && black(nearest))
        return false;
    if (Stage(StageState::LinearFilter) == 0)
    {
        *pOut = {float(nearest.r), float(nearest.g), float(nearest.b), 255.0f};
        return true;
    }
    const float fx = su - 0.5f, fy = sv - 0.5f;
    const float ix = std::floor(fx), iy = std::floor(fy);
    const float tx = fx - ix, ty = fy - iy;
    float r = 0.0f, g = 0.0f, b = 0.0f, sum = 0.0f;
    for (int j = 0; j < 2; ++j)
    {
        for (int i = 0; i < 2; ++i)
        {
            const RgbPixel& p = tex.At(Wrap(int(ix) + i, w), Wrap(int(iy) + j, h));
            const float weight = (i ? tx : 1.0f - tx) * (j ? ty : 1.0f - ty);
            if (bKey && black(p))
                continue;
            r += weight * p.r;
            g += weight * p.g;
            b += weight * p.b;
            sum += weight;
        }
    }
    if (sum == 0.0f)  // far out, the nearest texel's share rounded to 0: it alone
        *pOut = {float(nearest.r), float(nearest.g), float(nearest.b), 255.0f};
    else
        *pOut = {r / sum, g / sum, b / sum, 255.0f};
    return true;
}

// result = source x SrcBlend + destination x DestBlend, or the source alone.
void CReferenceDevice::Write(int x, int y, const Colour& c)
{
    std::uint32_t& dest = m_Pixels[static_cast<size_t>(y) * m_iWidth + x];
    float r = c.r, g = c.g, b = c.b;
    if (Render(RenderState::AlphaBlendEnable) != 0)
    {
        const float fs = Factor(Render(RenderState::SrcBlend), c.a), fd = Factor(Render(RenderState::DestBlend), c.a);
        r = r * fs + float((dest >> 16) & 0xFFu) * fd;
        g = g * fs + float((dest >> 8) & 0xFFu) * fd;
        b = b * fs + float(dest & 0xFFu) * fd;
    }
    dest = (ToByte(r) << 16) | (ToByte(g) << 8) | ToByte(b);
}
