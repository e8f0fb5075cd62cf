#include "tools/AnalyzeCommand.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "base/EchoText.h"
#include "base/SystemQuery.h"
#include "base/WavFile.h"
#include "dsp/NoteTable.h"
#include "dsp/ReferencePitch.h"
#include "engine/DspEngine.h"
#include "tools/NumberText.h"
#include "tools/OfflineTuner.h"
#include "tuner/ReadOut.h"

namespace {

const char kUsage[] =
    "usage: tq-analyze [options] FILE.wav\n"
    "Runs a recording through the tuner and reports what its read-out shows.\n"
    "\n"
    "  --tuning N       tuning 0 to 31 (default 28, standard \"E\")\n"
    "  --string S       target string 0 to 5, 0 = lowest (default 0)\n"
    "  --block-size B   frames per engine block, 25 to 2000 (default 1200)\n"
    "  --input-gain G   mixer input gain, 0.1 to 5.0 (default 1.0)\n"
    "  --reference HZ   A4 in Hz, 400.0 to 480.0 in steps of 0.1 (default 440);\n"
    "                   every target and note name scales with it\n"
    "  --stereo         feed the right channel to the engine's right channel\n"
    "                   (default: the left channel feeds both)\n"
    "  --csv            one CSV row per block instead of the summary; its last\n"
    "                   column is the reading's cents from the target\n"
    "  --help           show this text\n"
    "\n"
    "Input: RIFF WAV, 16/24/32-bit integer PCM or 32-bit float, mono or stereo,\n"
    "12000 to 192000 Hz. Memory: about 12 MB per minute of 48000 Hz mono audio,\n"
    "twice that for stereo; a recording that would not fit is refused.\n"
    "Exit status: 0 done, 1 the engine could not start, 2 bad option or input.\n";

// "%.*f", without the "-0.00" that rounding a tiny negative value gives.
std::string Fixed(double v, int iDecimals)
{
    char sz[64];
    std::snprintf(sz, sizeof(sz), "%.*f", iDecimals, v);
    std::string s(sz);
    if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos)
        s.erase(0, 1);
    return s;
}

// Signed cents to one decimal, "0.0" within a twentieth of a cent.
std::string SignedCents(float fCents)
{
    const std::string s = Fixed(fCents, 1);
    return s == "0.0" || s[0] == '-' ? s : "+" + s;
}

struct CommandLine
{
    OfflineTunerOptions options;
    int iReferenceTenths = kDefaultReferenceTenths;
    bool bCsv = false;
    bool bHelp = false;
    std::string sPath;
};

// Fills *pCl; on a bad command line returns the text of the error line instead.
std::string ParseCommandLine(int argc, const char* const* argv, CommandLine* pCl)
{
    CommandLine& cl = *pCl;
    bool bHavePath = false;
    bool bOptionsEnded = false;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i] ? argv[i] : "";
        const bool bOption = !bOptionsEnded && arg.size() > 1 && arg[0] == '-';
        if (!bOption)
        {
            if (bHavePath)
                return "only one WAV file may be given (" + Quoted(cl.sPath) + " and " + Quoted(arg) + ")";
            cl.sPath = arg;
            bHavePath = true;
            continue;
        }
        if (arg == "--")
        {
            bOptionsEnded = true;
            continue;
        }
        if (arg == "--help")
        {
            cl.bHelp = true;
            return std::string();
        }
        if (arg == "--csv")
        {
            cl.bCsv = true;
            continue;
        }
        if (arg == "--stereo")
        {
            cl.options.bStereo = true;
            continue;
        }

        if (arg == "--reference")
        {
            if (i + 1 >= argc || !argv[i + 1])
                return arg + " needs a value";
            const std::string value = argv[++i];
            if (!ParseReferenceA4(value.c_str(), &cl.iReferenceTenths))
                return arg + " needs A4 in Hz from 400.0 to 480.0 with at most one decimal, not " + Quoted(value);
            continue;
        }

        int* pInt = nullptr;
        float* pFloat = nullptr;
        if (arg == "--tuning")
            pInt = &cl.options.iTuning;
        else if (arg == "--string")
            pInt = &cl.options.iString;
        else if (arg == "--block-size")
            pInt = &cl.options.iBlockSize;
        else if (arg == "--input-gain")
            pFloat = &cl.options.fInputGain;
        else
            return "unknown option " + Quoted(arg) + " (try --help)";

        if (i + 1 >= argc || !argv[i + 1])
            return arg + " needs a value";
        const std::string value = argv[++i];
        if (pInt && !ParseInt(value, pInt))
            return arg + " needs a whole number, not " + Quoted(value);
        if (pFloat && !ParseFloat(value, pFloat))
            return arg + " needs a number, not " + Quoted(value);
        // The engine's own range check, so the tool and the engine never disagree.
        const std::string sBad = ValidateOfflineTunerOptions(cl.options);
        if (!sBad.empty())
            return arg + " " + Quoted(value) + ": " + sBad;
    }
    if (!bHavePath)
        return "no WAV file given (try --help)";
    if (cl.sPath.empty())
        return "empty file name";
    return std::string();
}

// The file's name without its folders, for the summary's first line.
std::string BaseName(const std::string& path)
{
#if defined(_WIN32)
    const size_t n = path.find_last_of("/\\:");
#else
    const size_t n = path.find_last_of('/');
#endif
    return n == std::string::npos ? path : path.substr(n + 1);
}

std::string Csv(const std::vector<OfflineTunerRow>& rows)
{
    // The cents come last, so readers of the older columns find them where they were.
    std::string s = "time_s,band_hz,measured_hz,note,target_hz,deviation,guidance,cents\n";
    s.reserve(s.size() + rows.size() * 72);
    for (const OfflineTunerRow& r : rows)
    {
        s += Fixed(r.dTime, 6) + ',' + Fixed(r.fBandHz, 3) + ',' + Fixed(r.fMeasuredHz, 3) + ',';
        if (r.readOut.bPitch)
            s += r.readOut.szNote;
        s += ',' + Fixed(r.fTargetHz, 3) + ',' + Fixed(r.readOut.fDeviation, 2) + ',';
        s += GuidanceText(r.readOut.eLit);
        s += ',';
        // Empty where the read-out shows no cents, as the note is empty without a pitch.
        if (r.readOut.szCents[0])
            s += Fixed(r.readOut.fCents, 1);
        s += '\n';
    }
    return s;
}

std::string Plural(size_t n, const char* szOne, const char* szMany)
{
    return std::to_string(n) + " " + (n == 1 ? szOne : szMany);
}

std::string Summary(const CommandLine& cl, const WavAudio& audio, OfflineTuner& tuner,
                    const std::vector<OfflineTunerRow>& rows)
{
    std::string s;
    std::string sChannels = "mono";
    if (audio.NumChannels() == 2)
        sChannels = cl.options.bStereo ? "stereo" : "stereo read as mono (left channel)";
    s += "file: " + Printable(BaseName(cl.sPath)) + ", " + std::to_string(audio.iSampleRate) + " Hz, " + sChannels +
         ", " + Fixed(static_cast<double>(audio.NumFrames()) / audio.iSampleRate, 2) + " s, " +
         Plural(rows.size(), "block", "blocks") + " of " + std::to_string(cl.options.iBlockSize) + " frames\n";

    const Tuner2& t2 = tuner.Engine().m_Tuner2;
    const int t = cl.options.iTuning;
    const int str = cl.options.iString;
    s += "target: tuning " + std::to_string(t) + " \"" + t2.m_szTuningName[t] + "\", string " + std::to_string(str) +
         " " + t2.m_szStringNote[t][str] + std::to_string(t2.m_iStringOctave[t][str]) + " at " +
         Fixed(t2.m_fStringFreq[t][str], 2) + " Hz\n";
    s += "reference: A4 = " + ReferenceText(cl.iReferenceTenths) + " Hz\n";

    // Every note shown, most frequent first; equal counts keep the order in which
    // the notes first appeared.
    std::vector<std::pair<std::string, size_t>> notes;
    std::vector<float> pitched;
    for (const OfflineTunerRow& r : rows)
    {
        if (!r.readOut.bPitch)
            continue;
        pitched.push_back(r.fMeasuredHz);
        auto it = std::find_if(notes.begin(), notes.end(),
                               [&](const std::pair<std::string, size_t>& n) { return n.first == r.readOut.szNote; });
        if (it == notes.end())
            notes.emplace_back(r.readOut.szNote, 1);
        else
            ++it->second;
    }
    std::stable_sort(notes.begin(), notes.end(),
                     [](const std::pair<std::string, size_t>& a, const std::pair<std::string, size_t>& b) {
                         return a.second > b.second;
                     });
    s += "notes found: ";
    if (notes.empty())
        s += "none";
    for (size_t i = 0; i < notes.size(); ++i)
        s += (i ? ", " : "") + notes[i].first + " (" + Plural(notes[i].second, "block", "blocks") + ")";
    s += '\n';

    if (pitched.empty())
    {
        s += "stable reading: none\nverdict: no pitch\n";
        return s;
    }
    // The median ignores the onset and the dying tail that single blocks show.
    std::sort(pitched.begin(), pitched.end());
    const size_t m = pitched.size() / 2;
    const float fMedian = pitched.size() % 2 ? pitched[m] : 0.5f * (pitched[m - 1] + pitched[m]);
    const ReadOut ro = EvaluateReadOut(t2.m_fStringFreq[t][str], fMedian, fMedian);
    s += "stable reading: " + Fixed(fMedian, 2) + " Hz (" + (ro.bPitch ? ro.szNote : "no note") + "), deviation " +
         Fixed(ro.fDeviation, 2) + (ro.szCents[0] ? ", " + SignedCents(ro.fCents) + " cents" : std::string()) + "\n";
    const std::string sVerdict = GuidanceText(ro.eLit);
    s += "verdict: " + (sVerdict.empty() ? std::string("no pitch") : sVerdict) + "\n";
    return s;
}

// The memory a run takes: the samples as floats, one read-out row per block and
// the CSV text (or, for the summary, the pitch of every block) before it is written.
std::uint64_t MemoryNeeded(const WavInfo& info, const CommandLine& cl)
{
    constexpr std::uint64_t kCsvRowBytes = 80;
    const std::uint64_t uBlock = static_cast<std::uint64_t>(cl.options.iBlockSize);
    const std::uint64_t uBlocks = (info.uFrames + uBlock - 1) / uBlock;
    return info.uFrames * static_cast<std::uint64_t>(info.iChannels) * sizeof(float) +
           uBlocks * (sizeof(OfflineTunerRow) + (cl.bCsv ? kCsvRowBytes : sizeof(float)));
}

// What a run may take: the memory the system has free and, in a 32-bit build, at
// most 1 GB, as a larger single block is rarely found in its address space.
std::uint64_t MemoryAvailable()
{
    std::uint64_t uLimit = sizeof(void*) < 8 ? std::uint64_t{1} << 30 : ~std::uint64_t{0};
    unsigned long long ullAvailable = 0, ullTotal = 0;
    if (g_SystemQuery.ReadMemory && g_SystemQuery.ReadMemory(&ullAvailable, &ullTotal))
        uLimit = std::min<std::uint64_t>(uLimit, ullAvailable);
    return uLimit;
}

std::string Megabytes(double dBytes)
{
    return Fixed(dBytes / 1e6, 1) + " MB";
}

// Empty when the recording fits in memory, else why not.
std::string MemoryProblem(const WavInfo& info, const CommandLine& cl)
{
    const std::uint64_t uNeeded = MemoryNeeded(info, cl), uAvailable = MemoryAvailable();
    if (uNeeded <= uAvailable)
        return std::string();
    WavInfo minute = info;
    minute.uFrames = 60 * static_cast<std::uint64_t>(info.iSampleRate);
    return "too long to analyse here: needs " + Megabytes(static_cast<double>(uNeeded)) + " (" +
           Megabytes(static_cast<double>(MemoryNeeded(minute, cl))) + " per minute of this audio), " +
           Megabytes(static_cast<double>(uAvailable)) + " free";
}

int Fail(std::ostream& err, int iStatus, const std::string& sMessage)
{
    err << "tq-analyze: " << Printable(sMessage) << '\n';
    err.flush();
    return iStatus;
}

} // namespace

int RunAnalyzeCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    try
    {
        CommandLine cl;
        const std::string sUsageError = ParseCommandLine(argv ? argc : 0, argv, &cl);
        if (!sUsageError.empty())
            return Fail(err, kAnalyzeBadInput, sUsageError);
        std::string sOutput;
        if (cl.bHelp)
        {
            sOutput = kUsage;
        }
        else
        {
            WavInfo info;
            WavAudio audio;
            std::string sError;
            if (ReadWavInfo(cl.sPath, &info, &sError))
                sError = MemoryProblem(info, cl);
            if (sError.empty())
                ReadWavFile(cl.sPath, &audio, &sError);
            if (!sError.empty())
                return Fail(err, kAnalyzeBadInput, Quoted(cl.sPath) + ": " + sError);

            // The engine takes its targets and note table from the process's reference;
            // it is put back afterwards, for callers that run the command again.
            struct Reference
            {
                int iSaved = g_iReferenceTenths.load(std::memory_order_relaxed);
                explicit Reference(int iTenths) { g_iReferenceTenths.store(iTenths, std::memory_order_relaxed); }
                ~Reference()
                {
                    if (g_iReferenceTenths.exchange(iSaved, std::memory_order_relaxed) != iSaved)
                        MakeNoteTable();
                }
            } reference(cl.iReferenceTenths);
            OfflineTuner tuner;
            if (!tuner.Start(static_cast<float>(audio.iSampleRate), cl.options, &sError))
                return Fail(err, kAnalyzeFailed, sError);
            const float* pRight = audio.NumChannels() == 2 ? audio.channels[1].data() : nullptr;
            const std::vector<OfflineTunerRow> rows = tuner.Run(audio.channels[0].data(), pRight, audio.NumFrames());
            sOutput = cl.bCsv ? Csv(rows) : Summary(cl, audio, tuner, rows);
        }
        out << sOutput;
        out.flush();
        // A full disk or closed pipe must not pass for success.
        if (!out)
            return Fail(err, kAnalyzeFailed, "cannot write the output");
        return kAnalyzeOk;
    }
    catch (const std::bad_alloc&)
    {
        return Fail(err, kAnalyzeFailed, "out of memory");
    }
    catch (const std::exception& e)
    {
        return Fail(err, kAnalyzeFailed, e.what());
    }
}
