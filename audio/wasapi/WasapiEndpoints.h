#pragma once
// The Windows-audio endpoints a player can choose: the active capture or render
// endpoints with their ids and the names the system shows for them. Windows only.
#include <string>
#include <vector>

struct WasapiEndpoint
{
    std::string sId;    // UTF-8, as the settings file keeps it
    std::string sName;  // in the ANSI code page, as the Options dialog shows it
};

// False when the endpoints cannot be listed (no Windows audio); the list is then
// empty.
bool ListWasapiEndpoints(bool bCapture, std::vector<WasapiEndpoint>* pList);
