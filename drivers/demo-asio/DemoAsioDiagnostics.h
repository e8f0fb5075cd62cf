#pragma once
// What the demo driver saw a host do, for tests: counts since the DLL was loaded,
// read through the export DemoAsioDiagnostics (found with GetProcAddress).
#include <windows.h>

struct DemoAsioCounters
{
    // Bytes in front of a buffer found overwritten (checked after every callback
    // and when the buffers are disposed); past the end a host faults at once.
    long guardFaults;
    // Calls made from within a callback on the driver's streaming thread to a
    // method that must not be called there: init, start, stop, createBuffers,
    // disposeBuffers, setSampleRate, getChannels, getBufferSize, getChannelInfo,
    // getLatencies and the COM Release.
    long callsFromCallback;
    // Reset, buffer-size and rate requests sent.
    long requestsSent;
    // The sysHandle the last init() was given.
    void* lastInitWindow;
};

// Fills *p; E_POINTER for a null pointer.
extern "C" HRESULT STDAPICALLTYPE DemoAsioDiagnostics(DemoAsioCounters* p);
typedef HRESULT(STDAPICALLTYPE* DemoAsioDiagnosticsFunction)(DemoAsioCounters* p);
