#pragma once
// The Windows-audio driver as the program streams through it: like the ASIO host,
// it takes the requested rate and block (or what the endpoints give), sets up the
// stream globals and the engine for them, and runs the engine on each block.
// Windows only.
#include <windows.h>

class CDspEngine;
struct AudioDriverEntry;

namespace WasapiHost
{
// The engine every block runs through; null stops nothing but skips the engine.
void Attach(CDspEngine* pEngine);
// The entry's capture and render lists: the default device, then the active
// endpoints by name, with their ids. 0 when none could be listed (the defaults
// are still offered).
int ListDevices(AudioDriverEntry* pEntry, bool bReportFailure);
// Opens the chosen endpoints (the defaults when none is chosen) and builds the
// engine. 1 on success; else 0, with the step in FailedStep().
int Init();
// 1 when streaming started.
int Start();
// Pauses: the endpoints stop, the stream stays set up for Start.
void Stop();
void Release();
const char* FailedStep();
bool Exclusive();
long long Dropped();
long long Repeated();
long long Blocks();
// Posted once to hWindow with uMessage (lParam the HRESULT) when the endpoints
// are lost while streaming.
void NotifyOnLoss(HWND hWindow, UINT uMessage);
}
