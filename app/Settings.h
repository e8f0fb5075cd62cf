#pragma once
// The audio settings kept from one run to the next in "Settings.dat" in the
// install folder: seven decimal integers, one a line.
#include <cstddef>
#include <string>
#include <vector>

#include "dsp/ReferencePitch.h"

// The file's values: seven numbers in line order, then lines of the form
// "name=value", with their defaults.
struct SettingsValues
{
    int iSamplingFreq = 48000;     // 12000..192000
    int iBlockSize = 1200;         // 25..2000
    int iAudioDriver = 1;          // 0 kernel streaming, 1 ASIO or 3 Windows audio
    int iCaptureDevice = 0;        // 0..9
    int iRenderDevice = 0;         // 0..9
    int iInputChannels = 0;        // 0 mono, else stereo
    unsigned uAnalyserSetting = 0; // kept as read
    // Windows-audio endpoint ids ("wasapi_capture=", "wasapi_render="); empty for
    // the system's default device.
    std::string sCaptureEndpoint;
    std::string sRenderEndpoint;
    // A4 in tenths of a hertz ("reference_a4=442.0"); 440.0 when the line is
    // missing or malformed, or its value out of 400.0..480.0.
    int iReferenceTenths = kDefaultReferenceTenths;
    // Lines of names this program does not know, as read: a later version's
    // settings survive a run of this one.
    std::vector<std::string> asOtherLines;
};

// The longest name and value of a "name=value" line, and how many unknown lines
// are kept.
constexpr std::size_t kMaxSettingName = 64;
constexpr std::size_t kMaxSettingValue = 512;
constexpr std::size_t kMaxOtherSettingLines = 32;
// How much of the file is read.
constexpr std::size_t kMaxSettingsFileRead = 16384;

// Reads the values from the file's bytes over `current`: each one that can be
// read and passes its range rule replaces the value in `current`. A leading
// UTF-8 byte-order mark (as Notepad saves) is passed over. Whitespace of any kind
// separates the seven numbers; at the first text that is no number (or a number
// too large for its type) reading stops and the rest keep their values. Only when
// all seven were read are the lines after the seventh read: one "name=value"
// each, a name the file lacks taking its default. A line that is not of that form, or whose value is refused, is skipped,
// and why is added to *pSkipped when given ("line 9: ...").
SettingsValues ReadSettingsText(const char* pData, std::size_t nSize, const SettingsValues& current,
                                std::vector<std::string>* pSkipped = nullptr);
// The file's text, "\n" line ends (a text-mode file turns them into the
// platform's own). Endpoint lines are written when not empty, then the unknown
// lines as they were read.
std::string WriteSettingsText(const SettingsValues& values);

class CSettings
{
public:
    // 0 when the install path is not found (defaults stay), else 1, also when
    // there is no file yet.
    int LoadSettings();
    // 1 when written; 0 when the install path is not found or no place takes the
    // file. Each failed write is logged with its reason.
    int SaveSettings();
    // After a save that found the install path but could write nowhere: what the
    // player is told, naming the first place tried and why it failed. Once per
    // run: empty after a save that wrote or had nowhere to write, and once the
    // player has been told. bClosing: the program is ending, so the settings are
    // not kept until then.
    std::string TakeFailureNotice(bool bClosing);

    // The values the program's globals hold now, as the file stores them.
    static SettingsValues Current();
    // Puts values into the program's globals.
    static void Apply(const SettingsValues& values);

private:
    std::string m_sFailedFile;  // the last save's first place, when it wrote nowhere
    std::string m_sFailure;     // and why that place refused
    bool m_bPlayerTold = false;
};

// The caption of the message that tells the player.
extern const char kSettingsNotSavedCaption[];

extern CSettings g_Settings;
// Set at start-up when no earlier run left its mark; the first-run pages are shown.
extern int g_bFirstRun;
