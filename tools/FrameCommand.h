#pragma once
// tq-frame: pictures of the panel taken from the screen (window dumps) turned into
// PNG files and compared with the software device's frames, for the program's
// tests and the run command.
#include <iosfwd>

constexpr int kFrameOk = 0;
constexpr int kFrameDiffers = 1;   // compare: more pixels differ than allowed
constexpr int kFrameBadInput = 2;  // bad option, or a file that cannot be read or written

// argv[0] is the program name. Results go to out; a failure writes exactly one line
// "tq-frame: ..." to err.
int RunFrameCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
