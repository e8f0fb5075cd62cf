#pragma once
// The frame timer: the panel's frame tick every 100 ms on the multimedia-timer
// thread. Windows only.
#include <windows.h>
#include <mmsystem.h>

extern UINT g_uFrameTimer;

// Starts the 100 ms frame timer (the panel's FrameTick); its id goes into
// g_uFrameTimer.
void StartFrameTimer();
// The same with another tick and period, for tests.
void StartFrameTimerWith(LPTIMECALLBACK pfnTick, UINT uPeriodMs);

// Ends the frame timer for good, before shutdown releases what the ticks draw
// with. Returns true once no tick is drawing and none will start again; false when
// a tick is still drawing after dwDeadlineMs, and then nothing may be released.
// Messages sent to this thread are served meanwhile: a tick that copies to the
// window may wait for them.
bool StopFrameTimer(DWORD dwDeadlineMs);
