// tq-snapshot: one frame of the panel, as the first full redraw draws it for the
// given state, through the software device, written to a PNG file.
#include <iostream>
#include <string>

#include "app/Log.h"
#include "render/FontRenderer.h"
#include "render/Renderer.h"
#include "render/SoftwareDevice.h"
#include "tuner/Tuner2.h"
#include "tools/NumberText.h"
#include "tools/PanelScene.h"
#include "tools/PngFile.h"

// A silent log: no log file in the working directory.
CLog g_Log(nullptr);

namespace {

const char kUsage[] =
    "usage: tq-snapshot --out FILE.png [--tuning N] [--string S] [--measured HZ] [--power 0|1] [--tuner 0|1]\n"
    "                   [--level-in PEAK] [--level-out PEAK] [--textures DIR] [--font FILE]\n";

struct Options
{
    std::string out;
    std::string textures = TQ_TEXTURE_DIR;
    std::string font;
    PanelScene scene;
};

bool IntIn(const char* s, int lo, int hi, int* pOut)
{
    int v = 0;
    if (!ParseInt(s, &v) || v < lo || v > hi)
        return false;
    *pOut = v;
    return true;
}

bool NumberIn(const char* s, double lo, double hi, double* pOut)
{
    float v = 0.0f;
    if (!ParseFloat(s, &v) || v < lo || v > hi)
        return false;
    *pOut = v;
    return true;
}

// Empty on success, else the one-line complaint.
std::string Parse(int argc, char** argv, Options* o)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h")
            return "help";
        if (i + 1 >= argc)
            return "option " + name + " needs a value";
        const char* v = argv[++i];
        bool ok = true;
        if (name == "--out")
            o->out = v;
        else if (name == "--textures")
            o->textures = v;
        else if (name == "--font")
            o->font = v;
        else if (name == "--tuning")
            ok = IntIn(v, 0, Tuner2::kMaxTunings - 1, &o->scene.iTuning);
        else if (name == "--string")
            ok = IntIn(v, 0, Tuner2::kNumStrings - 1, &o->scene.iString);
        else if (name == "--measured")
            ok = NumberIn(v, 0.0, 20000.0, &o->scene.fMeasured);
        else if (name == "--power")
            ok = IntIn(v, 0, 1, &o->scene.bPower);
        else if (name == "--tuner")
            ok = IntIn(v, 0, 1, &o->scene.bTuner);
        else if (name == "--level-in")
            ok = NumberIn(v, -32768.0, 0.0, &o->scene.fLevelIn);
        else if (name == "--level-out")
            ok = NumberIn(v, -32768.0, 0.0, &o->scene.fLevelOut);
        else
            return "unknown option " + name;
        if (!ok)
            return "bad value for " + name + ": " + v;
    }
    if (o->out.empty())
        return "--out FILE.png is required";
    return std::string();
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    const std::string complaint = Parse(argc, argv, &o);
    if (complaint == "help")
    {
        std::cout << kUsage;
        return 0;
    }
    if (!complaint.empty())
    {
        std::cerr << "tq-snapshot: " << complaint << "\n";
        return 2;
    }

    CFontRenderer font;
    std::string error;
    const std::string fontFile = o.font.empty() ? FindDefaultFontFile() : o.font;
    if (fontFile.empty() || !font.Open(fontFile, CFontRenderer::kDefaultPixelHeight, &error))
    {
        std::cerr << "tq-snapshot: " << (fontFile.empty() ? "Liberation Sans Regular not found" : error) << "\n";
        return 1;
    }

    CSoftwareDevice device(kClientWidth, kClientHeight);
    device.SetTextRenderer(&font);
    if (device.LoadPanelTextures(o.textures) < NUM_TEXTURES)
        std::cerr << "tq-snapshot: some textures are missing in " << o.textures << "; flat fills instead\n";

    if (!DrawPanelScene(device, o.scene, &error))
    {
        std::cerr << "tq-snapshot: " << error << "\n";
        return 2;
    }

    if (!WritePngFile(o.out, device.ToRgbImage(), &error))
    {
        std::cerr << "tq-snapshot: " << error << "\n";
        return 1;
    }
    return 0;
}
