#pragma once
// Saving the settings where the player can be told that they cannot be kept.
// Windows only.
#include <windows.h>

// Saves the settings now. The first failure of the run is shown in a message box
// owned by hOwner, or by none when hOwner is no window (any more); later ones are
// only logged. bClosing: the program is ending.
void SaveSettingsOrTell(HWND hOwner, bool bClosing);
