// tq-frame: window dumps of the panel turned into PNG files and compared with the
// software device's frames.
#include <iostream>

#include "tools/FrameCommand.h"

int main(int argc, char** argv) { return RunFrameCommand(argc, argv, std::cout, std::cerr); }
