#pragma once
// The kernel-streaming audio thread: one full-duplex stream from set-up to end,
// commanded through four events and reporting its end with CM_EXIT_THREAD.
#include <windows.h>

#include "audio/StreamControl.h"  // the command events, CM_EXIT_THREAD, the download address

class CDspEngine;
class CKsEnumFilters;

extern HWND g_hWnd;                // receives CM_EXIT_THREAD; the program's main window
extern int g_iRingBytes;           // whole blocks in about a quarter second

// Shows a set-up failure to the user: the audio-error help for a non-zero kind,
// otherwise a message box with the text. The program installs its dialogs here.
typedef void (*AudioErrorReportFn)(HWND hOwner, int iErrorKind, const char* szText);
extern AudioErrorReportFn g_pfnReportAudioError;
void DefaultAudioErrorReport(HWND hOwner, int iErrorKind, const char* szText);

// The thread procedure; the parameter points at the four command events.
DWORD WINAPI CaptureThreadProc(LPVOID pParam);

// Empties the device-name lists, then finds the capture and the render filters
// (devices opened, with pins; topology for capture), recording their names. The
// enumerators are stored as soon as they exist, so the caller deletes them also
// after a failure, which is raised as its text; hrLast is the last result.
void FindKsFilters(CKsEnumFilters*& pCapture, CKsEnumFilters*& pRender, HRESULT& hrLast);
// A failed set-up: logged with the last result, shown to the user (through
// g_pfnReportAudioError) and answered with CM_EXIT_THREAD E_FAIL, so the
// program quits.
void ReportKsFailure(const char* szFailure, HRESULT hrLast);
