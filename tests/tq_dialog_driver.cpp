// tq-dialog-driver: works the program's dialogs through their controls' messages,
// as a player would with the mouse, and prints what the controls show. The
// commands run in order:
//   open X Y TITLE   clicks the panel at X, Y and waits for the dialog TITLE
//   dialog TITLE     waits for the dialog TITLE
//   closed           waits until the dialog has closed
//   gone             the same, for a box over another dialog, which stays open
//   click X Y        clicks the panel at X, Y once, whatever is open
//   count TITLE      the number of dialogs TITLE, hidden ones included
//   owner            the title of the dialog's owner window (empty: none)
//   items ID         the entries of a drop-down list, the selected one marked "*"
//   text ID          a control's text
//   thumb ID         a trackbar's position
//   select ID N      selects entry N of a drop-down list and tells the dialog
//   slide ID POS     drags a trackbar's thumb to POS and tells the dialog
//   type ID TEXT     puts TEXT in an edit control, as typing it would
//   press ID         presses a button (posted: OK may restart the audio first)
//   restarts N       N times: open the Options, choose the frequency shown, OK
//   acp              the system's ANSI code page
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

HWND g_hDlg = nullptr;

struct Search
{
    const char* szTitle;
    HWND hFound;
};

BOOL CALLBACK FindVisible(HWND h, LPARAM lParam)
{
    Search* pSearch = reinterpret_cast<Search*>(lParam);
    char szClass[16], szTitle[128];
    if (IsWindowVisible(h) && GetClassNameA(h, szClass, sizeof(szClass)) && !std::strcmp(szClass, "#32770") &&
        GetWindowTextA(h, szTitle, sizeof(szTitle)) && !std::strcmp(szTitle, pSearch->szTitle))
    {
        pSearch->hFound = h;
        return FALSE;
    }
    return TRUE;
}

// Polls done() every tenth of a second until it holds or dwSeconds have passed.
template <class F>
bool WaitFor(F done, DWORD dwSeconds)
{
    const DWORD dwStart = GetTickCount();
    while (!done())
    {
        if (GetTickCount() - dwStart >= dwSeconds * 1000)
            return false;
        Sleep(100);
    }
    return true;
}

// A visible dialog: one just closed may linger hidden until its modal loop ends.
HWND WaitForDialog(const char* szTitle, DWORD dwSeconds)
{
    Search search{szTitle, nullptr};
    WaitFor([&] {
        EnumWindows(&FindVisible, reinterpret_cast<LPARAM>(&search));
        return search.hFound != nullptr;
    }, dwSeconds);
    return search.hFound;
}

// What is on the screen instead, for the report of a dialog that never came.
BOOL CALLBACK ReportVisible(HWND h, LPARAM)
{
    char szClass[64], szTitle[128];
    if (IsWindowVisible(h) && GetClassNameA(h, szClass, sizeof(szClass)) && GetWindowTextA(h, szTitle, sizeof(szTitle)))
        std::fprintf(stderr, "tq-dialog-driver: visible: \"%s\" (%s)%s\n", szTitle, szClass,
                     IsWindowEnabled(h) ? "" : ", disabled");
    return TRUE;
}

// Dialogs with this title, hidden ones (on their way or closing) included.
int CountDialogs(const char* szTitle)
{
    int iCount = 0;
    HWND h = nullptr;
    while ((h = FindWindowExA(nullptr, h, "#32770", szTitle)) != nullptr)
        ++iCount;
    return iCount;
}

// The report of a dialog that never came or never went: what is on the screen,
// the hidden dialogs of that title, and whether the panel's thread still answers.
void ReportState(const char* szTitle)
{
    EnumWindows(&ReportVisible, 0);
    std::fprintf(stderr, "tq-dialog-driver: dialogs \"%s\", hidden ones included: %d\n", szTitle, CountDialogs(szTitle));
    const HWND hMain = FindWindowA(nullptr, "Tonquarry Guitar Tuner");
    DWORD_PTR dwResult = 0;
    if (hMain)
        std::fprintf(stderr, "tq-dialog-driver: the main window's thread %s\n",
                     SendMessageTimeoutA(hMain, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &dwResult)
                         ? "answers" : "does not answer in 5 s");
}

void Click(HWND hMain, int x, int y)
{
    // The pointer itself goes there too: Wine reports its real position in mouse
    // moves of its own, which would otherwise move the click.
    POINT pt{x, y};
    ClientToScreen(hMain, &pt);
    SetCursorPos(pt.x, pt.y);
    PostMessageA(hMain, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    PostMessageA(hMain, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageA(hMain, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

bool Open(int x, int y, const char* szTitle)
{
    // The panel takes clicks once its first frame is drawn: click until the dialog
    // comes, but never while a dialog is on its way (the main window is disabled
    // then, or the dialog exists still hidden).
    const DWORD dwStart = GetTickCount();
    while (GetTickCount() - dwStart < 120 * 1000)
    {
        const HWND hMain = FindWindowA(nullptr, "Tonquarry Guitar Tuner");
        if (hMain && IsWindowEnabled(hMain) && CountDialogs(szTitle) == 0)
            Click(hMain, x, y);
        if ((g_hDlg = WaitForDialog(szTitle, 3)) != nullptr)
            return true;
    }
    ReportState(szTitle);
    return false;
}

// Closed and its modal loop over (the dialog is destroyed only then): the main
// window takes clicks again.
bool WaitClosed()
{
    if (WaitFor([] {
            const HWND hMain = FindWindowA(nullptr, "Tonquarry Guitar Tuner");
            return !IsWindow(g_hDlg) && (!hMain || IsWindowEnabled(hMain));
        }, 60))
        return true;
    char szTitle[128] = "";
    GetWindowTextA(g_hDlg, szTitle, sizeof(szTitle));
    ReportState(szTitle);
    return false;
}

HWND Control(int iId)
{
    const HWND h = g_hDlg ? GetDlgItem(g_hDlg, iId) : nullptr;
    if (!h)
        std::fprintf(stderr, "tq-dialog-driver: no control %d\n", iId);
    return h;
}

void Select(HWND hItem, int iId, int iIndex)
{
    SendMessageA(hItem, CB_SETCURSEL, static_cast<WPARAM>(iIndex), 0);
    SendMessageA(g_hDlg, WM_COMMAND, MAKEWPARAM(iId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(hItem));
}

void Press(HWND hItem, int iId)
{
    PostMessageA(g_hDlg, WM_COMMAND, MAKEWPARAM(iId, BN_CLICKED), reinterpret_cast<LPARAM>(hItem));
}

int Fail(const char* szWhat, const char* szArg)
{
    std::fprintf(stderr, "tq-dialog-driver: %s %s\n", szWhat, szArg);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    int a = 1;
    auto arg = [&](int k) { return a + k < argc ? argv[a + k] : ""; };
    while (a < argc)
    {
        const char* szCommand = argv[a];
        if (!std::strcmp(szCommand, "open"))
        {
            if (!Open(std::atoi(arg(1)), std::atoi(arg(2)), arg(3)))
                return Fail("no dialog", arg(3));
            a += 4;
            continue;
        }
        if (!std::strcmp(szCommand, "dialog"))
        {
            if ((g_hDlg = WaitForDialog(arg(1), 60)) == nullptr)
            {
                ReportState(arg(1));
                return Fail("no dialog", arg(1));
            }
            a += 2;
            continue;
        }
        if (!std::strcmp(szCommand, "acp"))
        {
            std::printf("%u\n", GetACP());
            a += 1;
            continue;
        }
        if (!std::strcmp(szCommand, "closed"))
        {
            if (!WaitClosed())
                return Fail("dialog still open", "");
            a += 1;
            continue;
        }
        if (!std::strcmp(szCommand, "gone"))
        {
            if (!WaitFor([] { return !IsWindow(g_hDlg); }, 60))
                return Fail("box still open", "");
            a += 1;
            continue;
        }
        if (!std::strcmp(szCommand, "click"))
        {
            const HWND hMain = FindWindowA(nullptr, "Tonquarry Guitar Tuner");
            if (!hMain)
                return Fail("no window", "Tonquarry Guitar Tuner");
            Click(hMain, std::atoi(arg(1)), std::atoi(arg(2)));
            a += 3;
            continue;
        }
        if (!std::strcmp(szCommand, "count"))
        {
            std::printf("%d\n", CountDialogs(arg(1)));
            a += 2;
            continue;
        }
        if (!std::strcmp(szCommand, "owner"))
        {
            char szOwner[128] = "";
            const HWND hOwner = g_hDlg ? GetWindow(g_hDlg, GW_OWNER) : nullptr;
            if (hOwner)
                GetWindowTextA(hOwner, szOwner, sizeof(szOwner));
            std::printf("%s\n", szOwner);
            a += 1;
            continue;
        }
        if (!std::strcmp(szCommand, "restarts"))
        {
            for (int i = std::atoi(arg(1)); i > 0; --i)
            {
                if (!Open(283, 16, "Options"))
                    return Fail("no dialog", "Options");
                const HWND hFreq = Control(1039);
                const HWND hOk = Control(IDOK);
                if (!hFreq || !hOk)
                    return 1;
                Select(hFreq, 1039, static_cast<int>(SendMessageA(hFreq, CB_GETCURSEL, 0, 0)));
                Press(hOk, IDOK);
                if (!WaitClosed())
                    return Fail("dialog still open", "");
            }
            a += 2;
            continue;
        }
        const int iId = std::atoi(arg(1));
        const HWND hItem = Control(iId);
        if (!hItem)
            return 1;
        char sz[512];
        if (!std::strcmp(szCommand, "items"))
        {
            const LRESULT lCount = SendMessageA(hItem, CB_GETCOUNT, 0, 0);
            const LRESULT lSel = SendMessageA(hItem, CB_GETCURSEL, 0, 0);
            for (LRESULT i = 0; i < lCount; ++i)
            {
                // Across processes Wine carries the entries' text whole only in the wide form.
                wchar_t wsz[256] = {};
                SendMessageW(hItem, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(wsz));
                WideCharToMultiByte(CP_ACP, 0, wsz, -1, sz, sizeof(sz), nullptr, nullptr);
                std::printf("%s%s\n", i == lSel ? "*" : "", sz);
            }
            a += 2;
        }
        else if (!std::strcmp(szCommand, "text"))
        {
            // Asked of the control itself: across processes GetWindowText gives an
            // edit control's caption, not what it holds.
            wchar_t wsz[256] = {};
            SendMessageW(hItem, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(wsz));
            WideCharToMultiByte(CP_ACP, 0, wsz, -1, sz, sizeof(sz), nullptr, nullptr);
            std::printf("%s\n", sz);
            a += 2;
        }
        else if (!std::strcmp(szCommand, "thumb"))
        {
            std::printf("%ld\n", static_cast<long>(SendMessageA(hItem, TBM_GETPOS, 0, 0)));
            a += 2;
        }
        else if (!std::strcmp(szCommand, "press"))
        {
            Press(hItem, iId);
            a += 2;
        }
        else if (!std::strcmp(szCommand, "select"))
        {
            Select(hItem, iId, std::atoi(arg(2)));
            a += 3;
        }
        else if (!std::strcmp(szCommand, "type"))
        {
            SetWindowTextA(hItem, arg(2));
            a += 3;
        }
        else if (!std::strcmp(szCommand, "slide"))
        {
            const int iPos = std::atoi(arg(2));
            SendMessageA(hItem, TBM_SETPOS, TRUE, iPos);
            SendMessageA(g_hDlg, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, iPos), reinterpret_cast<LPARAM>(hItem));
            a += 3;
        }
        else
        {
            return Fail("unknown command", szCommand);
        }
    }
    std::fflush(stdout);
    return 0;
}
