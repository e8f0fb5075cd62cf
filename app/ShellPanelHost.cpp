#include "app/ShellPanelHost.h"

#include <windows.h>
#include <shellapi.h>

#include "app/AppGlobals.h"
#include "app/Dialogs.h"
#include "app/RecordingMixer.h"
#include "audio/AudioGlobals.h"
#include "audio/StreamControl.h"
#include "audio/wasapi/WasapiHost.h"
#include "audio/asio/Asio.h"
#include "base/Log.h"
#include "panel/FrameTick.h"

namespace {

void Signal(int iEvent)
{
    if (g_hAudioEvents[iEvent])
        SetEvent(g_hAudioEvents[iEvent]);
}

class CShellPanelHost : public CPanelHost
{
public:
    void OpenOptionsDialog() override { ShowOptionsDialog(g_hWnd); }
    void OpenAboutBox() override { ShowAboutBox(g_hWnd); }
    void OpenWebSite() override { ShellExecuteA(g_hWnd, "open", kTonquarryWebSite, nullptr, nullptr, SW_SHOWMAXIMIZED); }
    void OpenHelpPage() override { OpenIntroHelpPage(g_hWnd); }
    void OpenRecordingMixer() override { ::OpenRecordingMixer(g_hWnd); }
    // The power button: the driver recorded now receives the command.
    void StartAudio() override
    {
        if (g_iAudioDriver == AUDIO_DRIVER_KS)
            Signal(eRun);
        else if (g_iAudioDriver == AUDIO_DRIVER_WASAPI)
            WasapiHost::Start();
        else
            ASIOStart();
    }
    void PauseAudio() override
    {
        if (g_iAudioDriver == AUDIO_DRIVER_KS)
            Signal(ePause);
        else if (g_iAudioDriver == AUDIO_DRIVER_WASAPI)
            WasapiHost::Stop();
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
