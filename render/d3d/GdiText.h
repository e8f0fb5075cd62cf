#pragma once
// Text on the Direct3D back buffer through GDI, after the scene has ended. Windows only.
#include <windows.h>

#include <cstdint>

// The panel's font: "Arial" at 8 points. Null until start-up creates it.
extern HFONT g_hFont;

// Creates the 8-point font for the vertical resolution of the window's device
// context (the screen's when hWnd is null); null on failure.
HFONT CreatePanelFont(HWND hWnd);

// One text item on the back buffer: colour is a COLORREF, alignment a set of GDI
// text-alignment flags (0 left, 2 right, 6 centred; the top at y).
void DrawTextItem(int x, int y, std::uint32_t colour, const char* szText, unsigned uAlignment);
