#pragma once
// The one pending redraw request, shared by the window thread (mouse commands),
// the audio thread (the limiter) and the frame tick, which consumes it.
#include <atomic>

// Redraw commands: what the next frame draws (the index names the control).
enum RedrawCommand : int
{
    CMD_KNOB = 1,         // a panel knob
    CMD_SLOT_POWER = 3,   // the current slot's power button
    CMD_STRINGS = 11,     // the six string buttons
    CMD_WINDOW = 14,      // posted by the window; draws nothing
    CMD_MIXER = 18,       // the "Mixer" button
    CMD_TUNING = 20,      // the string buttons and both tuning buttons
    CMD_LIMITER = 21,     // posted by the limiter; draws nothing
    CMD_TOP_BUTTON = 25,  // a title-bar button (for "Power" also the title)
};

extern std::atomic<int> g_bPanelDrawn;     // 0: the next frame is a full redraw
extern std::atomic<int> g_iRedrawCommand;  // 0 = none pending
extern std::atomic<int> g_iRedrawIndex;
extern std::atomic<int> g_iLastCommand;    // last request made by RequestRedraw
extern std::atomic<int> g_iLastIndex;

// Sets the pending request unless a different command is pending; 1 when taken.
int RequestRedraw(int iCommand, int iIndex, int iLastCommand, int iLastIndex);
// Sets the pending request only when none is pending; 1 when taken.
int RequestRedrawIfIdle(int iCommand, int iIndex);
// The next frame redraws the whole window.
void RequestFullRedraw();
