#pragma once
// The panel's bitmaps, drawn from code: a dark wood that tiles every 256 pixels,
// the knob body and its two notch pointers, the light map of the value panels and
// the About box's logo. Everything is computed from fixed seeds, so every run
// gives the same pictures.
#include <string>
#include <vector>

#include "base/BmpFile.h"

constexpr int kWoodSize = 256;      // tiled at one texel per pixel
constexpr int kKnobSize = 64;       // knob body and notches, drawn 20 to 30 pixels wide
constexpr int kLightMapSize = 256;  // stretched over the whole window
constexpr int kLogoWidth = 78;      // blitted 1:1 in the About box
constexpr int kLogoHeight = 48;

// The knob disc's radius as a share of half the knob texture; outside it every
// texel is black, so the colour key lets the panel show through.
constexpr double kKnobDiscRadius = 0.96;

RgbImage MakeWoodTexture();
RgbImage MakeKnobBody();
// The pointer points to the texture's top edge. The knob turns it with the bearing;
// variant a serves bearings below 3*pi/4 (its left side then faces the light from the
// upper left), variant b the others (its right side faces the light): b is a mirrored.
RgbImage MakeKnobNotch(bool bVariantB);
RgbImage MakeLightMap();
RgbImage MakeLogo();

struct TextureFile
{
    std::string name;  // e.g. "Blackwood4.bmp"
    RgbImage image;
};

// The five panel textures in texture-number order, then "AsioLogo.bmp".
std::vector<TextureFile> MakeAllTextures();
