#pragma once
// Text of a frame is queued while the frame is built and drawn after the scene has
// ended, so it always lies on top of every shape of its frame.
#include <cstdint>

// Lit text (red), for buttons, the title and the tuner read-out. COLORREF 0x00BBGGRR.
constexpr std::uint32_t g_crHighlight = 0x000000F0u;

// Alignments: left with the top at y, right-aligned at x, centred on x.
enum : unsigned
{
    TEXT_LEFT = 0,
    TEXT_RIGHT = 2,
    TEXT_CENTRE = 6,
};

class CTextQueue
{
public:
    static constexpr int kMaxItems = 500;
    static constexpr int kMaxText = 255;

    struct Item
    {
        int x, y;
        std::uint32_t colour;
        char szText[kMaxText + 1];
        unsigned uAlignment;
    };

    int m_iCount = 0;
    Item m_Items[kMaxItems];

    // Adds an item (the text cut to 255 characters); dropped when the queue is full.
    void Queue(int x, int y, std::uint32_t colour, const char* szText, unsigned uAlignment);
    // Draws every item through the render device in queue order and empties the queue.
    void Flush();
};

extern CTextQueue g_TextQueue;

void QueueText(int x, int y, std::uint32_t colour, const char* szText, unsigned uAlignment);
void FlushText();
