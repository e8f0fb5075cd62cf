// tq-snapshot: one frame of the panel, as the first full redraw draws it for the
// given state, through the software device, written to a PNG file.
#include <iostream>

#include "base/Log.h"
#include "tools/SnapshotCommand.h"

// A silent log: no log file in the working directory.
CLog g_Log(nullptr);

int main(int argc, char** argv)
{
    return RunSnapshotCommand(argc, argv, TQ_TEXTURE_DIR, std::cout, std::cerr);
}
