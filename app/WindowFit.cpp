#include "app/WindowFit.h"

bool FitClientArea(HWND hWnd, int iWidth, int iHeight)
{
    // The styles the window really has: Windows adds a caption and a frame to an
    // overlapped window whatever it was asked for.
    const DWORD dwStyle = static_cast<DWORD>(GetWindowLongA(hWnd, GWL_STYLE));
    const DWORD dwExStyle = static_cast<DWORD>(GetWindowLongA(hWnd, GWL_EXSTYLE));
    RECT rc = {0, 0, iWidth, iHeight};
    if (!AdjustWindowRectEx(&rc, dwStyle, FALSE, dwExStyle))
        GetWindowRect(hWnd, &rc);
    MoveWindow(hWnd, 0, 0, rc.right - rc.left, rc.bottom - rc.top, TRUE);

    RECT outer, client;
    if (!GetWindowRect(hWnd, &outer) || !GetClientRect(hWnd, &client))
        return false;
    const int dx = iWidth - (client.right - client.left);
    const int dy = iHeight - (client.bottom - client.top);
    if (dx != 0 || dy != 0)
    {
        MoveWindow(hWnd, 0, 0, outer.right - outer.left + dx, outer.bottom - outer.top + dy, TRUE);
        GetClientRect(hWnd, &client);
    }
    return client.right - client.left == iWidth && client.bottom - client.top == iHeight;
}
