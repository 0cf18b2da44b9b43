// The fixed forty-second closing sequence: a background, a title and five
// pages rising along the right side, laid out for a 10 x 10 view.
#pragma once

namespace Korvell {

class kvBaseApp;

extern int g_creditsBack;
extern int g_creditsTitle;
extern int g_creditsPages[5];

void loadCredits(kvBaseApp* app);
void drawCredits(kvBaseApp* app);

} // namespace Korvell
