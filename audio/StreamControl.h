#pragma once
// Which driver streams the guitar (kernel streaming, ASIO or Windows audio), its
// fallbacks, and starting the stream; the lists of drivers, devices and rates the
// Options dialog offers. The decisions are portable; each driver's actions come
// through its AudioBackend, filled in by the Windows shell and by tests.

#include <string>

#include "audio/AudioGlobals.h"

constexpr int kMaxKsDeviceNames = 10;
constexpr int kKsDeviceNameSize = 260;

struct AudioDriverEntry
{
    int iType;  // AUDIO_DRIVER_*
    char szName[16];
    int iNumCaptureNames;
    char aszCaptureNames[kMaxKsDeviceNames][kKsDeviceNameSize];
    int iNumRenderNames;
    char aszRenderNames[kMaxKsDeviceNames][kKsDeviceNameSize];
    // Windows audio's endpoint ids beside their names ("" for the default device);
    // kernel-streaming devices go by their place in the list.
    char aszCaptureIds[kMaxKsDeviceNames][kKsDeviceNameSize];
    char aszRenderIds[kMaxKsDeviceNames][kKsDeviceNameSize];
};

constexpr int kMaxAudioDrivers = 3;
extern AudioDriverEntry g_AudioDriverList[kMaxAudioDrivers];
extern int g_iNumAudioDrivers;

// The kernel-streaming thread's commands, in its own numbering; the main window
// creates the four events.
enum AudioEvent
{
    eAbort,
    eStop,
    ePause,
    eRun,
    kNumAudioEvents,
};
extern void* g_hAudioEvents[kNumAudioEvents];
extern void* g_hCaptureThread;
// The audio thread's end report to the main window (WM_USER), sent synchronously;
// lParam is its HRESULT.
constexpr unsigned int CM_EXIT_THREAD = 0x400;
// The ASIO driver asked for something (WM_APP + 1): posted from the driver's thread.
constexpr unsigned int CM_ASIO_REQUEST = 0x8001;
// The Windows-audio endpoints were lost while streaming (WM_APP + 2): posted once
// from the stream's thread; lParam is the failing call's HRESULT.
constexpr unsigned int CM_WASAPI_LOST = 0x8002;

// Where the ASIO driver is offered for download; ends the messages that name it.
extern const char kAsioDownloadAddress[];

// One way of streaming: kernel streaming, ASIO or Windows audio. A null operation
// is one the back end does not have.
struct AudioBackend
{
    int (*Present)();  // 1 when it can be used; null: wherever it is offered
    // 1 with the entry's device names (and ids) filled in; bReportFailure: a
    // failure is shown and quits the program. Null: the driver lists none.
    int (*ListDevices)(AudioDriverEntry* pEntry, bool bReportFailure);
    int (*Init)();   // 1 when the stream is set up (kernel streaming: its thread made)
    int (*Start)();  // 1 when streaming
    void (*Stop)();  // pauses; Start resumes
    void (*Release)();  // closes the stream (kernel streaming: tells its thread to end)
    const char* (*FailedStep)();  // the step the last Init or Start failed at
    // The stream's own thread reports its end (CM_EXIT_THREAD): a restart or a
    // quit goes on from that report rather than at once.
    bool bEndReported;
};

struct AudioPlatform
{
    AudioBackend aBackends[4];  // by AUDIO_DRIVER_*; AUDIO_DRIVER_NONE's does nothing
    void (*ShowError)(const char* szText, const char* szCaption);
};
// The back end of a driver value; one that does nothing for AUDIO_DRIVER_NONE and
// for a value no driver has.
const AudioBackend& AudioBackendOf(int iDriver);
extern AudioPlatform g_AudioPlatform;

// What InitAudio does, before and after it tries ASIO.
struct AudioDecision
{
    int iDriver;          // the driver chosen: AUDIO_DRIVER_*
    bool bCommit;         // also becomes the confirmed driver
    bool bCreateThread;   // start the kernel-streaming thread
    bool bTryAsio;        // then initialise ASIO
    bool bTryWasapi;      // initialise Windows audio (after ASIO, when both are tried)
};
// iWindowsMajor below 6 allows kernel streaming, 6 and later Windows audio;
// bAsioPresent is the latched flag.
AudioDecision DecideAudioDriver(int iWindowsMajor, bool bAsioPresent, int iAudioDriver);
// When the ASIO initialisation failed.
AudioDecision DecideAfterAsioFailure(int iWindowsMajor);

// The driver's name for the player: "Windows Audio" for WASAPI.
extern const char kWasapiDriverName[];
// What the player is told when no driver starts on Windows 6 or later: ASIO
// (szAsioStep: the step it failed at, null when none is installed) and Windows
// audio (the step it failed at) were tried. Caption kDriverFailedCaption.
std::string NoDriverStartedMessage(const char* szAsioStep, const char* szWasapiStep);

// What the player is told when an installed driver does not start: the driver, the
// step that failed, and where to choose another. Caption kDriverFailedCaption.
std::string DriverFailedMessage(const char* szDriver, const char* szStep);
extern const char kDriverFailedCaption[];
// Tells the player so (through the platform) and clears the read-out: no stream runs.
void TellDriverFailed(const char* szDriver, const char* szStep);

// True while no stream runs because no driver started or the running one's device
// went away: an Options OK then tries again even when nothing was changed, as
// the messages that tell of it promise. Window thread only.
extern bool g_bStreamStopped;

void EnumAudioDrivers();
// 0 when no audio driver can be used, else 1.
int InitAudio();
// 1, or 0 when ASIOStart failed.
int StartAudio();
// The stream made anew with the current requests: the running driver's stream is
// released (its callbacks have stopped then, so the engine they run may be
// rebuilt), then InitAudio and StartAudio. Not for a back end whose end is
// reported: its report restarts the audio.
void RestartStream(int iRunningDriver);
// What the player is told when the Windows-audio endpoints go away mid-stream.
extern const char kWasapiLostMessage[];
