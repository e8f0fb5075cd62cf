#pragma once
// The panel's requests carried out by the Windows shell: the audio stream's power,
// the web site, the help page and the recording mixer. Options and About show a
// short note until their dialogs exist.
#include "render/PanelHost.h"

CPanelHost& ShellPanelHost();
