#include "render/TextQueue.h"

#include <cstring>

#include "render/RenderDevice.h"

CTextQueue g_TextQueue;

void CTextQueue::Queue(int x, int y, std::uint32_t colour, const char* szText, unsigned uAlignment)
{
    if (m_iCount >= kMaxItems || m_iCount < 0 || !szText)
        return;
    Item& item = m_Items[m_iCount++];
    item.x = x;
    item.y = y;
    item.colour = colour;
    std::strncpy(item.szText, szText, kMaxText);
    item.szText[kMaxText] = '\0';
    item.uAlignment = uAlignment;
}

void CTextQueue::Flush()
{
    if (g_pRenderDevice)
        for (int i = 0; i < m_iCount; ++i)
        {
            const Item& item = m_Items[i];
            g_pRenderDevice->DrawTextAt(item.x, item.y, item.colour, item.szText, item.uAlignment);
        }
    m_iCount = 0;
}

void QueueText(int x, int y, std::uint32_t colour, const char* szText, unsigned uAlignment)
{
    g_TextQueue.Queue(x, y, colour, szText, uAlignment);
}

void FlushText()
{
    g_TextQueue.Flush();
}
