#pragma once
// Bitmaps from files for GDI (the panel's textures, the About box's logo). The
// file is read and checked by our own BMP reader; the system is handed only the
// decoded pixels, never the file, whose headers it would trust. Windows only.
#include <windows.h>

#include <string>

#include "base/BmpFile.h"

// A 24-bit bottom-up DIB section holding the image's pixels, as the system's own
// file loader would make it; null when the image is empty or GDI has no memory.
HBITMAP CreateBitmapFromImage(const RgbImage& image);

// The bitmap in the file at szPath (UTF-8, relative to the working folder);
// null with one line in *pReason that names the file when the reader refuses it
// (missing, too large, damaged) or GDI cannot hold it.
HBITMAP LoadBitmapFile(const char* szPath, std::string* pReason);
