#pragma once
// The audio settings kept from one run to the next in "Settings.dat" in the
// install folder: seven decimal integers, one a line.
#include <cstddef>
#include <string>

// The file's seven values, in line order, with their defaults.
struct SettingsValues
{
    int iSamplingFreq = 48000;     // 12000..192000
    int iBlockSize = 1200;         // 25..2000
    int iAudioDriver = 1;          // 0 kernel streaming or 1 ASIO
    int iCaptureDevice = 0;        // 0..9
    int iRenderDevice = 0;         // 0..9
    int iInputChannels = 0;        // 0 mono, else stereo
    unsigned uAnalyserSetting = 0; // kept as read
};

// Reads the values from the file's bytes over `current`: each one that can be
// read and passes its range rule replaces the value in `current`. A leading
// UTF-8 byte-order mark (as Notepad saves) is passed over. Whitespace of any kind
// separates the values; at the first text that is no number (or a number too
// large for its type) reading stops and the rest keep their values.
SettingsValues ReadSettingsText(const char* pData, std::size_t nSize, const SettingsValues& current);
// The file's text, "\n" line ends (a text-mode file turns them into the
// platform's own).
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
