#pragma once
// The system's recording controls, opened from the panel's Mixer button, the 'm'
// key and the first-run pages.
#include <windows.h>

// Windows XP and earlier: the volume mixer on its recording controls. Windows 6
// and later have no such program: the Sound control panel on its Recording page.
// A failure is logged.
void OpenRecordingMixer(HWND hOwner);
