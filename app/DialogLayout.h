#pragma once
// Where the About box's logo goes. The dialog grows with its font, which Windows
// sizes for the screen's pixels per inch when it does not scale the program
// itself, and differs between systems; the logo, drawn in pixels, must follow the
// controls around it. Portable: the dialog procedure passes in its controls'
// places in client pixels.

// The logo's top for a logo iHeight pixels tall: its place in dialog units
// (iPreferredTop) when it fits there between the text above it (ending at
// iTextBottom) and the buttons below (starting at iButtonsTop) with iGap pixels to
// spare on either side; otherwise as near to it as that room allows. False when
// it fits nowhere: then it is not drawn rather than drawn over either.
bool PlaceAboutLogo(int iPreferredTop, int iHeight, int iTextBottom, int iButtonsTop, int iGap, int* pTop);
