#pragma once
// The program's window, module and shell-wide values, set by start-up. Windows only.
#include <windows.h>

#include "audio/StreamControl.h"  // CM_EXIT_THREAD
#include "engine/DspEngine.h"

// The window timer that forces the quit when the audio thread does not answer.
constexpr UINT_PTR kForceQuitTimer = 3;

extern const char g_szVersion[];
extern HINSTANCE g_hInst;
extern HWND g_hWnd;
// The working directory in UTF-8 (three bytes a UTF-16 unit at most).
constexpr int kCurrentDirectorySize = 3 * MAX_PATH + 1;
extern char g_szCurrentDirectory[kCurrentDirectorySize];
extern CDspEngine g_DspEngine;

// Set at WM_CLOSE and by the 'q' key: an ending audio thread then quits instead
// of restarting.
extern int g_bQuitting;
extern int g_bMouseDown;
extern int g_iMouseX, g_iMouseY;

LRESULT CALLBACK MsgProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
