#pragma once
// The one pending redraw request, shared by the window thread (mouse commands),
// the audio thread (the limiter) and the frame tick, which consumes it.
#include <atomic>

extern std::atomic<int> g_iRedrawCommand;  // 0 = none pending
extern std::atomic<int> g_iRedrawIndex;
extern std::atomic<int> g_iLastCommand;    // last request made by RequestRedraw
extern std::atomic<int> g_iLastIndex;

// Sets the pending request unless a different command is pending; 1 when taken.
int RequestRedraw(int iCommand, int iIndex, int iLastCommand, int iLastIndex);
// Sets the pending request only when none is pending; 1 when taken.
int RequestRedrawIfIdle(int iCommand, int iIndex);
