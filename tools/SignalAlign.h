#pragma once
// tq-align: how a recording of the program's output lines up with a recording of
// its input: the delay at which they match best and how well they match there.
// The Windows-audio test uses it to check that the sound passes through whole.
#include <cstddef>
#include <iosfwd>
#include <vector>

struct Alignment
{
    int iLag = 0;               // frames the recorded signal runs behind the reference
    double dCorrelation = 0.0;  // normalized, -1..1; 0 where either side is silent
    double dGain = 0.0;         // least-squares factor from reference to recorded
    // Stretches of a hundredth of a second of the window: all, and those where the
    // recorded signal is digital silence while the reference there sounds, as a
    // stream that ran dry leaves them.
    int nBlocks = 0;
    int nSilentBlocks = 0;
};

// Compares recorded[uStart, uStart + uLength) with the reference uLag frames
// earlier, for every uLag in 0..iMaxLag (at most uStart), and returns the lag of
// the highest normalized correlation. False when the window does not fit in
// either signal. iRate sizes the blocks.
bool AlignSignals(const std::vector<float>& reference, const std::vector<float>& recorded, size_t uStart,
                  size_t uLength, int iMaxLag, int iRate, Alignment* pResult);

constexpr int kAlignOk = 0;
constexpr int kAlignBelow = 1;     // the correlation is below --min-correlation
constexpr int kAlignBadInput = 2;  // bad option, or a recording that cannot be read or is too short

// argv[0] is the program name. The result goes to out as one line; a failure
// writes exactly one line "tq-align: ..." to err and nothing to out.
int RunAlignCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
