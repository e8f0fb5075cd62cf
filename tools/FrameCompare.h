#pragma once
// Two pictures of the panel compared pixel by pixel: how many pixels differ in a
// channel by more than a tolerance, and by how much at worst.
#include "base/BmpFile.h"

struct FrameComparison
{
    int nBeyond = 0;  // pixels with a channel beyond the tolerance
    int iWorst = 0;   // the largest channel difference
    RgbImage diff;    // the expected frame dimmed, the pixels beyond it in bright red
};

// Both pictures have the same size (callers check).
FrameComparison CompareFrames(const RgbImage& expected, const RgbImage& actual, int iTolerance);

// Each pixel the mean of its 3 x 3 neighbourhood: text drawn by another font
// engine antialiases its edges differently, which this evens out, while a glyph
// of another shape still differs.
RgbImage SmoothFrame(const RgbImage& image);

// The part of a picture inside the rectangle, clipped to the picture.
RgbImage CropFrame(const RgbImage& image, int x, int y, int w, int h);

// Where part lies in picture: the first place, row by row, where each of its
// pixels is within iTolerance in every channel. False when there is none.
bool FindPart(const RgbImage& picture, const RgbImage& part, int iTolerance, int* pX, int* pY);
