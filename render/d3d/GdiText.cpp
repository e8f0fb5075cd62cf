#include "render/d3d/GdiText.h"

#include "render/d3d/Direct3D.h"

HFONT g_hFont = nullptr;

HFONT CreatePanelFont()
{
    // 8 points at 96 pixels per inch, whatever the screen's: the panel's places are
    // pixels, and where Windows does not scale the window (Windows XP, or Vista and
    // later without desktop composition or with the older way of scaling) text
    // sized for the screen would overrun them.
    return CreateFontA(-MulDiv(8, 96, 72), 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH, "Arial");
}

void DrawTextItem(int x, int y, std::uint32_t colour, const char* szText, unsigned uAlignment)
{
    if (!g_D3D.pBackBuffer || !szText)
        return;
    HDC hdc = nullptr;
    if (FAILED(g_D3D.pBackBuffer->GetDC(&hdc)) || !hdc)
        return;
    SetTextAlign(hdc, uAlignment);
    HGDIOBJ hOldFont = g_hFont ? SelectObject(hdc, g_hFont) : nullptr;
    SetTextColor(hdc, static_cast<COLORREF>(colour));
    SetBkMode(hdc, TRANSPARENT);
    ExtTextOutA(hdc, x, y, 0, nullptr, szText, static_cast<UINT>(lstrlenA(szText)), nullptr);
    if (hOldFont)
        SelectObject(hdc, hOldFont);
    g_D3D.pBackBuffer->ReleaseDC(hdc);
}
