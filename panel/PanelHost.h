#pragma once
// What the panel asks of the platform: dialogs, the shell, the audio stream. The
// Windows shell fills this in; elsewhere (tools, tests) the requests are recorded.
#include <string>
#include <vector>

class CPanelHost
{
public:
    virtual ~CPanelHost() = default;
    virtual void OpenOptionsDialog() = 0;
    virtual void OpenAboutBox() = 0;
    virtual void OpenWebSite() = 0;
    virtual void OpenHelpPage() = 0;        // the "help\intro.htm" page
    virtual void OpenRecordingMixer() = 0;  // the system's recording mixer
    virtual void StartAudio() = 0;
    virtual void PauseAudio() = 0;
};

// Records the requests by name, in order.
class CRecordingPanelHost : public CPanelHost
{
public:
    std::vector<std::string> m_Requests;
    void OpenOptionsDialog() override { m_Requests.push_back("options"); }
    void OpenAboutBox() override { m_Requests.push_back("about"); }
    void OpenWebSite() override { m_Requests.push_back("website"); }
    void OpenHelpPage() override { m_Requests.push_back("help"); }
    void OpenRecordingMixer() override { m_Requests.push_back("mixer"); }
    void StartAudio() override { m_Requests.push_back("start"); }
    void PauseAudio() override { m_Requests.push_back("pause"); }
};
