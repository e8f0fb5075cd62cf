#pragma once
// The rotary knob of the rack panel. Its angle is a bearing in screen coordinates,
// clockwise from straight up: 0 up, pi/2 right, pi down, 3 pi/2 left. The knob
// turns from the lower-left stop through the top to the lower-right stop.

#include <atomic>

constexpr float KNOB_PI = 3.1415927f;
constexpr float KNOB_MIN_ANGLE = 5.0f * KNOB_PI / 4.0f;  // lower-left stop
constexpr float KNOB_SWEEP = 3.0f * KNOB_PI / 2.0f;
constexpr float KNOB_MAX_ANGLE = 3.0f * KNOB_PI / 4.0f;  // lower-right stop

class CKnob
{
public:
    static constexpr int kLabelSize = 20;
    static constexpr unsigned kLabelColour = 0xffa0a0u;  // COLORREF

    char m_szLabel[kLabelSize] = {};
    std::atomic<float> m_fAngle{0.0f};  // turned by the window thread, drawn by the frame tick
    float m_fRadius = 0.0f;  // half the side of the drawn square
    int m_iCx = 0, m_iCy = 0;
    float m_fMinimum = 0.0f, m_fMaximum = 1.0f;
    float m_fValue = 0.0f;
    int m_iKind = 0;  // kinds 5, 6 and 8 quantise the value to the step
    int m_iStep = 1;

    void SetPosition(int cx, int cy, float fRadius);
    void ValueToAngle();
    // Turns the knob towards (x, y); 1 when the point was taken (within twice the radius).
    int Drag(int x, int y);
    void Render();
};
