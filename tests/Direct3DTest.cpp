// The Direct3D 7 back end on a real window: set-up and its log, textures, and the
// panel drawn through the device compared pixel by pixel with the software device.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/WindowFit.h"
#include "audio/SoundDevices.h"
#include "base/BmpFile.h"
#include "base/FileRead.h"
#include "render/RecordingDevice.h"
#include "render/Renderer.h"
#include "render/d3d/D3DTextures.h"
#include "render/d3d/Direct3D.h"
#include "render/d3d/GdiText.h"
#include "render/software/SoftwareDevice.h"
#include "tests/TestSupport.h"
#include "tools/PanelScene.h"

namespace {

// Lines the log gained since the mark.
std::vector<std::string> LogSince(size_t mark)
{
    std::vector<std::string> lines = LogLines();
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(std::min(mark, lines.size())));
    return lines;
}

int CountLinesStarting(const std::vector<std::string>& lines, const std::string& prefix)
{
    return static_cast<int>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

bool HasLineStarting(const std::vector<std::string>& lines, const std::string& prefix)
{
    return CountLinesStarting(lines, prefix) > 0;
}

// Forwards everything but text, so shapes can be compared without fonts.
class CShapesOnly : public CRenderDevice
{
public:
    explicit CShapesOnly(CRenderDevice& inner) : m_Inner(inner) {}
    bool BeginScene() override { return m_Inner.BeginScene(); }
    void EndScene() override { m_Inner.EndScene(); }
    void Clear(std::uint32_t rgb) override { m_Inner.Clear(rgb); }
    void SetRenderState(RenderState s, std::uint32_t v) override { m_Inner.SetRenderState(s, v); }
    void SetStageState(StageState s, std::uint32_t v) override { m_Inner.SetStageState(s, v); }
    void SetTexture(int i) override { m_Inner.SetTexture(i); }
    bool HasTexture(int i) const override { return m_Inner.HasTexture(i); }
    bool DrawStrip(const ColouredVertex* p, int n) override { return m_Inner.DrawStrip(p, n); }
    bool DrawStrip(const TexturedVertex* p, int n) override { return m_Inner.DrawStrip(p, n); }
    bool DrawLineList(const ColouredVertex* p, int n) override { return m_Inner.DrawLineList(p, n); }
    void DrawTextAt(int, int, std::uint32_t, const char*, unsigned) override {}
    std::int32_t Present() override { return m_Inner.Present(); }

private:
    CRenderDevice& m_Inner;
};

// The back buffer as 0x00RRGGBB pixels, whatever its RGB layout.
RgbImage ReadBackBuffer()
{
    RgbImage image;
    DDSURFACEDESC2 ddsd = {};
    ddsd.dwSize = sizeof(ddsd);
    if (!g_D3D.pBackBuffer ||
        FAILED(g_D3D.pBackBuffer->Lock(nullptr, &ddsd, DDLOCK_WAIT | DDLOCK_READONLY | DDLOCK_SURFACEMEMORYPTR, nullptr)))
        return image;
    const DDPIXELFORMAT& pf = ddsd.ddpfPixelFormat;
    const int iBytes = static_cast<int>(pf.dwRGBBitCount / 8);
    auto channel = [](DWORD value, DWORD mask) {
        if (mask == 0)
            return 0u;
        int shift = 0;
        while (((mask >> shift) & 1u) == 0)
            ++shift;
        const DWORD max = mask >> shift;
        return static_cast<unsigned>(((value & mask) >> shift) * 255u / max);
    };
    image.iWidth = static_cast<int>(ddsd.dwWidth);
    image.iHeight = static_cast<int>(ddsd.dwHeight);
    image.pixels.resize(static_cast<size_t>(image.iWidth) * image.iHeight);
    for (int y = 0; y < image.iHeight; ++y)
    {
        const BYTE* pRow = static_cast<const BYTE*>(ddsd.lpSurface) + static_cast<ptrdiff_t>(y) * ddsd.lPitch;
        for (int x = 0; x < image.iWidth; ++x)
        {
            DWORD v = 0;
            for (int b = 0; b < iBytes; ++b)
                v |= static_cast<DWORD>(pRow[x * iBytes + b]) << (8 * b);
            RgbPixel& p = image.At(x, y);
            p.r = static_cast<std::uint8_t>(channel(v, pf.dwRBitMask));
            p.g = static_cast<std::uint8_t>(channel(v, pf.dwGBitMask));
            p.b = static_cast<std::uint8_t>(channel(v, pf.dwBBitMask));
        }
    }
    g_D3D.pBackBuffer->Unlock(nullptr);
    return image;
}

// How two pictures of one size differ, by each pixel's largest channel difference.
struct Difference
{
    double fMean = 0.0;
    int nOver8 = 0;  // pixels differing by more than 8 levels
    int nOver32 = 0;
};

Difference Compare(const RgbImage& a, const RgbImage& b)
{
    Difference d;
    for (size_t i = 0; i < a.pixels.size(); ++i)
    {
        const RgbPixel& pa = a.pixels[i];
        const RgbPixel& pb = b.pixels[i];
        const int m = std::max({std::abs(pa.r - pb.r), std::abs(pa.g - pb.g), std::abs(pa.b - pb.b)});
        d.fMean += m;
        d.nOver8 += m > 8;
        d.nOver32 += m > 32;
    }
    d.fMean /= static_cast<double>(std::max<size_t>(1, a.pixels.size()));
    return d;
}

LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

// A window made and fitted the way start-up makes the main window.
HWND CreatePanelWindow()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = "TonquarryTestWindow";
    RegisterClassA(&wc);
    HWND hWnd = CreateWindowExA(0, wc.lpszClassName, "Tonquarry Guitar Tuner", WS_VISIBLE | WS_SYSMENU | WS_MINIMIZEBOX,
                                0, 0, 589, 240, GetDesktopWindow(), nullptr, wc.hInstance, nullptr);
    if (!hWnd)
        return nullptr;
    FitClientArea(hWnd, kClientWidth, kClientHeight);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    return hWnd;
}

class Direct3DTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_hWnd = CreatePanelWindow();
        g_hFont = CreatePanelFont();
    }
    static void TearDownTestSuite()
    {
        if (g_hFont)
            DeleteObject(g_hFont);
        g_hFont = nullptr;
        if (s_hWnd)
            DestroyWindow(s_hWnd);
    }
    // Each case starts from the program's own choices.
    void SetUp() override
    {
        ASSERT_NE(s_hWnd, nullptr) << "no window";
        GetCurrentDirectoryA(MAX_PATH, m_szDirectory);
        g_D3D.uDeviceChoice = D3D_TRY_ALL;
        g_iTextureBpp = 32;
        g_bRichRendering = 1;
        m_Mark = LogLines().size();
    }
    void TearDown() override
    {
        ReleaseTextures();
        ReleaseD3D();
        SetCurrentDirectoryA(m_szDirectory);
    }
    // Starts the device and loads the textures the build made.
    void Start()
    {
        ASSERT_GE(InitD3D(s_hWnd), 0);
        ASSERT_TRUE(SetCurrentDirectoryA(TQ_BUILD_DIR));
        LoadTextures();
    }
    std::vector<std::string> Log() const { return LogSince(m_Mark); }

    static HWND s_hWnd;
    char m_szDirectory[MAX_PATH] = {};
    size_t m_Mark = 0;
};

HWND Direct3DTest::s_hWnd = nullptr;

TEST_F(Direct3DTest, InitLogsTheHardwareAndSetsUpAClientSizedTarget)
{
    ASSERT_GE(InitD3D(s_hWnd), 0);
    const std::vector<std::string> log = Log();
    for (const char* line : {"InitD3D()", "Video memory : Total = ", "min texture dimensions  = ", "MaxTextureRepeat        = ",
                             "D3DPTEXTURECAPS_POW2                    ", "D3DDEVCAPS_TLVERTEXVIDEOMEMORY          ",
                             "Backbuffer pixel format    RGB", "EnumPixelFormatsCallback() "})
        EXPECT_TRUE(HasLineStarting(log, line)) << line;
    EXPECT_EQ(CountLinesStarting(log, "InitD3D() CreateDevice() "), 1);
    EXPECT_FALSE(HasLineStarting(log, "InitD3D() EnumTextureFormats() FAILED"));

    RECT rc;
    GetClientRect(s_hWnd, &rc);
    EXPECT_EQ(rc.right, kClientWidth);
    EXPECT_EQ(rc.bottom, kClientHeight);
    EXPECT_EQ(g_D3D.iWidth, rc.right);
    EXPECT_EQ(g_D3D.iHeight, rc.bottom);
    DDSURFACEDESC2 ddsd = {};
    ddsd.dwSize = sizeof(ddsd);
    ASSERT_TRUE(SUCCEEDED(g_D3D.pBackBuffer->GetSurfaceDesc(&ddsd)));
    EXPECT_EQ(static_cast<LONG>(ddsd.dwWidth), rc.right);
    EXPECT_EQ(static_cast<LONG>(ddsd.dwHeight), rc.bottom);
    ASSERT_NE(g_pRenderDevice, nullptr);

    // A grey frame goes into the window's client area, corner to corner, wherever
    // the window is; nothing is left behind on release.
    SetWindowPos(s_hWnd, nullptr, 37, 41, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ClearScreen();
    const RgbImage grey = ReadBackBuffer();
    ASSERT_FALSE(grey.pixels.empty());
    EXPECT_EQ(grey.pixels[0], (RgbPixel{0x80, 0x80, 0x80}));
    EXPECT_EQ(Present(), 0);
    HDC hdc = GetDC(s_hWnd);
    EXPECT_EQ(GetPixel(hdc, 0, 0), RGB(0x80, 0x80, 0x80));
    EXPECT_EQ(GetPixel(hdc, rc.right - 1, rc.bottom - 1), RGB(0x80, 0x80, 0x80));
    ReleaseDC(s_hWnd, hdc);
    SetWindowPos(s_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    // A window that has gone: every frame fails, the log says so once.
    const HWND hGone = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(hGone);
    g_D3D.hWnd = hGone;
    EXPECT_NE(Present(), 0);
    EXPECT_NE(Present(), 0);
    g_D3D.hWnd = s_hWnd;
    EXPECT_EQ(Present(), 0);
    EXPECT_EQ(CountLinesStarting(Log(), "Present() GetDCEx() FAILED"), 1);
    ReleaseD3D();
    EXPECT_EQ(g_D3D.pDevice, nullptr);
    EXPECT_EQ(g_D3D.pDD, nullptr);
    EXPECT_EQ(g_D3D.pPrimary, nullptr);
    EXPECT_EQ(g_pRenderDevice, nullptr);
    EXPECT_EQ(Present(), static_cast<std::int32_t>(E_FAIL));
}

TEST_F(Direct3DTest, SoftwareEmulationFallsBackToSixteenBitTexturesAndFlatFills)
{
    g_D3D.uDeviceChoice = D3D_TRY_RGB;
    Start();
    const std::vector<std::string> log = Log();
    EXPECT_TRUE(HasLineStarting(log, "InitD3D() CreateDevice() Direct3d RGB software emulation"));
    EXPECT_EQ(g_iTextureBpp, 16);
    EXPECT_EQ(g_bRichRendering.load(), 0);
    EXPECT_EQ(g_iNumTextures, NUM_TEXTURES);
    EXPECT_EQ(CountLinesStarting(log, "Loading "), NUM_TEXTURES);
    for (const std::string& line : log)
    {
        if (line.rfind("Loading ", 0) != 0)
            continue;
        EXPECT_TRUE(line.find("Texture format = 565") != std::string::npos ||
                    line.find("Texture format = 555") != std::string::npos)
            << line;
    }
}

TEST_F(Direct3DTest, TexturesLoadFromTheFolderOrBesideTheProgramAndAreAllReleased)
{
    Start();
    std::vector<std::string> log = Log();
    EXPECT_EQ(g_iNumTextures, NUM_TEXTURES);
    EXPECT_EQ(CountLinesStarting(log, "CreateTexture() "), 0);
    // The name right-aligned in 40 characters, then the bitmap's own size and depth.
    const std::string wood =
        "Loading " + std::string(17, ' ') + "Textures\\Blackwood4.bmp dimensions =  256 x  256 x   24 bpp , Texture format = 888";
    std::string loaded;
    for (const std::string& line : log)
        if (line.find("Blackwood4.bmp") != std::string::npos)
            loaded += line + "\n";
    EXPECT_TRUE(HasLineStarting(log, wood)) << "expected: " << wood << "\nlogged: " << loaded;
    for (int i = 0; i < NUM_TEXTURES; ++i)
        EXPECT_NE(g_pTextures[i], nullptr) << i;
    ReleaseTextures();
    for (int i = 0; i < NUM_TEXTURES; ++i)
        EXPECT_EQ(g_pTextures[i], nullptr) << i;

    // No Textures folder: the bitmaps beside the program load on the second try,
    // and one that is missing altogether leaves its entry empty.
    char szTemp[MAX_PATH];
    GetTempPathA(MAX_PATH, szTemp);
    const std::string folder = std::string(szTemp) + "tq-d3d-textures-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    for (int i = 0; i < NUM_TEXTURES; ++i)
    {
        if (i == TEX_NOTCH_A)
            continue;
        ASSERT_TRUE(CopyFileA((std::string(TQ_BUILD_DIR) + "/Textures/" + g_szTextureFiles[i]).c_str(),
                              (folder + "\\" + g_szTextureFiles[i]).c_str(), FALSE));
    }
    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
    m_Mark = LogLines().size();
    LoadTextures();
    log = Log();
    EXPECT_EQ(CountLinesStarting(log, "CreateTexture() FAILED to load Textures\\"), NUM_TEXTURES);
    EXPECT_EQ(std::count(log.begin(), log.end(), "CreateTexture() FAILED to load KnobNotch3-a.bmp: no such file"), 1);
    EXPECT_EQ(g_pTextures[TEX_NOTCH_A], nullptr);
    EXPECT_NE(g_pTextures[TEX_LIGHTMAP], nullptr);
    EXPECT_EQ(g_iNumTextures, NUM_TEXTURES - 1);

    m_Mark = LogLines().size();
    ReleaseTextures();
    log = Log();
    EXPECT_EQ(log, (std::vector<std::string>{"Releasing Textures"}));  // the empty slot is no failure
    EXPECT_EQ(g_pTextures[TEX_LIGHTMAP], nullptr);  // beyond the count, released all the same

    SetCurrentDirectoryA(m_szDirectory);
    for (int i = 0; i < NUM_TEXTURES; ++i)
        DeleteFileA((folder + "\\" + g_szTextureFiles[i]).c_str());
    RemoveDirectoryA(folder.c_str());
}

// A damaged bitmap never reaches the system, whose file loader reads past the end
// of a cut one: our reader refuses it, the log names the file and why, the slot
// stays empty. The uncut file still loads.
TEST_F(Direct3DTest, DamagedTextureFilesAreRefusedAndNamed)
{
    ASSERT_GE(InitD3D(s_hWnd), 0);
    std::vector<std::uint8_t> good;
    std::string error;
    ASSERT_TRUE(ReadWholeFile(std::string(TQ_BUILD_DIR) + "/Textures/Knob33a.bmp", 1 << 20, &good, &error)) << error;
    ASSERT_GT(good.size(), 1000u);
    auto cut = [&](size_t n) {
        return std::vector<std::uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
    };
    std::vector<std::uint8_t> taller = good;
    taller[23] = static_cast<std::uint8_t>(taller[23] + 1);  // 256 rows more than the file holds
    const struct
    {
        const char* szWhat;
        std::vector<std::uint8_t> bytes;
        const char* szReason;  // null: loads
    } cases[] = {
        {"header only", cut(kBmpHeaderSize), "bitmap pixels cut short"},
        {"half", cut(good.size() / 2), "bitmap pixels cut short"},
        {"one byte short", cut(good.size() - 1), "bitmap pixels cut short"},
        {"header claims more rows", taller, "bitmap pixels cut short"},
        {"uncut", good, nullptr},
    };
    char szTemp[MAX_PATH];
    GetTempPathA(MAX_PATH, szTemp);
    const std::string folder = std::string(szTemp) + "tq-d3d-damaged-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.szWhat);
        {
            std::ofstream out("Knob33a.bmp", std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(c.bytes.data()), static_cast<std::streamsize>(c.bytes.size()));
            ASSERT_TRUE(out.good());
        }
        m_Mark = LogLines().size();
        IDirectDrawSurface7* pTexture = CreateTexture(g_D3D.pDevice, TEX_KNOB, "Knob33a.bmp", 0);
        const std::vector<std::string> log = Log();
        EXPECT_EQ(pTexture == nullptr, c.szReason != nullptr);
        EXPECT_EQ(g_pTextures[TEX_KNOB], pTexture);
        if (c.szReason)
            EXPECT_EQ(log, std::vector<std::string>{std::string("CreateTexture() FAILED to load Knob33a.bmp: ") +
                                                     c.szReason});
        else
            EXPECT_TRUE(HasLineStarting(log, "Loading" + std::string(30, ' ') +
                                                 "Knob33a.bmp dimensions =   64 x   64 x   24 bpp"))
                << (log.empty() ? "" : log[0]);
    }
    ReleaseTextures();
    SetCurrentDirectoryA(m_szDirectory);
    DeleteFileA((folder + "\\Knob33a.bmp").c_str());
    RemoveDirectoryA(folder.c_str());
}

// The panel through Direct3D and through the software device, for the same states.
TEST_F(Direct3DTest, PanelMatchesTheSoftwareDevice)
{
    Start();
    ASSERT_EQ(g_iNumTextures, NUM_TEXTURES);
    CRenderDevice* pD3D = g_pRenderDevice;
    const RgbImage backBuffer = ReadBackBuffer();
    ASSERT_GT(backBuffer.iWidth, 0);

    // Tuning, string, measured Hz, power, tuner's power, input and output peaks.
    const PanelScene scenes[3] = {{}, {-1, 1, 108.0, 1, 1, -20000.0, -12000.0}, {3, 5, -1.0, 0, 0}};
    for (int k = 0; k < 3; ++k)
    {
        SCOPED_TRACE("scene " + std::to_string(k));
        std::string error;
        CShapesOnly shapes(*pD3D);
        g_pRenderDevice = pD3D;
        ClearScreen();
        ASSERT_TRUE(DrawPanelScene(shapes, scenes[k], &error)) << error;
        const RgbImage d3d = ReadBackBuffer();

        CSoftwareDevice software(backBuffer.iWidth, backBuffer.iHeight);
        ASSERT_EQ(software.LoadPanelTextures(std::string(TQ_BUILD_DIR) + "/Textures"), NUM_TEXTURES);
        g_pRenderDevice = &software;
        ClearScreen();
        ASSERT_TRUE(DrawPanelScene(software, scenes[k], &error)) << error;
        g_pRenderDevice = pD3D;

        // Both pictures are kept for a look when the two differ.
        const std::string stem = "d3d-scene" + std::to_string(k);
        WriteBmpFile(stem + "-direct3d.bmp", d3d, &error);
        WriteBmpFile(stem + "-software.bmp", software.ToRgbImage(), &error);
        ASSERT_TRUE(d3d.iWidth == backBuffer.iWidth && d3d.iHeight == backBuffer.iHeight);
        const Difference d = Compare(d3d, software.ToRgbImage());
        const int nPixels = d3d.iWidth * d3d.iHeight;
        // The two differ only in filtering precision on the fine wood grain and in
        // how the colour key meets bilinear filtering at the knob's rim: under Wine
        // the mean is below 1, about 0.8 % of pixels differ by more than 8 levels and
        // about 20 by more than 32. A moved or missing control breaks all three.
        EXPECT_LT(d.fMean, 1.5);
        EXPECT_LT(d.nOver8, nPixels / 50);  // 2 %
        EXPECT_LT(d.nOver32, nPixels / 1000);
    }
}

// GDI text lands on the finished frame at each item's reference point.
TEST_F(Direct3DTest, TextIsDrawnOnTopAtTheQueuedPoints)
{
    Start();
    ASSERT_NE(g_hFont, nullptr);
    CRenderDevice* pD3D = g_pRenderDevice;
    PanelScene scene;
    scene.fMeasured = 108.0;
    std::string error;

    CShapesOnly shapes(*pD3D);
    ASSERT_TRUE(DrawPanelScene(shapes, scene, &error)) << error;
    const RgbImage plain = ReadBackBuffer();
    ASSERT_TRUE(DrawPanelScene(*pD3D, scene, &error)) << error;
    const RgbImage withText = ReadBackBuffer();
    WriteBmpFile("d3d-panel-with-text.bmp", withText, &error);
    CRecordingDevice recorder;
    for (int i = 0; i < NUM_TEXTURES; ++i)
        recorder.m_Textures.insert(i);
    ASSERT_TRUE(DrawPanelScene(recorder, scene, &error)) << error;

    // Each item's cell by its alignment, with room for any glyph width; every pixel
    // the text changed must lie in one, and every item must change some.
    struct Cell
    {
        int left, top, right, bottom;
        const CRecordingDevice::Call* pCall;
    };
    std::vector<Cell> cells;
    for (const CRecordingDevice::Call& call : recorder.m_Calls)
    {
        if (call.kind != CRecordingDevice::Kind::Text || call.sText.empty())
            continue;
        const int w = 8 * static_cast<int>(call.sText.size()) + 2;
        Cell c = {call.x - 1, call.y, call.x + w, call.y + 14, &call};
        if (call.uAlignment == 2)
        {
            c.left = call.x - w;
            c.right = call.x + 1;
        }
        else if (call.uAlignment == 6)
        {
            c.left = call.x - w / 2;
            c.right = call.x + w / 2;
        }
        cells.push_back(c);
    }
    std::vector<int> changed(cells.size(), 0);
    int nStray = 0;
    for (int y = 0; y < plain.iHeight; ++y)
        for (int x = 0; x < plain.iWidth; ++x)
        {
            if (plain.At(x, y) == withText.At(x, y))
                continue;
            bool bInside = false;
            for (size_t k = 0; k < cells.size(); ++k)
                if (x >= cells[k].left && x < cells[k].right && y >= cells[k].top && y < cells[k].bottom)
                {
                    ++changed[k];
                    bInside = true;
                }
            nStray += !bInside;
        }
    EXPECT_EQ(nStray, 0) << "text pixels outside every item's cell";
    for (size_t k = 0; k < cells.size(); ++k)
        EXPECT_GE(changed[k], 3) << "\"" << cells[k].pCall->sText << "\" at " << cells[k].pCall->x << ", "
                                 << cells[k].pCall->y;
    const int nItems = static_cast<int>(cells.size());
    EXPECT_GT(nItems, 20);
}

} // namespace

// Capability rules that need Direct3D's own structures.
TEST(Direct3DCallbacks, PixelFormatsAreFilteredLoggedAndCopied)
{
    auto format = [](DWORD flags, DWORD bits, DWORD r, DWORD g, DWORD b) {
        DDPIXELFORMAT f = {};
        f.dwSize = sizeof(f);
        f.dwFlags = flags;
        f.dwRGBBitCount = bits;
        f.dwRBitMask = r;
        f.dwGBitMask = g;
        f.dwBBitMask = b;
        return f;
    };
    DDPIXELFORMAT last = {};
    size_t mark = LogLines().size();
    DDPIXELFORMAT luminance = format(DDPF_LUMINANCE, 8, 0xFF, 0, 0);
    DDPIXELFORMAT fourcc = format(DDPF_FOURCC, 0, 0, 0, 0);
    fourcc.dwFourCC = MAKEFOURCC('D', 'X', 'T', '1');
    EXPECT_EQ(EnumPixelFormatsCallback(&luminance, &last), D3DENUMRET_OK);
    EXPECT_EQ(EnumPixelFormatsCallback(&fourcc, &last), D3DENUMRET_OK);
    EXPECT_EQ(last.dwRGBBitCount, 0u);
    EXPECT_TRUE(LogSince(mark).empty());

    DDPIXELFORMAT rgb565 = format(DDPF_RGB, 16, 0xF800, 0x07E0, 0x001F);
    DDPIXELFORMAT argb = format(DDPF_RGB | DDPF_ALPHAPIXELS, 32, 0xFF0000, 0xFF00, 0xFF);
    DDPIXELFORMAT pal4 = format(DDPF_RGB | DDPF_PALETTEINDEXED4, 4, 0, 0, 0);
    DDPIXELFORMAT pal8 = format(DDPF_RGB | DDPF_PALETTEINDEXED8, 8, 0, 0, 0);
    EnumPixelFormatsCallback(&rgb565, &last);
    EXPECT_EQ(last.dwRBitMask, 0xF800u);
    EnumPixelFormatsCallback(&argb, &last);
    EnumPixelFormatsCallback(&pal4, &last);
    EnumPixelFormatsCallback(&pal8, &last);
    EXPECT_EQ(last.dwRGBBitCount, 8u);
    EXPECT_EQ(LogSince(mark), (std::vector<std::string>{
                                  "EnumPixelFormatsCallback() RGB  = 5 6 5, bpp = 16",
                                  "EnumPixelFormatsCallback() RGBA = 8 8 8, bpp = 32",
                                  "EnumPixelFormatsCallback() Paletted      bpp = 4",
                                  "EnumPixelFormatsCallback() Paletted      bpp = 8",
                              }));

    BYTE bits[3] = {9, 9, 9};
    GetChannelBits(pal8, bits);
    EXPECT_EQ(bits[0] + bits[1] + bits[2], 0);
    GetChannelBits(rgb565, bits);
    EXPECT_EQ(bits[0] * 100 + bits[1] * 10 + bits[2], 565);
}

TEST(Direct3DCallbacks, CaptureDevicesAndAdaptersAreRecordedWithinTheirLimits)
{
    g_iNumSoundDevices = 0;
    g_szSoundDeviceName[0] = '\0';
    GUID guid = {};
    size_t mark = LogLines().size();
    EXPECT_TRUE(CaptureDeviceEnumCallback(nullptr, "Primary Sound Capture Driver", "", nullptr));
    EXPECT_EQ(g_iNumSoundDevices, 0);
    for (int i = 0; i < 22; ++i)
    {
        const std::string name = "Line In " + std::to_string(i);
        EXPECT_TRUE(CaptureDeviceEnumCallback(&guid, name.c_str(), "usbaudio.sys", nullptr));
    }
    EXPECT_EQ(g_iNumSoundDevices, 20);
    EXPECT_STREQ(g_szSoundDeviceName, "Line In 0");
    std::vector<std::string> log = LogSince(mark);
    ASSERT_EQ(log.size(), 60u);
    EXPECT_EQ(log[0], "Sound device name   =  Line In 0");
    EXPECT_EQ(log[1], "Sound device driver =  usbaudio.sys");
    EXPECT_EQ(log[2], "");

    // The display adapters: the default one identifies itself, and the walk stops
    // at sixteen.
    g_D3D.iNumVideoDevices = 0;
    g_D3D.szVideoDeviceName[0] = '\0';
    mark = LogLines().size();
    EXPECT_TRUE(SUCCEEDED(DirectDrawEnumerateA(DDEnumCallbackEx, nullptr)));
    EXPECT_GE(g_D3D.iNumVideoDevices, 1);
    EXPECT_NE(g_D3D.szVideoDeviceName[0], '\0');
    log = LogSince(mark);
    EXPECT_TRUE(HasLineStarting(log, "Video device name   = "));
    EXPECT_TRUE(HasLineStarting(log, "Video device driver = "));
    g_D3D.iNumVideoDevices = 0;
    int nCalls = 0;
    while (DDEnumCallbackEx(nullptr, nullptr, nullptr, nullptr) && nCalls < 100)
        ++nCalls;
    EXPECT_EQ(g_D3D.iNumVideoDevices, 16);
}
