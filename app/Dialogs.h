#pragma once
// The program's dialogs: the audio Options, the About box, the first-run pages
// and the audio-error help. Windows only.
#include <windows.h>

// The first-run pages, modal, owned by hOwner (the desktop: the main window does
// not exist yet).
void ShowFirstRunDialog(HWND hOwner);
// The help for an audio device that could not be acquired (g_iAudioErrorKind).
void ShowAudioErrorDialog(HWND hOwner);
// A failed kernel-streaming set-up: the help above for a device that could not
// be acquired (a non-zero kind), otherwise a message box with the failure text.
void ReportAudioError(HWND hOwner, int iErrorKind, const char* szText);
// The "help\intro.htm" page of the working directory at start-up.
void OpenIntroHelpPage(HWND hOwner);
// The audio Options; its OK restarts the audio with the new choice.
void ShowOptionsDialog(HWND hOwner);
void ShowAboutBox(HWND hOwner);
// The maker's web page, opened from the panel and the About box.
extern const char kTonquarryWebSite[];

INT_PTR CALLBACK FirstRunDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AudioErrorDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK OptionsDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
