#include "app/FirstRunMark.h"

#include <windows.h>

namespace {

const char kUserKey[] = "Software\\Tonquarry Multimedia Studios\\Tonquarry Guitar Tuner";
const char kMarkValue[] = "First Run Done";

} // namespace

int FindFirstRunMark()
{
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kUserKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return 0;
    DWORD dwValue = 0;
    DWORD dwType = 0;
    DWORD dwSize = sizeof(dwValue);
    const LONG lResult = RegQueryValueExA(hKey, kMarkValue, nullptr, &dwType, reinterpret_cast<BYTE*>(&dwValue), &dwSize);
    RegCloseKey(hKey);
    return (lResult == ERROR_SUCCESS && dwType == REG_DWORD && dwValue != 0) ? 1 : 0;
}

void WriteFirstRunMark()
{
    HKEY hKey = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kUserKey, 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr) != ERROR_SUCCESS)
        return;
    const DWORD dwValue = 1;
    RegSetValueExA(hKey, kMarkValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue), sizeof(dwValue));
    RegCloseKey(hKey);
}
