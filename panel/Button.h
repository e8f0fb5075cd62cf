#pragma once
// The push button of the rack panel: a record with a hit test driven by the
// window's mouse messages and a drawing method. The owner decides what a click means.
#include <atomic>
#include <cstdint>

// Mouse messages the controls look at (Windows codes).
enum : int
{
    MSG_MOUSE_MOVE = 512,
    MSG_LBUTTON_DOWN = 513,
    MSG_LBUTTON_UP = 514,
};

// Measures a label in device units. The default is a portable estimate; the
// Windows shell points it at a measurement with the main window's device context.
using MeasureTextFn = void (*)(const char* szText, int* piWidth, int* piHeight);
extern MeasureTextFn g_pfnMeasureText;
void EstimateTextExtent(const char* szText, int* piWidth, int* piHeight);

// The window thread changes a button (mouse messages, new tuning labels) while the
// frame tick draws it, so the states it draws from are single atomic words and the
// label text is copied under a lock.
class CButton
{
public:
    static constexpr int kLabelSize = 20;
    static constexpr std::uint32_t kTextColour = 0xa0a0a0u;

    int m_iWidth = 0, m_iHeight = 0;
    int m_iX = 0, m_iY = 0;
    int m_iX2 = 0, m_iY2 = 0;  // bottom-right corner, inclusive
    char m_szLabel[kLabelSize] = {};  // write with SetLabel once the frame tick runs
    int m_iLabelWidth = 0, m_iLabelHeight = 0;  // measured at creation; not used for drawing
    std::atomic<int> m_bPressed{0};
    std::atomic<int> m_bChecked{0};  // the owner's toggle state
    int m_iKind = 0;     // 1 = framed push button
    std::uint32_t m_crText = kTextColour;
    std::uint32_t m_crHighlight = 0;
    std::atomic<int> m_bOn{0};  // lit: the label shows in the highlight colour
    std::atomic<int> m_iValue{0};
    std::atomic<int> m_bArmed{0};  // from button-down on it until button-up

    void Init(int x, int y, int iWidth, int iHeight, const char* szLabel, int iKind);
    // 1 when the message hit the button (see Button.cpp for the message rules).
    int HitTest(int px, int py, int iMessage);
    void SetState(int bOn) { m_bOn.store(bOn, std::memory_order_relaxed); }
    // Replaces the label (cut to 19 characters) while frames may be drawing it.
    void SetLabel(const char* szLabel);
    // The label as it is now.
    void CopyLabel(char (&szOut)[kLabelSize]) const;
    void Render();
};
