#pragma once
// The panel's requests carried out by the Windows shell: the audio stream's power,
// the web site, the help page, the recording mixer, the Options and About dialogs.
#include "panel/PanelHost.h"

CPanelHost& ShellPanelHost();
