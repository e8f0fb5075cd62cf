// tq-analyze: the offline tuner on the command line.
#include <iostream>

#include "base/Log.h"
#include "tools/AnalyzeCommand.h"

// A silent log: a command-line tool must not leave a log file in the user's
// working directory.
CLog g_Log(nullptr);

int main(int argc, char** argv)
{
    return RunAnalyzeCommand(argc, argv, std::cout, std::cerr);
}
