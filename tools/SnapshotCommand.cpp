#include "tools/SnapshotCommand.h"

#include <exception>
#include <new>
#include <ostream>

#include "base/EchoText.h"
#include "base/PngFile.h"
#include "dsp/ReferencePitch.h"
#include "render/Renderer.h"
#include "render/software/FontRenderer.h"
#include "render/software/SoftwareDevice.h"
#include "tools/NumberText.h"
#include "tools/PanelScene.h"
#include "tuner/Tuner2.h"

namespace {

const char kUsage[] =
    "usage: tq-snapshot --out FILE.png [--tuning N] [--string S] [--measured HZ] [--power 0|1] [--tuner 0|1]\n"
    "                   [--level-in PEAK] [--level-out PEAK] [--reference HZ] [--textures DIR] [--font FILE]\n"
    "--reference: A4 in Hz, 400.0 to 480.0 in steps of 0.1 (default 440)\n";

struct Options
{
    std::string out;
    std::string textures;
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

// Empty on success, "help", or the one-line complaint.
std::string Parse(int argc, const char* const* argv, Options* o)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string name = argv[i] ? argv[i] : "";
        if (name == "--help" || name == "-h")
            return "help";
        if (i + 1 >= argc || !argv[i + 1])
            return "option " + Quoted(name) + " needs a value";
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
        else if (name == "--measured")  // the estimator publishes nothing higher
            ok = NumberIn(v, 0.0, Tuner::kMaxFreq, &o->scene.fMeasured);
        else if (name == "--power")
            ok = IntIn(v, 0, 1, &o->scene.bPower);
        else if (name == "--tuner")
            ok = IntIn(v, 0, 1, &o->scene.bTuner);
        else if (name == "--level-in")
            ok = NumberIn(v, -32768.0, 0.0, &o->scene.fLevelIn);
        else if (name == "--level-out")
            ok = NumberIn(v, -32768.0, 0.0, &o->scene.fLevelOut);
        else if (name == "--reference")
            ok = ParseReferenceA4(v, &o->scene.iReferenceTenths);
        else
            return "unknown option " + Quoted(name);
        if (!ok)
            return "bad value for " + name + ": " + Quoted(v);
    }
    if (o->out.empty())
        return "--out FILE.png is required";
    return std::string();
}

int Fail(std::ostream& err, int iStatus, const std::string& sMessage)
{
    err << "tq-snapshot: " << Printable(sMessage) << '\n';
    err.flush();
    return iStatus;
}

int Run(int argc, const char* const* argv, const std::string& sTextureDir, std::ostream& out, std::ostream& err)
{
    Options o;
    o.textures = sTextureDir;
    const std::string complaint = Parse(argv ? argc : 0, argv, &o);
    if (complaint == "help")
    {
        out << kUsage;
        return kSnapshotOk;
    }
    if (!complaint.empty())
        return Fail(err, kSnapshotBadInput, complaint);

    CFontRenderer font;
    std::string error;
    const std::string fontFile = o.font.empty() ? FindDefaultFontFile() : o.font;
    if (fontFile.empty() || !font.Open(fontFile, CFontRenderer::kDefaultPixelHeight, &error))
        return Fail(err, kSnapshotFailed, fontFile.empty() ? "Liberation Sans Regular not found" : error);

    CSoftwareDevice device(kClientWidth, kClientHeight);
    device.SetTextRenderer(&font);
    if (device.LoadPanelTextures(o.textures) < NUM_TEXTURES)
        err << "tq-snapshot: some textures are missing in " << Printable(o.textures) << "; flat fills instead\n";

    if (!DrawPanelScene(device, o.scene, &error))
        return Fail(err, kSnapshotBadInput, error);
    if (!WritePngFile(o.out, device.ToRgbImage(), &error))
        return Fail(err, kSnapshotFailed, error);
    return kSnapshotOk;
}

} // namespace

int RunSnapshotCommand(int argc, const char* const* argv, const std::string& sTextureDir, std::ostream& out,
                       std::ostream& err)
{
    // Nothing may escape as an uncaught exception and abort the tool.
    try
    {
        return Run(argc, argv, sTextureDir, out, err);
    }
    catch (const std::bad_alloc&)
    {
        return Fail(err, kSnapshotFailed, "out of memory");
    }
    catch (const std::exception& e)
    {
        return Fail(err, kSnapshotFailed, e.what());
    }
}
