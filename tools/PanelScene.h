#pragma once
// One frame of the panel for a given state, as the first full redraw after start-up
// draws it: used by tq-snapshot, the golden-image tests and the comparison of the
// Direct3D back buffer with the software device.
#include <string>

class CRenderDevice;

struct PanelScene
{
    int iTuning = -1;  // -1: the start-up tuning
    int iString = 0;   // 0..5, the lit string button
    double fMeasured = -1.0;  // Hz; negative leaves the estimator as it starts
    int bPower = 1;    // title-bar Power (audio running)
    int bTuner = 1;    // the tuner slot's own power
    double fLevelIn = 0.0;   // held peaks, -32768..0
    double fLevelOut = 0.0;
    int iReferenceTenths = 4400;  // A4 in tenths of a hertz, 4000..4800
};

// Empty when the state can be drawn, else why not.
std::string CheckPanelScene(const PanelScene& scene);

// Starts an engine at 48 kHz at the scene's reference pitch (the process's is set
// back afterwards), puts the panel in the state and draws one full frame through
// the device (begin scene to Present). False with a reason when
// the state is bad or the engine cannot start; the device is left as it was.
bool DrawPanelScene(CRenderDevice& device, const PanelScene& scene, std::string* pError);
