#pragma once
// Where the settings file lives: the install folder that the installer records in
// the registry value "Install Path" under HKEY_LOCAL_MACHINE.

// The settings file's full name must fit the Windows path limit, counted in UTF-16
// units; the path itself travels as UTF-8, up to three bytes a unit.
constexpr int kInstallPathChars = 260;
constexpr int kInstallPathSize = 3 * kInstallPathChars + 1;
constexpr char kInstallPathKey[] = "Software\\Tonquarry Multimedia Studios\\Tonquarry Redede Rizuz Ad";
constexpr char kInstallPathValue[] = "Install Path";
constexpr char kSettingsFileName[] = "Settings.dat";

enum class InstallPathRead
{
    Found,        // the text is in the buffer, terminated
    KeyMissing,
    QueryFailed,  // the value is missing or not a string
    TooLong,      // the value does not fit the buffer
};

// The platform's read of the value into szOut (iSize bytes, UTF-8). The Windows build
// reads the 32-bit registry view whatever its own width, as the 32-bit installer
// writes there. Elsewhere there is no install path. Tests replace it.
using InstallPathReader = InstallPathRead (*)(char* szOut, int iSize);
extern InstallPathReader g_pReadInstallPath;

// 1 with the install path in szPath, 0 on failure (logged). A path too long to
// take "\Settings.dat" within kInstallPathChars is refused.
int GetInstallPath(char (&szPath)[kInstallPathSize]);

// The install folder's settings file; 0 when the install path is not found.
int GetSettingsFileName(char (&szFile)[kInstallPathSize]);
