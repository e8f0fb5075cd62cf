#pragma once
// The render-device seam on Direct3D 7: states, textures and primitives go to
// g_D3D.pDevice, text is drawn with GDI on the back buffer, and Present copies the
// back buffer into the window's client area with GDI. Windows only; InitD3D installs it.
#include "render/RenderDevice.h"

class CD3DDevice : public CRenderDevice
{
public:
    bool BeginScene() override;
    void EndScene() override;
    void Clear(std::uint32_t rgb) override;
    void SetRenderState(RenderState state, std::uint32_t value) override;
    void SetStageState(StageState state, std::uint32_t value) override;
    void SetTexture(int iTexture) override;
    bool HasTexture(int iTexture) const override;
    bool DrawStrip(const ColouredVertex* pVertices, int nVertices) override;
    bool DrawStrip(const TexturedVertex* pVertices, int nVertices) override;
    bool DrawLineList(const ColouredVertex* pVertices, int nVertices) override;
    void DrawTextAt(int x, int y, std::uint32_t colour, const char* szText, unsigned uAlignment) override;
    std::int32_t Present() override;

private:
    bool m_bPresentFailing = false;  // the last Present failed (and was logged)
};
