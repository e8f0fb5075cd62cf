#pragma once
// The equal-tempered note table, A4 (440 Hz unless the player chose another
// reference pitch) at index 57, and the note names.
#include <atomic>

constexpr int NUM_NOTES = 100;

// 100 note frequencies, entry 0 = C0, at the reference pitch of the last InitDSP.
// Null until the first InitDSP. Read from the audio, window and frame threads, so
// the pointer is published atomically.
extern std::atomic<float*> g_pNoteFreq;

// Note names by (note index mod 12), each a 3-byte field.
extern const char g_szNoteName[12][3];

// Publishes the table of the current reference pitch, made on its first use; 1 on
// success, 0 when it cannot be allocated.
int MakeNoteTable();

// Frequency of note k (0..99) at the current reference pitch, as the table gives it.
float NoteFrequency(int k);
