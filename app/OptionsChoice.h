#pragma once
// What the Options dialog decides, apart from its controls: the block-size table
// behind the trackbar, the values OK writes into the audio globals, and how the
// audio restarts afterwards. Portable; the dialog procedure only reads its
// controls into an OptionsChoice.

constexpr int kNumBlockSizes = 21;
extern const int g_aiBlockSizes[kNumBlockSizes];
// The thumb where a block size not in the table is shown.
constexpr int kUnknownBlockSizeThumb = 16;

// The trackbar position (0..100) showing a block size: 5 x its table index.
int ThumbForBlockSize(int iBlockSize);
// The table index of a trackbar position, kept inside the table.
int BlockSizeIndexForThumb(int iThumb);
// The shown index after a page step (-1 or +1), kept inside the table.
int StepBlockSizeIndex(int iIndex, int iStep);

// The controls' state when OK is pressed; a selection is -1 when there is none.
struct OptionsChoice
{
    int iDriverSel;      // "Audio Interface"
    int iChannelsSel;    // "Input Channels": 0 mono, 1 stereo
    int iCaptureSel;     // "Input Device", in the chosen driver's list
    int iRenderSel;      // "Output Device"
    int iFreqSel;        // "Sampling Frequency", in the rate row of the chosen driver
    int iThumb;          // the trackbar
    bool bChanged;       // anything but the channel mode was touched
    int iReferenceTenths;  // "Reference A4" in tenths of a hertz, checked; 0 keeps it
};

enum class OptionsRestart
{
    None,             // nothing that needs the stream rebuilt
    Now,              // release the running stream, InitAudio, StartAudio, here and now
    AfterThreadEnds,  // end the audio thread (kernel streaming); the window restarts on its report
};

// The restart an OK needs, decided by the driver that was running before the dialog.
OptionsRestart DecideOptionsRestart(bool bChanged, int iConfirmedDriver);
struct AudioDriverEntry;
// The listed entry of a driver type; null when it is not listed.
const AudioDriverEntry* EntryOfDriver(int iDriver);
// The devices chosen in the lists of the driver in use (g_iAudioDriver): kernel
// streaming's by place, Windows audio's by endpoint id; ASIO's are set in its own
// panel. A selection of -1 keeps kernel streaming's first device and Windows
// audio's current endpoint.
void ChooseDevices(int iCaptureSel, int iRenderSel);
// The device a driver's list shows as chosen: kernel streaming's by place,
// Windows audio's by endpoint id (the default device when the chosen one is not
// listed).
int ShownDeviceSel(const AudioDriverEntry& entry, bool bCapture);
// The driver type a list selection stands for, or -1 for "None available".
int DriverOfSelection(int iSel);
// The rate (Hz) that OK requests for a frequency selection; the current request
// when no driver or no entry is selected, the previous stream's rate when the
// choice is above what the stream allows.
float RequestedFreqForSelection(int iFreqSel);

// What the dialog tells a player whose reference pitch it refuses.
extern const char kReferenceRefused[];

// OK: writes the choice into the audio globals, restarts the audio as decided by
// the driver confirmed before, then confirms the driver now in use. A stream that
// stopped (g_bStreamStopped) is tried again even without a change. Another
// reference pitch counts as a change: the engine's notes and bands are built
// anew for it, and the strings' targets follow it at once.
OptionsRestart OptionsOk(const OptionsChoice& choice);
// Cancel: a driver chosen in the dialog is undone.
void OptionsCancel();
