#include "app/SettingsSaveWin.h"

#include <string>

#include "app/Settings.h"
#include "base/Log.h"
#include "base/Utf8.h"

void SaveSettingsOrTell(HWND hOwner, bool bClosing)
{
    if (g_Settings.SaveSettings())
        return;
    const std::string sNotice = g_Settings.TakeFailureNotice(bClosing);
    if (sNotice.empty())
        return;
    g_Log.Print("SaveSettings() the player is told : ", sNotice.c_str());
    // Wide: the path may be named outside the ANSI code page.
    MessageBoxW(hOwner && IsWindow(hOwner) ? hOwner : nullptr, Utf8ToWide(sNotice).c_str(),
                Utf8ToWide(kSettingsNotSavedCaption).c_str(), MB_OK | MB_ICONWARNING);
}
