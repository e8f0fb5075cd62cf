#pragma once
// tq-analyze: runs a WAV recording through the engine with the tuner on and
// reports what the tuner read-out shows, as CSV rows per block or a summary.
#include <iosfwd>

// Exit status of the command.
constexpr int kAnalyzeOk = 0;
constexpr int kAnalyzeFailed = 1;    // the engine could not be started
constexpr int kAnalyzeBadInput = 2;  // bad option or unreadable recording

// The whole command, argv[0] being the program name. Results go to out; a failure
// writes exactly one line "tq-analyze: ..." to err and nothing to out.
int RunAnalyzeCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
