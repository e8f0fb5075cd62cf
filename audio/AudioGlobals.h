#pragma once
// What the audio side shares with the settings file, the Options dialog and the
// stream control: the requested stream and the values a running stream reports.
// Written by the user-interface thread while no stream runs; the input-channel mode
// is read again by every block, hence atomic.
#include <atomic>
#include <string>

class CDspEngine;

extern float g_fRequestedSamplingFreq;   // Hz asked for; 48000 at start
extern int g_iRequestedBlockSize;        // frames asked for; 1200 at start
extern float g_fPrevSamplingFreq;        // the rate of the last stream set up
extern int g_iMaxSamplingFreq;           // the highest rate the current stream allows
extern int g_iBytesPerBlock;             // block size of the stream (frames on the ASIO path)
extern std::atomic<int> g_iInputChannels;  // 0 mono (input 0 feeds both channels), else stereo

// The driver in use and the one last committed: 0 kernel streaming, 1 ASIO, 2 none,
// 3 Windows audio.
enum : int
{
    AUDIO_DRIVER_KS = 0,
    AUDIO_DRIVER_ASIO = 1,
    AUDIO_DRIVER_NONE = 2,
    AUDIO_DRIVER_WASAPI = 3,
};
extern int g_iAudioDriver;           // 1 at start: ASIO is tried first
extern int g_iConfirmedAudioDriver;  // what a restart must shut down
extern int g_bAsioPresent;           // latched once the ASIO driver was found loadable
extern int g_iCaptureDevice;         // kernel-streaming devices by enumeration order, 0..9
extern int g_iRenderDevice;
// Windows-audio endpoints by id, empty for the system's default devices.
extern std::string g_sCaptureEndpoint;
extern std::string g_sRenderEndpoint;
extern std::atomic<int> g_iAudioErrorKind;  // set by the audio thread: 1 capture, 2 render
extern CDspEngine* g_pDspEngine;           // the engine every stream drives

// The registry description of the ASIO driver the host loads.
constexpr char kAsioDriverName[] = "ASIO4ALL v2";

// The Options dialog's rates by driver value: row 0 kernel streaming (also the
// audio thread's fallback order), row 1 ASIO, row 3 Windows audio (the rates it
// asks an endpoint for in exclusive mode; shared mode runs at the endpoint's own).
extern int g_aiSamplingFreqs[4][20];
extern int g_aiNumSamplingFreqs[4];
void InitSamplingFreqTables();
