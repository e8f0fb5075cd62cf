#include "app/Dialogs.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/AppGlobals.h"
#include "app/DialogLayout.h"
#include "app/OptionsChoice.h"
#include "app/PageMarkup.h"
#include "app/RecordingMixer.h"
#include "app/SettingsSaveWin.h"
#include "app/resource.h"
#include "audio/AudioGlobals.h"
#include "audio/SoundDevices.h"
#include "audio/StreamControl.h"
#include "audio/ks/CaptureThread.h"
#include "base/FileOpen.h"
#include "base/Log.h"
#include "base/UserFolder.h"
#include "base/Utf8.h"
#include "dsp/ReferencePitch.h"
#include "dsp/StreamParams.h"
#include "panel/FrameTick.h"
#include "render/d3d/BitmapFile.h"
#include "render/d3d/Direct3D.h"

namespace {

constexpr int kNumPages = 3;
const char* const kPageFiles[kNumPages] = {"FirstTimeRunScreen1.txt", "FirstTimeRunScreen2.txt",
                                           "FirstTimeRunScreen3.txt"};
constexpr COLORREF kLinkBlue = 0x00FF0000;
int g_iFirstRunPage = 0;

// The page's text, or nothing when the file cannot be read.
std::vector<char> ReadPageFile(int iPage)
{
    std::vector<char> data;
    const std::string sPath = JoinPath(JoinPath(g_szCurrentDirectory, "help"), kPageFiles[iPage]);
    std::FILE* f = OpenFile(sPath.c_str(), "r");
    if (!f)
    {
        // The page stays empty; the log says which file was missing, once: the
        // page is read again at every repaint.
        static bool s_abLogged[kNumPages] = {};
        if (!s_abLogged[iPage])
            g_Log.Print("DrawPage() FAILED to open ", sPath.c_str());
        s_abLogged[iPage] = true;
        return data;
    }
    char szChunk[4096];
    std::size_t n = 0;
    while ((n = std::fread(szChunk, 1, sizeof(szChunk), f)) > 0 && data.size() < (1u << 20))
        data.insert(data.end(), szChunk, szChunk + n);
    std::fclose(f);
    return data;
}

// The page lies inside the dialog's group box, which grows with the dialog's
// font: the area cleared for it is in dialog units (15, 21, 558 and 393 pixels
// with the usual font at 96 pixels per inch, 6 x 13 pixels for 4 x 8 units).
void ClearPageArea(HWND hDlg)
{
    RECT rc = {10, 13, 372, 242};
    MapDialogRect(hDlg, &rc);
    HDC hdc = GetDC(hDlg);
    FillRect(hdc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    ReleaseDC(hDlg, hdc);
}

// The page's text has a font of its own, 16 pixels at 96 pixels per inch: it and
// its places grow with the pixels per inch the dialog is drawn for, as the dialog
// does (where Windows scales the program, the dialog sees 96).
int PagePixels(int iPixelsAt96, int iPixelsPerInch)
{
    return MulDiv(iPixelsAt96, iPixelsPerInch, 96);
}

int DialogPixelsPerInch(HWND hDlg)
{
    HDC hdc = GetDC(hDlg);
    const int iPixelsPerInch = hdc ? GetDeviceCaps(hdc, LOGPIXELSY) : 96;
    if (hdc)
        ReleaseDC(hDlg, hdc);
    return iPixelsPerInch > 0 ? iPixelsPerInch : 96;
}

constexpr int kPageLeft = 20;
constexpr int kPageTop = 30;
constexpr int kPageLineStep = 20;

HFONT CreatePageFont(int iWeight, int iPixelsPerInch)
{
    return CreateFontA(PagePixels(16, iPixelsPerInch), 0, 0, 0, iWeight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                       ANTIALIASED_QUALITY, VARIABLE_PITCH, "Arial");
}

void DrawPage(HWND hDlg, int iPage)
{
    const std::vector<char> data = ReadPageFile(iPage);
    if (data.empty())
        return;
    const std::vector<PageLine> lines = ReadPageMarkup(data.data(), data.size());
    HDC hdc = GetDC(hDlg);
    const int iPixelsPerInch = DialogPixelsPerInch(hDlg);
    HFONT hNormal = CreatePageFont(FW_NORMAL, iPixelsPerInch);
    HFONT hBold = CreatePageFont(FW_BOLD, iPixelsPerInch);
    SetBkMode(hdc, TRANSPARENT);
    HGDIOBJ hOld = SelectObject(hdc, hNormal);
    const COLORREF crDefault = GetTextColor(hdc);
    int iLine = 0;
    for (const PageLine& line : lines)
    {
        const int y = PagePixels(kPageTop + kPageLineStep * iLine++, iPixelsPerInch);
        int x = PagePixels(kPageLeft, iPixelsPerInch);
        for (const PageRun& run : line)
        {
            SelectObject(hdc, run.bBold ? hBold : hNormal);
            SetTextColor(hdc, run.bBlue ? kLinkBlue : crDefault);
            const int iLength = static_cast<int>(run.sText.size());
            TextOutA(hdc, x, y, run.sText.c_str(), iLength);
            SIZE size = {0, 0};
            GetTextExtentPoint32A(hdc, run.sText.c_str(), iLength, &size);
            x += size.cx;
        }
    }
    SelectObject(hdc, hOld);
    SetBkMode(hdc, OPAQUE);
    DeleteObject(hNormal);
    DeleteObject(hBold);
    ReleaseDC(hDlg, hdc);
}

void RedrawPage(HWND hDlg)
{
    ClearPageArea(hDlg);
    DrawPage(hDlg, g_iFirstRunPage);
}

// The Options dialog's state: its changed flag, and the block size shown beside the
// trackbar, kept between openings.
int g_bOptionsChanged = 0;
int g_iShownBlockSizeIndex = 0;

// The About box's logo, where it goes, and the device context the box holds
// while open.
HBITMAP g_hAboutLogo = nullptr;
POINT g_ptAboutLogo = {0, 0};
HDC g_hAboutDC = nullptr;

// The logo's place is in dialog units, below the text and above the buttons:
// (116, 215) pixels with the usual font at 96 pixels per inch. Where the font
// makes the dialog smaller, the logo moves up to stay clear of the buttons; a
// dialog too small for it shows none (false).
bool PlaceLogo(HWND hDlg, HBITMAP hLogo, POINT* pPlace)
{
    BITMAP bm;
    if (!GetObjectA(hLogo, sizeof(bm), &bm))
        return false;
    RECT rcPlace = {77, 132, 77, 133};  // the bottom gives the room kept free: 1 unit
    MapDialogRect(hDlg, &rcPlace);
    auto clientRect = [hDlg](int iId) {
        RECT rc = {0, 0, 0, 0};
        const HWND hItem = GetDlgItem(hDlg, iId);
        if (hItem && GetWindowRect(hItem, &rc))
            MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    };
    const RECT rcText = clientRect(IDC_VIDEO_DEVICE);
    const RECT rcOk = clientRect(IDOK);
    const RECT rcWebsite = clientRect(IDC_VISIT_WEBSITE);
    const int iButtonsTop = rcOk.top < rcWebsite.top ? rcOk.top : rcWebsite.top;
    int iTop = 0;
    if (!PlaceAboutLogo(rcPlace.top, bm.bmHeight, rcText.bottom, iButtonsTop, rcPlace.bottom - rcPlace.top, &iTop))
        return false;
    *pPlace = POINT{rcPlace.left, iTop};
    return true;
}

LRESULT Item(HWND hDlg, int iId, UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return SendDlgItemMessageA(hDlg, iId, uMsg, wParam, lParam);
}

void FillList(HWND hDlg, int iId, const char* const* pszNames, int iCount, int iSelected)
{
    Item(hDlg, iId, CB_RESETCONTENT);
    for (int i = 0; i < iCount; ++i)
        Item(hDlg, iId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(pszNames[i]));
    Item(hDlg, iId, CB_SETCURSEL, static_cast<WPARAM>(iSelected));
}

void FillSingle(HWND hDlg, int iId, const char* szText)
{
    FillList(hDlg, iId, &szText, 1, 0);
}

// A device list of the driver in use, when it lists its devices; szOther stands
// for them otherwise.
void FillDeviceList(HWND hDlg, int iId, bool bCapture, const char* szOther)
{
    const AudioDriverEntry* e = EntryOfDriver(g_iAudioDriver);
    const int iCount = !e ? 0 : bCapture ? e->iNumCaptureNames : e->iNumRenderNames;
    if (iCount <= 0)
    {
        FillSingle(hDlg, iId, szOther);
        return;
    }
    const char* apszNames[kMaxKsDeviceNames];
    const int n = iCount < kMaxKsDeviceNames ? iCount : kMaxKsDeviceNames;
    for (int i = 0; i < n; ++i)
        apszNames[i] = bCapture ? e->aszCaptureNames[i] : e->aszRenderNames[i];
    FillList(hDlg, iId, apszNames, n, ShownDeviceSel(*e, bCapture));
}

void FillFrequencyList(HWND hDlg)
{
    const int iRow = g_iAudioDriver;
    if (g_iNumAudioDrivers == 0 || iRow < 0 || iRow >= 4 || g_aiNumSamplingFreqs[iRow] == 0)
    {
        FillSingle(hDlg, IDC_FREQUENCY, "None available");
        return;
    }
    Item(hDlg, IDC_FREQUENCY, CB_RESETCONTENT);
    const int iCurrent = static_cast<int>(g_fSamplingFreq);
    for (int i = 0; i < g_aiNumSamplingFreqs[iRow]; ++i)
    {
        char szFreq[16];
        std::snprintf(szFreq, sizeof(szFreq), "%d", g_aiSamplingFreqs[iRow][i]);
        Item(hDlg, IDC_FREQUENCY, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(szFreq));
        if (g_aiSamplingFreqs[iRow][i] == iCurrent)
            Item(hDlg, IDC_FREQUENCY, CB_SETCURSEL, static_cast<WPARAM>(i));
    }
}

void ShowBlockSize(HWND hDlg, int iBlockSize)
{
    SetDlgItemInt(hDlg, IDC_BLOCKSIZE_TEXT, static_cast<UINT>(iBlockSize), TRUE);
}

void InitOptions(HWND hDlg)
{
    g_bOptionsChanged = 0;
    if (g_iNumAudioDrivers == 0)
    {
        FillSingle(hDlg, IDC_AUDIO_INTERFACE, "None available");
    }
    else
    {
        const char* apszNames[kMaxAudioDrivers];
        int iSelected = -1;
        for (int i = 0; i < g_iNumAudioDrivers && i < kMaxAudioDrivers; ++i)
        {
            apszNames[i] = g_AudioDriverList[i].szName;
            if (g_AudioDriverList[i].iType == g_iAudioDriver)
                iSelected = i;
        }
        FillList(hDlg, IDC_AUDIO_INTERFACE, apszNames,
                 g_iNumAudioDrivers < kMaxAudioDrivers ? g_iNumAudioDrivers : kMaxAudioDrivers, iSelected);
    }
    const char* szOther = g_bAsioPresent ? "Set in Asio4All Control Panel" : "None available";
    FillDeviceList(hDlg, IDC_INPUT_DEVICE, true, szOther);
    const char* const apszChannels[2] = {"Mono", "Stereo"};
    FillList(hDlg, IDC_INPUT_CHANNELS, apszChannels, 2, g_iInputChannels.load(std::memory_order_relaxed) ? 1 : 0);
    FillDeviceList(hDlg, IDC_OUTPUT_DEVICE, false, szOther);
    FillFrequencyList(hDlg);
    Item(hDlg, IDC_BLOCKSIZE_TRACKBAR, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
    Item(hDlg, IDC_BLOCKSIZE_TRACKBAR, TBM_SETPOS, TRUE, ThumbForBlockSize(g_iRequestedBlockSize));
    ShowBlockSize(hDlg, g_iRequestedBlockSize);
    Item(hDlg, IDC_REFERENCE_A4, EM_LIMITTEXT, 8);
    SetDlgItemTextA(hDlg, IDC_REFERENCE_A4,
                    ReferenceText(g_iReferenceTenths.load(std::memory_order_relaxed)).c_str());
}

void OnTrackbar(HWND hDlg, WPARAM wParam)
{
    g_bOptionsChanged = 1;
    switch (LOWORD(wParam))
    {
    case TB_THUMBPOSITION:
    case TB_THUMBTRACK: g_iShownBlockSizeIndex = BlockSizeIndexForThumb(static_cast<short>(HIWORD(wParam))); break;
    case TB_PAGEUP: g_iShownBlockSizeIndex = StepBlockSizeIndex(g_iShownBlockSizeIndex, -1); break;
    case TB_PAGEDOWN: g_iShownBlockSizeIndex = StepBlockSizeIndex(g_iShownBlockSizeIndex, 1); break;
    default: return;
    }
    ShowBlockSize(hDlg, g_aiBlockSizes[g_iShownBlockSizeIndex]);
}

// Another driver chosen: it is in use at once (Cancel undoes it), and the lists
// follow it.
void OnDriverChosen(HWND hDlg)
{
    g_bOptionsChanged = 1;
    const int iDriver = DriverOfSelection(static_cast<int>(Item(hDlg, IDC_AUDIO_INTERFACE, CB_GETCURSEL)));
    if (iDriver >= 0)
        g_iAudioDriver = iDriver;
    FillFrequencyList(hDlg);
    FillDeviceList(hDlg, IDC_INPUT_DEVICE, true, "Set in Asio4All Control Panel");
    FillDeviceList(hDlg, IDC_OUTPUT_DEVICE, false, "Set in Asio4All Control Panel");
    InitSamplingFreqTables();
}

void OnOptionsOk(HWND hDlg)
{
    // A reference pitch that is not one is refused here, and the dialog stays
    // open on it: nothing else is applied until it is put right.
    char szReference[32] = "";
    GetDlgItemTextA(hDlg, IDC_REFERENCE_A4, szReference, sizeof(szReference));
    int iReferenceTenths = 0;
    if (!ParseReferenceA4(szReference, &iReferenceTenths))
    {
        g_Log.Print("OptionsDlgProc() reference pitch refused:", szReference);
        MessageBoxA(hDlg, kReferenceRefused, "Reference pitch", MB_OK | MB_ICONWARNING);
        SetFocus(GetDlgItem(hDlg, IDC_REFERENCE_A4));
        Item(hDlg, IDC_REFERENCE_A4, EM_SETSEL, 0, -1);
        return;
    }
    auto sel = [hDlg](int iId) { return static_cast<int>(Item(hDlg, iId, CB_GETCURSEL)); };
    const OptionsChoice choice{sel(IDC_AUDIO_INTERFACE),
                               sel(IDC_INPUT_CHANNELS),
                               sel(IDC_INPUT_DEVICE),
                               sel(IDC_OUTPUT_DEVICE),
                               sel(IDC_FREQUENCY),
                               static_cast<int>(Item(hDlg, IDC_BLOCKSIZE_TRACKBAR, TBM_GETPOS)),
                               g_bOptionsChanged != 0,
                               iReferenceTenths};
    OptionsOk(choice);
    EndDialog(hDlg, IDOK);
}

} // namespace

const char kTonquarryWebSite[] = "https://tonquarry.example.com/";

INT_PTR CALLBACK OptionsDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
{
    switch (uMsg)
    {
    case WM_INITDIALOG: InitOptions(hDlg); return TRUE;
    case WM_HSCROLL: OnTrackbar(hDlg, wParam); return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam))
        {
        case IDC_AUDIO_INTERFACE:
            if (HIWORD(wParam) == CBN_SELCHANGE)
                OnDriverChosen(hDlg);
            return TRUE;
        case IDC_FREQUENCY:
        case IDC_INPUT_DEVICE:
        case IDC_OUTPUT_DEVICE:
        case IDC_BLOCKSIZE_TRACKBAR: g_bOptionsChanged = 1; return TRUE;
        case IDOK: OnOptionsOk(hDlg); return TRUE;
        case IDCANCEL:
            EndDialog(hDlg, IDCANCEL);
            OptionsCancel();
            return TRUE;
        default: return FALSE;
        }
    case WM_DESTROY: return TRUE;
    default: return FALSE;
    }
}

INT_PTR CALLBACK AboutDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
{
    switch (uMsg)
    {
    case WM_INITDIALOG:
    {
        // The box works without its logo: a missing or damaged file is logged and
        // the texts are set all the same.
        std::string sReason;
        g_hAboutLogo = LoadBitmapFile("Textures\\AsioLogo.bmp", &sReason);
        if (!g_hAboutLogo)
            g_Log.Print(("AboutDlgProc() FAILED to load " + sReason).c_str());
        else if (!PlaceLogo(hDlg, g_hAboutLogo, &g_ptAboutLogo))
        {
            DeleteObject(g_hAboutLogo);
            g_hAboutLogo = nullptr;
        }
        g_hAboutDC = GetDC(hDlg);
        char szLine[320];
        std::snprintf(szLine, sizeof(szLine), "%s - version %s", g_szAppName, g_szVersion);
        SetDlgItemTextA(hDlg, IDC_PRODUCT_LINE, szLine);
        std::snprintf(szLine, sizeof(szLine), "Sound device: %s", g_szSoundDeviceName);
        SetDlgItemTextA(hDlg, IDC_SOUND_DEVICE, szLine);
        std::snprintf(szLine, sizeof(szLine), "Video device:  %s", g_D3D.szVideoDeviceName);
        SetDlgItemTextA(hDlg, IDC_VIDEO_DEVICE, szLine);
        return TRUE;
    }
    case WM_PAINT:
    {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(hDlg, &ps);
        if (g_hAboutLogo)
        {
            BITMAP bm;
            GetObjectA(g_hAboutLogo, sizeof(bm), &bm);
            HDC hMem = CreateCompatibleDC(hdc);
            HGDIOBJ hOld = SelectObject(hMem, g_hAboutLogo);
            BitBlt(hdc, g_ptAboutLogo.x, g_ptAboutLogo.y, bm.bmWidth, bm.bmHeight, hMem, 0, 0, SRCCOPY);
            SelectObject(hMem, hOld);
            DeleteDC(hMem);
        }
        EndPaint(hDlg, &ps);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam))
        {
        case IDOK:
        case IDCANCEL: EndDialog(hDlg, LOWORD(wParam)); return TRUE;
        case IDC_VISIT_WEBSITE:
            ShellExecuteA(hDlg, "open", kTonquarryWebSite, nullptr, nullptr, SW_SHOWMAXIMIZED);
            return TRUE;
        default: return FALSE;
        }
    case WM_DESTROY:
        if (g_hAboutDC)
            ReleaseDC(hDlg, g_hAboutDC);
        g_hAboutDC = nullptr;
        // Each opening loads the logo afresh; the last one goes with the box.
        if (g_hAboutLogo)
            DeleteObject(g_hAboutLogo);
        g_hAboutLogo = nullptr;
        return TRUE;
    default: return FALSE;
    }
}

namespace {

// A click on the panel queued before a dialog disabled it (a quick double click)
// reaches the panel from that dialog's message loop: it opens no second dialog
// nested in the first, which would stay open after the player closed one.
bool g_bPanelDialogOpen = false;

INT_PTR ShowPanelDialog(HWND hOwner, int iTemplate, DLGPROC pfnProc)
{
    if (g_bPanelDialogOpen)
        return IDCANCEL;
    g_bPanelDialogOpen = true;
    const INT_PTR iResult = DialogBoxParamA(g_hInst, MAKEINTRESOURCEA(iTemplate), hOwner, pfnProc, 0);
    g_bPanelDialogOpen = false;
    return iResult;
}

} // namespace

void ShowOptionsDialog(HWND hOwner)
{
    INITCOMMONCONTROLSEX icc = {static_cast<DWORD>(sizeof(icc)), ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    // What the player confirmed is kept at once, not only at shutdown, which a
    // crash never reaches. Saved once the dialog is gone, so a message box
    // telling of a failure belongs to the main window alone.
    if (ShowPanelDialog(hOwner, IDD_OPTIONS, &OptionsDlgProc) == IDOK)
        SaveSettingsOrTell(hOwner, false);
}

void ShowAboutBox(HWND hOwner)
{
    ShowPanelDialog(hOwner, IDD_ABOUT, &AboutDlgProc);
}

void OpenIntroHelpPage(HWND hOwner)
{
    const std::string sPath = JoinPath(JoinPath(g_szCurrentDirectory, "help"), "intro.htm");
    // The shell reports a missing page only on the screen: the log names it too.
    std::FILE* f = OpenFile(sPath.c_str(), "rb");
    const bool bFound = f != nullptr;
    if (f)
        std::fclose(f);
    g_Log.Print(bFound ? "OpenIntroHelpPage() opening" : "OpenIntroHelpPage() FAILED to find", sPath.c_str());
    ShellExecuteW(hOwner, L"open", Utf8ToWide(sPath).c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
}

INT_PTR CALLBACK FirstRunDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg)
    {
    case WM_INITDIALOG:
        g_iFirstRunPage = 0;
        return TRUE;
    case WM_PAINT:
    {
        // Let the dialog paint itself first, so its background does not cover the page.
        PAINTSTRUCT ps;
        BeginPaint(hDlg, &ps);
        EndPaint(hDlg, &ps);
        RedrawPage(hDlg);
        return TRUE;
    }
    case WM_LBUTTONDOWN:
    {
        const int x = static_cast<short>(LOWORD(lParam));
        const int y = static_cast<short>(HIWORD(lParam));
        // The download address on the first page, where the page draws it.
        const int iPixelsPerInch = DialogPixelsPerInch(hDlg);
        if (g_iFirstRunPage == 0 && x >= PagePixels(20, iPixelsPerInch) && x < PagePixels(162, iPixelsPerInch) &&
            y >= PagePixels(310, iPixelsPerInch) && y < PagePixels(322, iPixelsPerInch))
            ShellExecuteA(hDlg, "open", kAsioDownloadAddress, nullptr, nullptr, SW_SHOWMAXIMIZED);
        return FALSE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam))
        {
        case IDC_NEXT:
            if (++g_iFirstRunPage >= kNumPages)
                EndDialog(hDlg, IDC_NEXT);
            else
                RedrawPage(hDlg);
            return TRUE;
        case IDC_BACK:
            if (g_iFirstRunPage > 0)
            {
                --g_iFirstRunPage;
                RedrawPage(hDlg);
            }
            return TRUE;
        case IDC_HELP_BUTTON: OpenIntroHelpPage(g_hWnd); return TRUE;
        case IDC_WIN_MIXER: OpenRecordingMixer(g_hWnd); return TRUE;
        case IDOK:
        case IDCANCEL: EndDialog(hDlg, LOWORD(wParam)); return TRUE;
        default: return FALSE;
        }
    default: return FALSE;
    }
}

INT_PTR CALLBACK AudioErrorDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
{
    switch (uMsg)
    {
    case WM_INITDIALOG:
    {
        const int iKind = g_iAudioErrorKind.load(std::memory_order_relaxed);
        if (iKind == 1)
            SetDlgItemTextA(hDlg, IDC_AUDIOERROR_TEXT,
                            "Couldn't acquire the default recording device.\n\n"
                            "Make sure that no other sound recording programs are running before starting this "
                            "program.\n\n"
                            "Tonquarry Redede Rizuz Ad needs exclusive access to your line in / microphone socket to "
                            "reduce latency and noise.\n");
        else if (iKind == 2)
            SetDlgItemTextA(hDlg, IDC_AUDIOERROR_TEXT,
                            "Couldn't acquire the default playback device.\n\n"
                            "Make sure that no other audio programs are running before starting this program.\n\n"
                            "Check that your sound driver supports WDM streaming in full duplex mode\n");
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam))
        {
        case IDOK:
        case IDCANCEL: EndDialog(hDlg, LOWORD(wParam)); return TRUE;
        case IDC_HELP_BUTTON: OpenIntroHelpPage(g_hWnd); return TRUE;
        default: return FALSE;
        }
    case WM_DESTROY: return TRUE;
    default: return FALSE;
    }
}

void ShowFirstRunDialog(HWND hOwner)
{
    DialogBoxParamA(g_hInst, MAKEINTRESOURCEA(IDD_FIRSTRUN), hOwner, &FirstRunDlgProc, 0);
}

void ShowAudioErrorDialog(HWND hOwner)
{
    DialogBoxParamA(g_hInst, MAKEINTRESOURCEA(IDD_AUDIOERROR), hOwner, &AudioErrorDlgProc, 0);
}

void ReportAudioError(HWND hOwner, int iErrorKind, const char* szText)
{
    if (iErrorKind != 0)
        ShowAudioErrorDialog(hOwner);
    else
        DefaultAudioErrorReport(hOwner, iErrorKind, szText);
}
