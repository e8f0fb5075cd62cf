// The main window procedure: mouse input to the panel, drawing on and off with
// the window state, the audio command events, the audio thread's end report and
// the ways to quit.
#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>

#include "app/AppGlobals.h"
#include "app/FrameTimer.h"
#include "app/RecordingMixer.h"
#include "app/SettingsSaveWin.h"
#include "app/StreamControlWin.h"
#include "audio/AudioGlobals.h"
#include "audio/StreamControl.h"
#include "base/Log.h"
#include "panel/Button.h"
#include "panel/FrameTick.h"
#include "panel/XEffects.h"
#include "render/RedrawRequest.h"

int g_bQuitting = 0;
int g_bMouseDown = 0;
int g_iMouseX = 0;
int g_iMouseY = 0;

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

void SignalAudio(int iEvent)
{
    if (g_hAudioEvents[iEvent])
        SetEvent(g_hAudioEvents[iEvent]);
}

// The panel first offers the message to the title-bar buttons.
void MouseToPanel(int iMessage)
{
    if (!g_XEffects.CheckControls(g_iMouseX, g_iMouseY, iMessage))
        g_XEffects.Mouse(g_iMouseX, g_iMouseY, iMessage);
}

// Quitting while an audio thread that reports its end may run (kernel
// streaming's): it is told to end, and its end report quits (g_bQuitting); the timer quits if it does not answer in time.
// Quitting at once would destroy what the thread still uses.
void QuitAfterAudioThread(HWND hWnd)
{
    g_bQuitting = 1;
    SignalAudio(eAbort);
    SetTimer(hWnd, kForceQuitTimer, 5000, nullptr);
}

// The audio thread ended; returns 1 when the message is fully handled.
int OnExitThread(HWND hWnd, LPARAM lParam)
{
    const HRESULT hr = static_cast<HRESULT>(lParam);
    if (hr == E_OUTOFMEMORY)
    {
        g_Log.Print("MsgProc() CM_EXIT_THREAD : FAILED, Out of memory");
        MessageBoxA(hWnd, "Your computer doesn't have enough available memory", "Error", MB_OK);
        PostQuitMessage(0);
        return 1;
    }
    if (hr == E_FAIL)
    {
        g_Log.Print("MsgProc() CM_EXIT_THREAD : FAILED E_FAIL");
        PostQuitMessage(0);
        return 1;
    }
    if (hr == E_ABORT)
    {
        g_Log.Print("MsgProc() CM_EXIT_THREAD : Aborted");
        timeKillEvent(g_uFrameTimer);
        if (g_bQuitting)
        {
            KillTimer(hWnd, kForceQuitTimer);  // answered in time
            g_Log.Print("MsgProc() CM_EXIT_THREAD E_ABORT Quitting Application");
            PostQuitMessage(0);
        }
        else
        {
            // Ended so that audio restarts with the Options dialog's new values.
            InitAudio();
            StartAudio();
            // Kept now that the new rate and block size are in use.
            SaveSettingsOrTell(hWnd, false);
            StartFrameTimer();
            g_iRedrawCommand.store(CMD_WINDOW, kRelaxed);
            g_iRedrawIndex.store(0, kRelaxed);
            g_bPanelDrawn.store(1, kRelaxed);
        }
    }
    return 0;
}

} // namespace

LRESULT CALLBACK MsgProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg)
    {
    case WM_CREATE:
        g_Log.Print("\nMsgProc() WM_CREATE");
        for (void*& hEvent : g_hAudioEvents)
            hEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        break;
    case WM_DESTROY:
        g_Log.Print("MsgProc() WM_DESTROY");
        PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        if (wParam == SIZE_RESTORED)
        {
            g_bRenderEnabled.store(1, kRelaxed);
            g_bPanelDrawn.store(0, kRelaxed);
        }
        else if (wParam == SIZE_MINIMIZED)
        {
            g_bRenderEnabled.store(0, kRelaxed);
        }
        break;
    case WM_KILLFOCUS:
        if (g_bQuitting)
            SignalAudio(ePause);
        break;
    case WM_CLOSE:
        g_Log.Print("\nMsgProc() WM_CLOSE");
        g_bQuitting = 1;
        if (!AudioBackendOf(g_iAudioDriver).bEndReported)
        {
            ReleaseAudioDriver();
            PostQuitMessage(0);
            return 0;
        }
        QuitAfterAudioThread(hWnd);
        return 0;
    case WM_SHOWWINDOW:
        g_Log.Print("MsgProc() WM_SHOWWINDOW");
        break;
    case WM_SETCURSOR:
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
        break;
    case WM_CHAR:
        switch (static_cast<char>(wParam & 0xff))
        {
        case 'm': OpenRecordingMixer(g_hWnd); break;
        case 'q':
            if (AudioBackendOf(g_iAudioDriver).bEndReported)
            {
                QuitAfterAudioThread(hWnd);
                break;
            }
            g_bQuitting = 1;
            SignalAudio(eAbort);
            PostQuitMessage(0);
            break;
        case 'r': g_bPanelDrawn.store(0, kRelaxed); break;
        default: break;
        }
        break;
    case WM_TIMER:
        if (wParam == kForceQuitTimer)
        {
            KillTimer(hWnd, kForceQuitTimer);
            g_Log.Print("MsgProc() WM_TIMER forcing quit");
            PostQuitMessage(0);
        }
        break;
    case WM_MOUSEMOVE:
        g_iMouseX = LOWORD(lParam);
        g_iMouseY = HIWORD(lParam);
        if (g_bMouseDown)
            MouseToPanel(MSG_MOUSE_MOVE);
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        // The position is the last mouse move's, as the panel tracks it.
        if (g_bFirstFrameDone.load(kRelaxed))
        {
            g_bPanelDrawn.store(1, kRelaxed);
            g_bMouseDown = uMsg == WM_LBUTTONDOWN ? 1 : 0;
            MouseToPanel(uMsg == WM_LBUTTONDOWN ? MSG_LBUTTON_DOWN : MSG_LBUTTON_UP);
        }
        break;
    case CM_EXIT_THREAD:
        if (OnExitThread(hWnd, lParam))
            return 0;
        break;
    case CM_WASAPI_LOST:
        HandleWasapiLoss(lParam);
        return 0;
    case CM_ASIO_REQUEST:
        HandleAsioRequests();
        return 0;
    default: break;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}
