#include "app/OptionsChoice.h"

#include <string>

#include "audio/AudioGlobals.h"
#include "audio/StreamControl.h"
#include "base/Log.h"
#include "dsp/ReferencePitch.h"
#include "engine/DspEngine.h"

const int g_aiBlockSizes[kNumBlockSizes] = {25,  50,  100, 150, 200, 250,  300,  350,  400,  450, 500,
                                            600, 700, 800, 900, 1000, 1200, 1400, 1600, 1800, 2000};

int ThumbForBlockSize(int iBlockSize)
{
    for (int i = 0; i < kNumBlockSizes; ++i)
        if (g_aiBlockSizes[i] == iBlockSize)
            return 5 * i;
    return kUnknownBlockSizeThumb;
}

int BlockSizeIndexForThumb(int iThumb)
{
    const int i = static_cast<int>(static_cast<float>(iThumb) * 0.2f);
    return i < 0 ? 0 : (i >= kNumBlockSizes ? kNumBlockSizes - 1 : i);
}

int StepBlockSizeIndex(int iIndex, int iStep)
{
    const int i = iIndex + iStep;
    return i < 0 ? 0 : (i >= kNumBlockSizes ? kNumBlockSizes - 1 : i);
}

OptionsRestart DecideOptionsRestart(bool bChanged, int iConfirmedDriver)
{
    if (!bChanged)
        return OptionsRestart::None;
    return AudioBackendOf(iConfirmedDriver).bEndReported ? OptionsRestart::AfterThreadEnds : OptionsRestart::Now;
}

const AudioDriverEntry* EntryOfDriver(int iDriver)
{
    for (int i = 0; i < g_iNumAudioDrivers; ++i)
        if (g_AudioDriverList[i].iType == iDriver)
            return &g_AudioDriverList[i];
    return nullptr;
}

void ChooseDevices(int iCaptureSel, int iRenderSel)
{
    // Windows audio keeps the endpoints' ids, which stay valid however the list
    // is ordered; kernel streaming keeps the devices' places in its list.
    const AudioDriverEntry* e = EntryOfDriver(g_iAudioDriver);
    if (e && e->iType == AUDIO_DRIVER_WASAPI)
    {
        if (iCaptureSel >= 0 && iCaptureSel < e->iNumCaptureNames)
            g_sCaptureEndpoint = e->aszCaptureIds[iCaptureSel];
        if (iRenderSel >= 0 && iRenderSel < e->iNumRenderNames)
            g_sRenderEndpoint = e->aszRenderIds[iRenderSel];
        return;
    }
    g_iCaptureDevice = iCaptureSel < 0 ? 0 : iCaptureSel;
    g_iRenderDevice = iRenderSel < 0 ? 0 : iRenderSel;
}

int ShownDeviceSel(const AudioDriverEntry& e, bool bCapture)
{
    if (e.iType != AUDIO_DRIVER_WASAPI)
        return bCapture ? g_iCaptureDevice : g_iRenderDevice;
    const std::string& sId = bCapture ? g_sCaptureEndpoint : g_sRenderEndpoint;
    const int n = bCapture ? e.iNumCaptureNames : e.iNumRenderNames;
    for (int i = 0; i < n && i < kMaxKsDeviceNames; ++i)
        if (sId == (bCapture ? e.aszCaptureIds[i] : e.aszRenderIds[i]))
            return i;
    return 0;
}

int DriverOfSelection(int iSel)
{
    if (iSel < 0 || iSel >= g_iNumAudioDrivers)
        return -1;
    return g_AudioDriverList[iSel].iType;
}

float RequestedFreqForSelection(int iFreqSel)
{
    // The list shows the row of a real driver only; "None available" has no row.
    const int iRow = g_iAudioDriver;
    if (g_iNumAudioDrivers == 0 || iRow < 0 || iRow >= 4 || iFreqSel < 0 || iFreqSel >= g_aiNumSamplingFreqs[iRow])
        return g_fRequestedSamplingFreq;
    const int iFreq = g_aiSamplingFreqs[iRow][iFreqSel];
    return iFreq > g_iMaxSamplingFreq ? g_fPrevSamplingFreq : static_cast<float>(iFreq);
}

const char kReferenceRefused[] =
    "The reference pitch A4 must be a number from 400.0 to 480.0 Hz, in steps of 0.1 Hz (440.0 is standard pitch).";

OptionsRestart OptionsOk(const OptionsChoice& choice)
{
    const int iDriver = DriverOfSelection(choice.iDriverSel);
    if (iDriver >= 0)
        g_iAudioDriver = iDriver;
    // The audio side reads the channel mode for every block, so it needs no restart.
    g_iInputChannels.store(choice.iChannelsSel > 0 ? 1 : 0, std::memory_order_relaxed);
    ChooseDevices(choice.iCaptureSel, choice.iRenderSel);
    g_fRequestedSamplingFreq = RequestedFreqForSelection(choice.iFreqSel);
    g_iRequestedBlockSize = g_aiBlockSizes[BlockSizeIndexForThumb(choice.iThumb)];
    g_Log.Print("g_iRequestedBlockSize = ", g_iRequestedBlockSize);

    const bool bReference = choice.iReferenceTenths >= kMinReferenceTenths &&
                            choice.iReferenceTenths <= kMaxReferenceTenths &&
                            choice.iReferenceTenths != g_iReferenceTenths.load(std::memory_order_relaxed);
    if (bReference)
    {
        g_iReferenceTenths.store(choice.iReferenceTenths, std::memory_order_relaxed);
        g_Log.Print(("OptionsOk() reference A4 = " + ReferenceText(choice.iReferenceTenths) + " Hz").c_str());
        // The targets at once (on this, the strings' thread); the note table and
        // the analyser's bands with the engine the restart builds.
        if (g_pDspEngine)
            g_pDspEngine->m_Tuner2.UseReference();
    }
    const OptionsRestart restart =
        DecideOptionsRestart(choice.bChanged || bReference || g_bStreamStopped, g_iConfirmedAudioDriver);
    if (restart == OptionsRestart::Now)
        RestartStream(g_iConfirmedAudioDriver);
    else if (restart == OptionsRestart::AfterThreadEnds)
    {
        // The thread stops its pins and reports; the window restarts the audio
        // while the thread waits in that report.
        const AudioBackend& b = AudioBackendOf(g_iConfirmedAudioDriver);
        if (b.Release)
            b.Release();
    }
    g_iConfirmedAudioDriver = g_iAudioDriver;
    return restart;
}

void OptionsCancel()
{
    g_iAudioDriver = g_iConfirmedAudioDriver;
}
