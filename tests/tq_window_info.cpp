// tq-window-info TITLE: the outer and client size of a top-level window as Windows
// reports them, then each of its child windows: its text on a line of its own
// ("text: ...", for those with text), such as a message box's message and
// buttons, and its place in the window's client area ("child ID LEFT TOP RIGHT
// BOTTOM"). Under Wine without a window manager the X window holds only the client
// area and X tools cannot read a control's text, so both are seen from here.
#include <windows.h>

#include <cstdio>

namespace {

BOOL CALLBACK PrintChild(HWND hChild, LPARAM lParam)
{
    char sz[1024];
    if (GetWindowTextA(hChild, sz, sizeof sz) > 0)
        std::printf("text: %s\n", sz);
    RECT rc;
    if (GetWindowRect(hChild, &rc))
    {
        MapWindowPoints(nullptr, reinterpret_cast<HWND>(lParam), reinterpret_cast<POINT*>(&rc), 2);
        std::printf("child %d %ld %ld %ld %ld\n", GetDlgCtrlID(hChild), rc.left, rc.top, rc.right, rc.bottom);
    }
    return TRUE;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* szTitle = argc > 1 ? argv[1] : "Tonquarry Guitar Tuner";
    const HWND hWnd = FindWindowA(nullptr, szTitle);
    RECT outer, client;
    if (!hWnd || !GetWindowRect(hWnd, &outer) || !GetClientRect(hWnd, &client))
    {
        std::fprintf(stderr, "tq-window-info: no window \"%s\"\n", szTitle);
        return 1;
    }
    std::printf("outer %ld x %ld, client %ld x %ld\n", outer.right - outer.left, outer.bottom - outer.top,
                client.right - client.left, client.bottom - client.top);
    EnumChildWindows(hWnd, PrintChild, reinterpret_cast<LPARAM>(hWnd));
    return 0;
}
