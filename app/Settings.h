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
// read and passes its range rule replaces the value in `current`. Whitespace of
// any kind separates the values; at the first text that is no number (or a
// number too large for its type) reading stops and the rest keep their values.
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
    // 1 when written; 0 when the install path is not found or the file cannot be
    // created.
    int SaveSettings();

    // The values the program's globals hold now, as the file stores them.
    static SettingsValues Current();
    // Puts values into the program's globals.
    static void Apply(const SettingsValues& values);
};

extern CSettings g_Settings;
// Set at start-up when no earlier run left its mark; the first-run pages are shown.
extern int g_bFirstRun;
