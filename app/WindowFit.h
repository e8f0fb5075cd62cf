#pragma once
// The main window's size from its client area. Windows only.
#include <windows.h>

// Moves the window to the top-left of the screen with a client area of exactly
// iWidth x iHeight pixels, whatever its frame: the frame's size differs with the
// pixels per inch, the theme and the system. Measures the result and corrects it
// once where the system's arithmetic and its windows disagree. True when the
// client area has that size.
bool FitClientArea(HWND hWnd, int iWidth, int iHeight);
