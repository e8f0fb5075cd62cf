#include "app/DialogLayout.h"

bool PlaceAboutLogo(int iPreferredTop, int iHeight, int iTextBottom, int iButtonsTop, int iGap, int* pTop)
{
    const int iHighest = iTextBottom + iGap;
    const int iLowest = iButtonsTop - iGap - iHeight;
    if (iLowest < iHighest)
        return false;
    *pTop = iPreferredTop < iHighest ? iHighest : iPreferredTop > iLowest ? iLowest : iPreferredTop;
    return true;
}
