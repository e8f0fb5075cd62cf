#include "audio/AudioGlobals.h"

float g_fRequestedSamplingFreq = 48000.0f;
int g_iRequestedBlockSize = 1200;
float g_fPrevSamplingFreq = 48000.0f;
int g_iMaxSamplingFreq = 192000;
int g_iBytesPerBlock = 0;
std::atomic<int> g_iInputChannels{0};
int g_iAudioDriver = AUDIO_DRIVER_ASIO;
int g_iConfirmedAudioDriver = AUDIO_DRIVER_ASIO;
int g_bAsioPresent = 0;
int g_iCaptureDevice = 0;
std::string g_sCaptureEndpoint;
std::string g_sRenderEndpoint;
int g_iRenderDevice = 0;
std::atomic<int> g_iAudioErrorKind{0};
CDspEngine* g_pDspEngine = nullptr;
