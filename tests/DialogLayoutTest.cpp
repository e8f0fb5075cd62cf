// The About box's logo stays clear of its text and its buttons at any dialog font.
#include <gtest/gtest.h>

#include "app/DialogLayout.h"

namespace {

TEST(DialogLayout, TheLogoKeepsClearOfTextAndButtons)
{
    // Pixels of the dialog's client area for a 48-pixel logo: its place in dialog
    // units, the text's bottom, the buttons' top and the room kept free.
    const struct { int iPreferred, iTextBottom, iButtonsTop, iGap; bool bFits; int iTop; } cases[] = {
        {215, 184, 268, 1, true, 215},  // 6 x 13 pixels for 4 x 8 units: the place itself
        {198, 170, 248, 2, true, 198},  // 6 x 12: just fits
        {281, 240, 351, 2, true, 281},  // 9 x 17 (144 pixels per inch)
        {149, 127, 186, 1, true, 137},  // 6 x 9: moves up, clear of the buttons
        {100, 127, 186, 1, true, 128},  // a place above the text moves below it
        {149, 140, 186, 1, false, 0},   // no room: not drawn
    };
    for (const auto& c : cases)
    {
        int iTop = 0;
        EXPECT_EQ(PlaceAboutLogo(c.iPreferred, 48, c.iTextBottom, c.iButtonsTop, c.iGap, &iTop), c.bFits) << c.iPreferred;
        EXPECT_EQ(iTop, c.iTop) << c.iPreferred;  // left alone when it does not fit
    }
}

}  // namespace
