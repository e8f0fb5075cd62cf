// The program: its global objects, start-up in its fixed order, the message loop
// and shutdown.
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>
#include <ddraw.h>

#include <atomic>
#include <cstdio>

#include "app/AppGlobals.h"
#include "app/Dialogs.h"
#include "app/FirstRunMark.h"
#include "app/FrameTimer.h"
#include "app/Settings.h"
#include "app/SettingsSaveWin.h"
#include "app/ShellPanelHost.h"
#include "app/StreamControlWin.h"
#include "app/Version.h"
#include "app/WindowFit.h"
#include "audio/AudioGlobals.h"
#include "audio/SoundDevices.h"
#include "audio/StreamControl.h"
#include "audio/asio/Asio.h"
#include "audio/wasapi/WasapiHost.h"
#include "audio/ks/CaptureThread.h"
#include "audio/ks/KsStream.h"
#include "base/Log.h"
#include "base/SystemQuery.h"
#include "dsp/Alloc.h"
#include "dsp/StreamParams.h"
#include "panel/FrameTick.h"
#include "panel/XEffects.h"
#include "render/RedrawRequest.h"
#include "render/Renderer.h"
#include "render/d3d/D3DTextures.h"
#include "render/d3d/Direct3D.h"
#include "render/d3d/GdiText.h"

// Constructed in this order before WinMain runs; the log first, so every other
// object can log, and its footer is the last line at exit.
CLog g_Log;
CDspEngine g_DspEngine;

const char g_szVersion[] = TQ_VERSION;
HINSTANCE g_hInst = nullptr;
HWND g_hWnd = nullptr;
char g_szCurrentDirectory[kCurrentDirectorySize] = {};

namespace {

constexpr int kWindowWidth = 589;
constexpr int kWindowHeight = 240;
constexpr DWORD kFrameStopDeadlineMs = 10000;
constexpr DWORD kAudioThreadDeadlineMs = 5000;

void LogStartOfRun()
{
    CpuTest();
    g_Log.Print("Program version = ", g_szVersion);
    g_Log.LogPcName();
    g_Log.LogWindowsVersion();
    g_Log.LogCpuName();
    g_Log.LogDirectXVersion();
    g_Log.LogMemory();
    g_Log.Print("");
    if (DirectSoundCaptureEnumerateA(&CaptureDeviceEnumCallback, nullptr) < 0)
        g_Log.Print("DirectSoundCaptureEnumerate() FAILED");
    g_Log.Print("");
    if (DirectDrawEnumerateA(&DDEnumCallbackEx, nullptr) < 0)
        g_Log.Print("DirectDrawEnumerate() FAILED");
    g_Log.Print("");
}

bool RegisterWindowClass(HINSTANCE hInstance)
{
    WNDCLASSEXA wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.cbSize = sizeof(wc);
    wc.style = CS_CLASSDC;
    wc.lpfnWndProc = MsgProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = g_szAppName;
    return RegisterClassExA(&wc) != 0;
}

void LogDesktop(HWND hDesktop)
{
    RECT rc;
    GetClientRect(hDesktop, &rc);
    ClientToScreen(hDesktop, reinterpret_cast<POINT*>(&rc.left));
    ClientToScreen(hDesktop, reinterpret_cast<POINT*>(&rc.right));
    HDC hdc = GetDC(hDesktop);
    const int iBits = GetDeviceCaps(hdc, BITSPIXEL);
    const int iPixelsPerInch = GetDeviceCaps(hdc, LOGPIXELSY);
    ReleaseDC(hDesktop, hdc);
    char szLine[96];
    std::snprintf(szLine, sizeof(szLine), "Desktop dimensions : %d x %d x %d bit color", static_cast<int>(rc.right - rc.left),
                  static_cast<int>(rc.bottom - rc.top), iBits);
    g_Log.Print(szLine);

    // The pixels per inch the program sees: 96 where Windows scales its windows
    // (Vista and later, for a program not aware of them), the screen's own
    // otherwise, as on Windows XP. Whether Windows counts the program as aware is
    // known from Vista on.
    using IsAwareFn = BOOL(WINAPI*)();
    const HMODULE hUser = GetModuleHandleA("user32.dll");
    const IsAwareFn pfnIsAware =
        hUser ? reinterpret_cast<IsAwareFn>(reinterpret_cast<void*>(GetProcAddress(hUser, "IsProcessDPIAware")))
              : nullptr;
    if (pfnIsAware)
        std::snprintf(szLine, sizeof(szLine), "Desktop DPI : %d (DPI aware: %d)", iPixelsPerInch, pfnIsAware() ? 1 : 0);
    else
        std::snprintf(szLine, sizeof(szLine), "Desktop DPI : %d", iPixelsPerInch);
    g_Log.Print(szLine);
}

void RunMessageLoop()
{
    MSG msg;
    ZeroMemory(&msg, sizeof(msg));
    while (msg.message != WM_QUIT)
    {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        else
        {
            WaitMessage();
        }
    }
}

void Shutdown(HINSTANCE hInstance)
{
    // The kernel-streaming thread may still be logging after its end report, or
    // waiting in it when the quit was forced: what it uses must outlive it.
    if (!WaitForCaptureThreadEnd(kAudioThreadDeadlineMs))
        g_Log.Print("Shutdown() the audio thread did not end in time");
    ReleaseAudioDriver();
    // A frame still drawing after the deadline keeps what it draws with: the
    // process ends soon anyway, and releasing it under the frame would crash.
    const bool bFramesStopped = StopFrameTimer(kFrameStopDeadlineMs);
    // After the frames: a message box telling of a failure is not drawn over a
    // frame being presented. The window stays until the process ends.
    SaveSettingsOrTell(g_hWnd, true);
    g_Log.Print("\ng_dwMemCount      = ", static_cast<int>(g_dwMemCount.load()));
    g_Log.Print("g_dwMemBlockCount = ", static_cast<int>(g_dwMemBlockCount.load()));
    g_Log.Print("");
    CoUninitialize();
    if (bFramesStopped)
    {
        ReleaseTextures();
        ReleaseD3D();
    }
    else
    {
        g_Log.Print("Shutdown() a frame is still drawing; textures and device not released");
    }
    UnregisterClassA(g_szAppName, hInstance);
    g_Log.Print("EXITING PROGRAM");
}

} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    g_AudioPlatform = WindowsAudioPlatform();
    g_pDspEngine = &g_DspEngine;
    g_pfnReportAudioError = &ReportAudioError;
    LogStartOfRun();

    g_Settings.LoadSettings();
    // Every start tries ASIO first, unless the player chose Windows audio; the
    // audio start-up falls back from there.
    if (g_iAudioDriver != AUDIO_DRIVER_WASAPI)
        g_iAudioDriver = AUDIO_DRIVER_ASIO;
    g_iConfirmedAudioDriver = g_iAudioDriver;

    RegisterWindowClass(hInstance);
    g_hInst = hInstance;
    HWND hDesktop = GetDesktopWindow();
    // In UTF-16: a folder named outside the ANSI code page would turn into
    // question marks, and the pages and help beside the program would be lost.
    if (!g_SystemQuery.ReadCurrentDirectory(g_szCurrentDirectory, kCurrentDirectorySize))
        g_szCurrentDirectory[0] = '\0';
    g_Log.Print("Current Directory = ", g_szCurrentDirectory);

    g_bFirstRun = FindFirstRunMark() ? 0 : 1;
    if (g_bFirstRun)
    {
        ShowFirstRunDialog(hDesktop);
        WriteFirstRunMark();
    }

    LogDesktop(hDesktop);
    g_iWindowWidth = kWindowWidth;
    g_iWindowHeight = kWindowHeight;
    g_XEffects.m_iWidth = 582;
    g_XEffects.m_iHeight = 180;
    g_DspEngine.m_Analyser.m_iNumBands = 60;

    g_hWnd = CreateWindowExA(0, g_szAppName, g_szAppName, WS_VISIBLE | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, kWindowWidth,
                             kWindowHeight, hDesktop, nullptr, g_hInst, nullptr);
    CAsio::SetWindow(g_hWnd, CM_ASIO_REQUEST);
    // The panel is drawn in pixels of its own, one to one into the client area.
    if (!FitClientArea(g_hWnd, kClientWidth, kClientHeight))
        g_Log.Print("WinMain() FitClientArea() FAILED");
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    ShowCursor(TRUE);
    ShowWindow(g_hWnd, SW_SHOWNORMAL);
    UpdateWindow(g_hWnd);

    if (InitD3D(g_hWnd) < 0)
    {
        g_Log.Print("WinMain() - InitD3D FAILED");
        MessageBoxA(g_hWnd, "Failed to initialise graphics", "Error", MB_OK);
        Shutdown(hInstance);
        return 0;
    }

    g_iBlockSize = g_iRequestedBlockSize;
    g_iBytesPerBlock = 4 * g_iBlockSize;
    g_hFont = CreatePanelFont();
    if (!g_hFont)
        return static_cast<int>(E_FAIL);
    LoadTextures();
    ClearScreen();

    CAsio::Attach(&g_DspEngine);
    WasapiHost::Attach(&g_DspEngine);
    WasapiHost::NotifyOnLoss(g_hWnd, CM_WASAPI_LOST);
    EnumAudioDrivers();
    InitAudio();
    g_XEffects.Attach(&g_DspEngine, &ShellPanelHost());
    g_XEffects.Init();
    StartAudio();

    g_bRenderEnabled.store(1, std::memory_order_relaxed);
    g_bPanelDrawn.store(0, std::memory_order_relaxed);
    g_iRedrawCommand.store(0, std::memory_order_relaxed);
    StartFrameTimer();
    SetRealtimePriority(g_hWnd);
    // Kept open for the life of the process; a second instance is not refused.
    CreateMutexA(nullptr, FALSE, g_szAppName);

    RunMessageLoop();
    Shutdown(hInstance);
    return 0;
}
