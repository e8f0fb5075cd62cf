#include "app/ShellPanelHost.h"

#include <windows.h>
#include <shellapi.h>

#include "app/AppGlobals.h"
#include "app/Dialogs.h"
#include "app/RecordingMixer.h"
#include "audio/AudioGlobals.h"
#include "audio/StreamControl.h"
#include "base/Log.h"
#include "panel/FrameTick.h"

namespace {


class CShellPanelHost : public CPanelHost
{
public:
    void OpenOptionsDialog() override { ShowOptionsDialog(g_hWnd); }
    void OpenAboutBox() override { ShowAboutBox(g_hWnd); }
    void OpenWebSite() override { ShellExecuteA(g_hWnd, "open", kTonquarryWebSite, nullptr, nullptr, SW_SHOWMAXIMIZED); }
    void OpenHelpPage() override { OpenIntroHelpPage(g_hWnd); }
    void OpenRecordingMixer() override { ::OpenRecordingMixer(g_hWnd); }
    // The power button: the driver recorded now receives the command; its
    // result is not shown (the button shows what was asked).
    void StartAudio() override
    {
        const AudioBackend& b = AudioBackendOf(g_iAudioDriver);
        if (b.Start)
            b.Start();
    }
    void PauseAudio() override
    {
        const AudioBackend& b = AudioBackendOf(g_iAudioDriver);
        if (b.Stop)
            b.Stop();
    }
};

} // namespace

CPanelHost& ShellPanelHost()
{
    static CShellPanelHost s_Host;
    return s_Host;
}
