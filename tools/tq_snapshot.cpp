// tq-snapshot: one frame of the panel, as the first full redraw draws it for the
// given state, through the software device, written to a PNG file.
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "app/Log.h"
#include "engine/DspEngine.h"
#include "engine/StreamParams.h"
#include "render/FontRenderer.h"
#include "render/FrameTick.h"
#include "render/PanelHost.h"
#include "render/RedrawRequest.h"
#include "render/Renderer.h"
#include "render/SoftwareDevice.h"
#include "render/TextQueue.h"
#include "render/XEffects.h"
#include "tools/PngFile.h"

// A silent log: no log file in the working directory.
CLog g_Log(nullptr);

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

const char kUsage[] =
    "usage: tq-snapshot --out FILE.png [--tuning N] [--string S] [--measured HZ] [--power 0|1] [--tuner 0|1]\n"
    "                   [--level-in PEAK] [--level-out PEAK] [--textures DIR] [--font FILE]\n";

struct Options
{
    std::string out;
    std::string textures = TQ_TEXTURE_DIR;
    std::string font;
    long iTuning = -1;  // -1: the start-up tuning
    long iString = 0;
    double fMeasured = -1.0;  // negative: leave the estimator as it starts
    long bPower = 1;
    long bTuner = 1;
    double fLevelIn = 0.0;
    double fLevelOut = 0.0;
};

bool ParseLong(const char* s, long lo, long hi, long* pOut)
{
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s, &end, 10);
    if (errno != 0 || end == s || *end != '\0' || v < lo || v > hi)
        return false;
    *pOut = v;
    return true;
}

bool ParseDouble(const char* s, double lo, double hi, double* pOut)
{
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(s, &end);
    if (errno != 0 || end == s || *end != '\0' || !std::isfinite(v) || v < lo || v > hi)
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
            ok = ParseLong(v, 0, Tuner2::kMaxTunings - 1, &o->iTuning);
        else if (name == "--string")
            ok = ParseLong(v, 0, Tuner2::kNumStrings - 1, &o->iString);
        else if (name == "--measured")
            ok = ParseDouble(v, 0.0, 20000.0, &o->fMeasured);
        else if (name == "--power")
            ok = ParseLong(v, 0, 1, &o->bPower);
        else if (name == "--tuner")
            ok = ParseLong(v, 0, 1, &o->bTuner);
        else if (name == "--level-in")
            ok = ParseDouble(v, -32768.0, 0.0, &o->fLevelIn);
        else if (name == "--level-out")
            ok = ParseDouble(v, -32768.0, 0.0, &o->fLevelOut);
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

    CSoftwareDevice device(g_iWindowWidth, g_iWindowHeight);
    device.SetTextRenderer(&font);
    if (device.LoadPanelTextures(o.textures) < NUM_TEXTURES)
        std::cerr << "tq-snapshot: some textures are missing in " << o.textures << "; flat fills instead\n";

    SetStreamFormat(48000.0f, 1200);
    CDspEngine engine;
    if (engine.InitDSP() != 1)
    {
        std::cerr << "tq-snapshot: the engine cannot start\n";
        return 1;
    }
    CRecordingPanelHost host;
    CXEffects& panel = g_XEffects;
    panel.Attach(&engine, &host);
    panel.Init();

    Tuner2& t = engine.m_Tuner2;
    if (o.iTuning >= 0)
    {
        if (o.iTuning >= t.m_iNumTunings.load(kRelaxed))
        {
            std::cerr << "tq-snapshot: bad value for --tuning: " << o.iTuning << " (there are "
                      << t.m_iNumTunings.load(kRelaxed) << ")\n";
            engine.Release();
            return 2;
        }
        t.m_iSelectedTuning.store(static_cast<int>(o.iTuning), kRelaxed);
        panel.Tuner().LabelStrings(&engine);
    }
    t.SelectString(static_cast<int>(o.iString));
    if (CButton* pStrings = panel.Tuner().m_pStringButtons)
        for (int k = 0; k < Tuner2::kNumStrings; ++k)
            pStrings[k].SetState(k == o.iString ? 1 : 0);
    if (o.fMeasured >= 0.0)
    {
        t.m_Tuner.SetMeasured(static_cast<float>(o.fMeasured));
        t.m_fMeasuredFreq.store(static_cast<float>(o.fMeasured), kRelaxed);
    }

    const int bPower = static_cast<int>(o.bPower);
    panel.m_bPower.store(bPower, kRelaxed);
    panel.m_TopButtons[CXEffects::TOP_POWER].m_bChecked = bPower;
    panel.m_TopButtons[CXEffects::TOP_POWER].SetState(bPower);

    const int bTuner = static_cast<int>(o.bTuner);
    CRackSlot& slot = panel.Tuner();
    slot.m_bOn.store(bTuner, kRelaxed);
    slot.m_PowerButton.m_bChecked = bTuner;
    slot.m_PowerButton.SetState(bTuner);
    panel.m_UnitButtons[UNIT_TUNER].SetState(bTuner);

    for (int c = 0; c < 2; ++c)
    {
        engine.m_Level.m_In.m_fHeldPeak[c].store(static_cast<float>(o.fLevelIn), kRelaxed);
        engine.m_Level.m_Out.m_fHeldPeak[c].store(static_cast<float>(o.fLevelOut), kRelaxed);
    }

    g_pRenderDevice = &device;
    g_iRedrawCommand = 0;
    g_bRenderEnabled = 1;
    g_bPanelDrawn = 0;
    g_bFirstFrameDone = 0;
    g_TextQueue.m_iCount = 0;
    FrameTick(0, 0, 0, 0, 0);
    g_pRenderDevice = nullptr;
    panel.Attach(nullptr, nullptr);
    engine.Release();

    if (!WritePngFile(o.out, device.ToRgbImage(), &error))
    {
        std::cerr << "tq-snapshot: " << error << "\n";
        return 1;
    }
    return 0;
}
