#include "app/ShellPanelHost.h"

#include <windows.h>
#include <shellapi.h>

#include "app/AppGlobals.h"
#include "app/Dialogs.h"
#include "app/Log.h"
#include "audio/Asio.h"
#include "audio/AudioGlobals.h"
#include "audio/StreamControl.h"
#include "render/FrameTick.h"

namespace {

const char kWebSite[] = "https://tonquarry.example.com/";

void Signal(int iEvent)
{
    if (g_hAudioEvents[iEvent])
        SetEvent(g_hAudioEvents[iEvent]);
}

class CShellPanelHost : public CPanelHost
{
public:
    void OpenOptionsDialog() override
    {
        MessageBoxA(g_hWnd, "The audio options are not available in this version yet.", "Options", MB_OK);
    }
    void OpenAboutBox() override
    {
        char szText[128];
        wsprintfA(szText, "%s - version %s", g_szAppName, g_szVersion);
        MessageBoxA(g_hWnd, szText, "About Tonquarry Redede Rizuz Ad", MB_OK);
    }
    void OpenWebSite() override { ShellExecuteA(g_hWnd, "open", kWebSite, nullptr, nullptr, SW_SHOWMAXIMIZED); }
    void OpenHelpPage() override { OpenIntroHelpPage(g_hWnd); }
    void OpenRecordingMixer() override { ::OpenRecordingMixer(g_hWnd); }
    // The power button: the driver recorded now receives the command.
    void StartAudio() override
    {
        if (g_iAudioDriver == AUDIO_DRIVER_KS)
            Signal(eRun);
        else
            ASIOStart();
    }
    void PauseAudio() override
    {
        if (g_iAudioDriver == AUDIO_DRIVER_KS)
            Signal(ePause);
        else
            ASIOStop();
    }
};

} // namespace

CPanelHost& ShellPanelHost()
{
    static CShellPanelHost s_Host;
    return s_Host;
}
