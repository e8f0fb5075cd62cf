#pragma once
// Where the settings file is read and written. The install folder is the file's
// home while the player may write there. A player without administrator rights
// cannot write into Program Files (Windows 6 and later; the program asks for no
// virtualized writes), so the file then lives in the program's own per-user
// folder. An earlier version that ran without a manifest had its writes
// redirected into the user's VirtualStore; that copy is read once, when the
// per-user folder has none yet, so no setting is lost in the move.
#include <string>

struct SettingsPlaces
{
    std::string sInstallFolder;       // from the install path
    std::string sUserFolder;          // the program's per-user folder; empty when the system has none
    std::string sVirtualStoreFolder;  // the install folder's VirtualStore; empty when none
};

// The checks the choice asks of the file system; tests answer them from a table.
struct SettingsProbes
{
    bool (*FileExists)(const std::string& sFile);
    bool (*FolderWritable)(const std::string& sFolder);
};

struct SettingsHome
{
    std::string sFolder;    // where the file is written
    std::string sReadFile;  // the file read at start-up (it may not exist)
};

// The per-user folder when it already holds a settings file; else the install
// folder when it is writable; else the per-user folder, read from the
// VirtualStore copy or else from the install folder's own file. Without a
// per-user folder, the install folder.
SettingsHome ChooseSettingsHome(const SettingsPlaces& places, const SettingsProbes& probes);

// Where Windows redirected a program's writes into sFolder for this user:
// "<local application data>\VirtualStore" followed by sFolder without its drive.
// Empty for a folder on no drive letter (a network path) or without a local
// application-data folder.
std::string VirtualStoreFolder(const std::string& sLocalAppData, const std::string& sFolder);

// The places for an install folder on this system, and the real file system.
SettingsPlaces PlatformSettingsPlaces(const std::string& sInstallFolder);
SettingsProbes FileSystemProbes();
