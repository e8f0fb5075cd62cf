// tq-align: the delay and the match between a recording of the program's input and
// one of its output.
#include <iostream>

#include "tools/SignalAlign.h"

int main(int argc, char** argv) { return RunAlignCommand(argc, argv, std::cout, std::cerr); }
