#pragma once
// One frame of the window, ten times a second on the multimedia timer's thread: a
// full redraw when one is due, otherwise the control a pending request names plus
// the live displays (level meter and tuner read-out); then the queued text and the
// copy to the screen.
#include <atomic>
#include <cstdint>

extern std::atomic<int> g_bRenderEnabled;   // 0 while minimised: ticks do nothing
extern std::atomic<int> g_bFirstFrameDone;  // mouse buttons are ignored before
extern std::atomic<int> g_iFrameCount;      // frames that carried out a request

// The program's name, shown in the title bar.
extern const char g_szAppName[];

// The timer callback; the arguments are not used. Returns 1.
int FrameTick(unsigned uTimerId, unsigned uMessage, std::uintptr_t user, std::uintptr_t r1, std::uintptr_t r2);
// The whole window: title bar and panel.
void RenderAll();
void RenderTitleBar();
