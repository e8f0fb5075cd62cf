#include "tools/SignalAlign.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <new>
#include <ostream>
#include <string>

#include "base/EchoText.h"
#include "base/WavFile.h"
#include "tools/NumberText.h"

namespace {

using Complex = std::complex<double>;

// In place, radix 2; the size is a power of two.
void Fft(std::vector<Complex>& a, bool bInverse)
{
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i)
    {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    const double kPi = 3.14159265358979323846;
    for (size_t len = 2; len <= n; len <<= 1)
    {
        const double dAngle = (bInverse ? 2.0 : -2.0) * kPi / static_cast<double>(len);
        for (size_t k = 0; k < len / 2; ++k)
        {
            // Each twiddle computed afresh: a running product would drift over 2^20 points.
            const Complex w = std::polar(1.0, dAngle * static_cast<double>(k));
            for (size_t i = k; i < n; i += len)
            {
                const Complex u = a[i];
                const Complex v = a[i + len / 2] * w;
                a[i] = u + v;
                a[i + len / 2] = u - v;
            }
        }
    }
}

const char kUsage[] =
    "usage: tq-align REFERENCE.wav RECORDED.wav [--skip SECONDS] [--window SECONDS] [--max-lag SECONDS]\n"
    "                [--channel 0|1] [--min-correlation C]\n"
    "Finds the delay (0 to --max-lag, default 2 s) at which the window of RECORDED\n"
    "that starts --skip seconds in (default 2) and lasts --window seconds (default 4,\n"
    "at most 10) best matches REFERENCE, and prints it with the normalized\n"
    "correlation and the gain there, and how many hundredths of a second of the\n"
    "window are silent in RECORDED where REFERENCE sounds (a stream that ran dry).\n"
    "Both files have the same rate; --channel picks\n"
    "the channel of each (default 0, the left). A periodic reference matches at\n"
    "every period: keep --max-lag below it.\n"
    "Exit status: 0 done, 1 the correlation is below C, 2 bad option or input.\n";

// Each recording at most this many samples (128 MB as floats).
constexpr std::uint64_t kMaxSamples = 32u << 20;

struct Options
{
    std::string sReference, sRecorded;
    float fSkip = 2.0f, fWindow = 4.0f, fMaxLag = 2.0f, fMinCorrelation = -2.0f;
    int iChannel = 0;
};

// Fills *pOptions; on a bad command line returns the text of the error line.
std::string Parse(int argc, const char* const* argv, Options* pOptions)
{
    int nFiles = 0;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i] ? argv[i] : "";
        if (arg.size() < 2 || arg.compare(0, 2, "--") != 0)
        {
            if (nFiles == 2)
                return "only two recordings may be given (" + Quoted(arg) + " is a third)";
            (nFiles++ == 0 ? pOptions->sReference : pOptions->sRecorded) = arg;
            continue;
        }
        if (i + 1 >= argc || !argv[i + 1])
            return "option " + Quoted(arg) + " needs a value";
        const std::string v = argv[++i];
        bool ok = true;
        if (arg == "--skip")
            ok = ParseFloat(v, &pOptions->fSkip) && pOptions->fSkip >= 0.0f && pOptions->fSkip <= 3600.0f;
        else if (arg == "--window")
            ok = ParseFloat(v, &pOptions->fWindow) && pOptions->fWindow > 0.0f && pOptions->fWindow <= 10.0f;
        else if (arg == "--max-lag")
            ok = ParseFloat(v, &pOptions->fMaxLag) && pOptions->fMaxLag >= 0.0f && pOptions->fMaxLag <= 5.0f;
        else if (arg == "--channel")
            ok = ParseInt(v, &pOptions->iChannel) && (pOptions->iChannel == 0 || pOptions->iChannel == 1);
        else if (arg == "--min-correlation")
            ok = ParseFloat(v, &pOptions->fMinCorrelation) && pOptions->fMinCorrelation >= -1.0f &&
                 pOptions->fMinCorrelation <= 1.0f;
        else
            return "unknown option " + Quoted(arg);
        if (!ok)
            return "bad value " + Quoted(v) + " for " + arg;
    }
    return nFiles == 2 ? "" : "expected REFERENCE.wav and RECORDED.wav (see --help)";
}

// The channel asked for; an error line instead when the file cannot give it.
std::string Read(const std::string& path, int iChannel, WavAudio* pAudio)
{
    WavInfo info;
    std::string sError;
    if (ReadWavInfo(path, &info, &sError))
    {
        if (info.uFrames * static_cast<std::uint64_t>(info.iChannels) > kMaxSamples)
            sError = "longer than this tool reads (" + std::to_string(kMaxSamples) + " samples)";
        else if (iChannel >= info.iChannels)
            sError = "has no channel " + std::to_string(iChannel);
        else
            ReadWavFile(path, pAudio, &sError);
    }
    return sError.empty() ? "" : Quoted(path) + ": " + sError;
}

std::string Seconds(size_t uFrames, int iRate)
{
    char sz[32];
    std::snprintf(sz, sizeof sz, "%.2f s", static_cast<double>(uFrames) / iRate);
    return sz;
}

int Fail(std::ostream& err, const std::string& why)
{
    err << "tq-align: " << why << "\n";
    return kAlignBadInput;
}

}  // namespace

bool AlignSignals(const std::vector<float>& reference, const std::vector<float>& recorded, size_t uStart,
                  size_t uLength, int iMaxLag, int iRate, Alignment* pResult)
{
    *pResult = Alignment();
    if (uLength == 0 || iMaxLag < 0 || uStart > recorded.size() || uLength > recorded.size() - uStart ||
        uStart > reference.size() || uLength > reference.size() - uStart)
        return false;
    const size_t M = std::min(static_cast<size_t>(iMaxLag), uStart);
    // b[j] = reference[uStart - M + j]; c[k] = sum over i of a[i] * b[i + k] is the
    // match at lag M - k. A transform of n + M points or more has no wrap-around
    // for the k wanted.
    const float* a = recorded.data() + uStart;
    const float* b = reference.data() + (uStart - M);
    const size_t nb = uLength + M;
    size_t N = 1;
    while (N < nb)
        N <<= 1;
    std::vector<Complex> fa(N), fb(N);
    for (size_t i = 0; i < uLength; ++i)
        fa[i] = a[i];
    for (size_t j = 0; j < nb; ++j)
        fb[j] = b[j];
    Fft(fa, false);
    Fft(fb, false);
    for (size_t i = 0; i < N; ++i)
        fb[i] *= std::conj(fa[i]);
    Fft(fb, true);

    double dEa = 0.0;
    for (size_t i = 0; i < uLength; ++i)
        dEa += static_cast<double>(a[i]) * a[i];
    std::vector<double> prefix(nb + 1, 0.0);
    for (size_t j = 0; j < nb; ++j)
        prefix[j + 1] = prefix[j] + static_cast<double>(b[j]) * b[j];
    double dMaxEb = 0.0;
    for (size_t k = 0; k <= M; ++k)
        dMaxEb = std::max(dMaxEb, prefix[k + uLength] - prefix[k]);
    // Silence matches nothing: lag 0 then. Nearly silent stretches of the
    // reference would give a ratio of rounding errors.
    size_t uBest = M;
    double dBest = -2.0;
    for (size_t k = 0; k <= M && dEa > 0.0; ++k)
    {
        const double dEb = prefix[k + uLength] - prefix[k];
        if (dEb <= 1e-9 * dMaxEb)
            continue;
        const double r = fb[k].real() / static_cast<double>(N) / std::sqrt(dEa * dEb);
        if (r > dBest)
        {
            dBest = r;
            uBest = k;
        }
    }
    // The figures at the lag found, summed directly.
    double sxy = 0.0, sxx = 0.0;
    for (size_t i = 0; i < uLength; ++i)
    {
        const double x = b[i + uBest];
        sxy += x * a[i];
        sxx += x * x;
    }
    pResult->iLag = static_cast<int>(M - uBest);
    pResult->dCorrelation = sxx > 0.0 && dEa > 0.0 ? sxy / std::sqrt(sxx * dEa) : 0.0;
    pResult->dGain = sxx > 0.0 ? sxy / sxx : 0.0;
    const size_t uBlock = static_cast<size_t>(std::max(1, iRate / 100));
    for (size_t i = 0; i + uBlock <= uLength; i += uBlock)
    {
        auto silent = [uBlock](const float* p) { return std::all_of(p, p + uBlock, [](float v) { return v == 0.0f; }); };
        ++pResult->nBlocks;
        if (silent(a + i) && !silent(b + uBest + i))
            ++pResult->nSilentBlocks;
    }
    return true;
}

int RunAlignCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    try
    {
        const std::string verb = argc > 1 && argv && argv[1] ? argv[1] : "";
        if (verb == "--help" || verb == "-h")
        {
            out << kUsage;
            return kAlignOk;
        }
        Options o;
        std::string sError = Parse(argv ? argc : 0, argv, &o);
        if (!sError.empty())
            return Fail(err, sError);
        WavAudio reference, recorded;
        sError = Read(o.sReference, o.iChannel, &reference);
        if (sError.empty())
            sError = Read(o.sRecorded, o.iChannel, &recorded);
        if (!sError.empty())
            return Fail(err, sError);
        const int iRate = reference.iSampleRate;
        if (recorded.iSampleRate != iRate)
            return Fail(err, "the recordings' rates differ: " + std::to_string(iRate) + " and " +
                                 std::to_string(recorded.iSampleRate) + " Hz");
        const size_t uStart = static_cast<size_t>(std::lround(o.fSkip * static_cast<double>(iRate)));
        const size_t uLength = std::max<size_t>(1, static_cast<size_t>(std::lround(o.fWindow * static_cast<double>(iRate))));
        const int iMaxLag = static_cast<int>(std::lround(o.fMaxLag * static_cast<double>(iRate)));
        for (const WavAudio* p : {&reference, &recorded})
            if (p->NumFrames() < uStart + uLength)
                return Fail(err, Quoted(p == &reference ? o.sReference : o.sRecorded) + " holds " +
                                     Seconds(p->NumFrames(), iRate) + "; --skip and --window need " +
                                     Seconds(uStart + uLength, iRate));
        Alignment a;
        AlignSignals(reference.channels[static_cast<size_t>(o.iChannel)],
                     recorded.channels[static_cast<size_t>(o.iChannel)], uStart, uLength, iMaxLag, iRate, &a);
        char sz[160];
        std::snprintf(sz, sizeof sz, "lag %d frames (%.2f ms), correlation %.5f, gain %.4f, silent %d of %d\n",
                      a.iLag, 1000.0 * a.iLag / iRate, a.dCorrelation, a.dGain, a.nSilentBlocks, a.nBlocks);
        out << sz;
        out.flush();
        if (!out)
            return Fail(err, "cannot write the output");
        return a.dCorrelation < o.fMinCorrelation ? kAlignBelow : kAlignOk;
    }
    catch (const std::bad_alloc&)
    {
        return Fail(err, "out of memory");
    }
    catch (const std::exception& e)
    {
        return Fail(err, e.what());
    }
}
