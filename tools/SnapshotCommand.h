#pragma once
// tq-snapshot: one frame of the panel, as the first full redraw draws it for the
// given state, through the software device, written to a PNG file.
#include <iosfwd>
#include <string>

// Exit status of the command.
constexpr int kSnapshotOk = 0;
constexpr int kSnapshotFailed = 1;    // no font, or the picture cannot be written
constexpr int kSnapshotBadInput = 2;  // bad option or value

// The whole command, argv[0] being the program name; sTextureDir is where the
// panel's bitmaps are found unless --textures names another folder. The usage
// goes to out; a failure writes exactly one line "tq-snapshot: ..." to err.
int RunSnapshotCommand(int argc, const char* const* argv, const std::string& sTextureDir, std::ostream& out,
                       std::ostream& err);
