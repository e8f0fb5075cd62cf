#pragma once
// The pitch of A4 every note is tuned to: 440.0 Hz unless the player tunes to a
// band or a piano elsewhere (442 in many orchestras, 415 for baroque pitch). Held
// in tenths of a hertz, so that a value read back is exactly the value written.
#include <atomic>
#include <string>

constexpr int kMinReferenceTenths = 4000;      // 400.0 Hz
constexpr int kMaxReferenceTenths = 4800;      // 480.0 Hz
constexpr int kDefaultReferenceTenths = 4400;  // 440.0 Hz

// Read by the audio, window and frame threads; set by the window thread (and the
// tools) before the engine is built anew.
extern std::atomic<int> g_iReferenceTenths;

// A4 in Hz.
float ReferenceA4();
// The current reference over 440: what every 440-based frequency is scaled by.
long double ReferenceRatio();

// "442", "442.0", "415.3": a number from 400.0 to 480.0 with at most one
// decimal, spaces around it allowed. False (nothing written) for anything else.
bool ParseReferenceA4(const char* szText, int* piTenths);
// "442.0": the form the settings file and the dialog show.
std::string ReferenceText(int iTenths);
