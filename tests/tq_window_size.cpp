// tq-window-size: the outer and client size of a top-level window as Windows
// reports them. Under Wine without a window manager the X window holds only the
// client area, so the frame is seen from here.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv)
{
    const char* szTitle = argc > 1 ? argv[1] : "Tonquarry Guitar Tuner";
    const HWND hWnd = FindWindowA(nullptr, szTitle);
    RECT outer, client;
    if (!hWnd || !GetWindowRect(hWnd, &outer) || !GetClientRect(hWnd, &client))
    {
        std::fprintf(stderr, "tq-window-size: no window \"%s\"\n", szTitle);
        return 1;
    }
    std::printf("outer %ld x %ld, client %ld x %ld\n", outer.right - outer.left, outer.bottom - outer.top,
                client.right - client.left, client.bottom - client.top);
    return 0;
}
