#include "app/Dialogs.h"

#include <shellapi.h>

#include <cstdio>
#include <vector>

#include "app/AppGlobals.h"
#include "app/PageMarkup.h"
#include "app/resource.h"
#include "audio/AudioGlobals.h"
#include "audio/CaptureThread.h"
#include "audio/StreamControl.h"

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
    char szPath[MAX_PATH * 2];
    std::snprintf(szPath, sizeof(szPath), "%s\\help\\%s", g_szCurrentDirectory, kPageFiles[iPage]);
    std::FILE* f = std::fopen(szPath, "r");
    if (!f)
        return data;
    char szChunk[4096];
    std::size_t n = 0;
    while ((n = std::fread(szChunk, 1, sizeof(szChunk), f)) > 0 && data.size() < (1u << 20))
        data.insert(data.end(), szChunk, szChunk + n);
    std::fclose(f);
    return data;
}

void ClearPageArea(HWND hDlg)
{
    RECT rc;
    GetClientRect(hDlg, &rc);
    rc.left += 15;
    rc.right -= 15;
    rc.top += 21;
    rc.bottom -= 46;
    HDC hdc = GetDC(hDlg);
    FillRect(hdc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    ReleaseDC(hDlg, hdc);
}

HFONT CreatePageFont(int iWeight)
{
    return CreateFontA(16, 0, 0, 0, iWeight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, ANTIALIASED_QUALITY,
                       VARIABLE_PITCH, "Arial");
}

void DrawPage(HWND hDlg, int iPage)
{
    const std::vector<char> data = ReadPageFile(iPage);
    if (data.empty())
        return;
    const std::vector<PageLine> lines = ReadPageMarkup(data.data(), data.size());
    HDC hdc = GetDC(hDlg);
    HFONT hNormal = CreatePageFont(FW_NORMAL);
    HFONT hBold = CreatePageFont(FW_BOLD);
    SetBkMode(hdc, TRANSPARENT);
    HGDIOBJ hOld = SelectObject(hdc, hNormal);
    const COLORREF crDefault = GetTextColor(hdc);
    int y = 30;
    for (const PageLine& line : lines)
    {
        int x = 20;
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
        y += 20;
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

} // namespace

void OpenIntroHelpPage(HWND hOwner)
{
    char szPath[MAX_PATH * 2];
    std::snprintf(szPath, sizeof(szPath), "%s\\help\\intro.htm", g_szCurrentDirectory);
    ShellExecuteA(hOwner, "open", szPath, nullptr, nullptr, SW_SHOWMAXIMIZED);
}

void OpenRecordingMixer(HWND hOwner)
{
    ShellExecuteA(hOwner, "open", "SNDVOL32.EXE", "-r", nullptr, SW_SHOWNORMAL);
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
        // The download address on the first page.
        if (g_iFirstRunPage == 0 && x >= 20 && x < 162 && y >= 310 && y < 322)
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
