#pragma once
// Constants shared by the units. They are single-precision on purpose: the filter
// layouts and the note table are defined by these exact float values.

// 2 pi, formed in single precision; every unit that needs 2 pi uses this value.
constexpr float TWO_PI = 2.0f * 3.1415927f;

// The float nearest 1/12: one semitone as a fraction of an octave.
constexpr float SEMITONE_OCTAVES = 0.083333336f;

// Half a semitone in octaves.
constexpr float HALF_SEMITONE_OCTAVES = 0.041666668f;

// Wraps a sample index of a double-buffered array (index - 1 and - 2 of the first
// samples of a block reach back into the other half).
inline int WrapIndex(int i, int length)
{
    return i < 0 ? i + length : i;
}
