#pragma once
// The program's own folder among the user's application data, for the files it
// writes when it may not write beside itself (a player without administrator
// rights cannot write into Program Files): "<application data>\Tonquarry
// Multimedia Studios\Tonquarry Guitar Tuner".
#include <string>

// UTF-8; empty where the system has no application-data folder. With bCreate the
// missing folders are made, and a folder that cannot be made gives empty.
std::string ProgramUserFolder(bool bCreate);

// sFolder and sName joined by the platform's separator (none added after one).
std::string JoinPath(const std::string& sFolder, const std::string& sName);

// True when a file can be created in sFolder: a temporary one is made and removed.
// Asking the folder's permissions instead would miss what the system adds to
// them (an administrator's rights held back, a read-only medium).
bool FolderWritable(const std::string& sFolder);
