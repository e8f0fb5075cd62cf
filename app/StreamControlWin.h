#pragma once
// Stream control's actions on Windows: the ASIO host, the kernel-streaming thread,
// events and message boxes on the main window.
#include <windows.h>

#include "audio/StreamControl.h"

AudioPlatform WindowsAudioPlatform();
// On CM_ASIO_REQUEST: logs the ASIO driver's requests and restarts its stream when
// one asks for it, as the Options dialog's OK does.
void HandleAsioRequests();
// On CM_WASAPI_LOST: the stream has stopped; the player is told once and the
// read-out cleared. Options OK starts it again.
void HandleWasapiLoss(LPARAM hr);
// Releases the driver in use when the program ends.
void ReleaseAudioDriver();
// Puts the process that owns the window into the real-time priority class.
void SetRealtimePriority(HWND hWnd);
