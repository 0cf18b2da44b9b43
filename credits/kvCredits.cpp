// Credits: loaded once after the show, drawn from the clock every frame.
#include "credits/kvCredits.h"

#include <algorithm>
#include <cmath>

#include "app/kvBaseApp.h"
#include "app/kvMessages.h"
#include "app/kvTimer.h"
#include "render/kvRenderer.h"

namespace Korvell {

int g_creditsBack = 0;
int g_creditsTitle = 0;
int g_creditsPages[5] = {0, 0, 0, 0, 0};

void loadCredits(kvBaseApp* app)
{
    kvRenderer* r = app ? app->getRenderer() : nullptr;
    if (!r) return;
    g_creditsBack = r->loadTexture("credits\\back.jpg", 1);
    g_creditsTitle = r->loadTexture("credits\\title.jpg", 1);
    static const char* const pages[5] = {"credits\\cr1.jpg", "credits\\cr2.jpg", "credits\\cr3.jpg",
                                         "credits\\cr4.jpg", "credits\\cr5.jpg"};
    for (int i = 0; i < 5; ++i) g_creditsPages[i] = r->loadTexture(pages[i], 1);
}

void drawCredits(kvBaseApp* app)
{
    kvRenderer* r = app ? app->getRenderer() : nullptr;
    if (!r) return;
    const float t = app->getTimer()->elapsed();
    // The first second is a hold.
    const float c = t - 1.0f > 0.0f ? t - 1.0f : 0.0f;
    if (c >= 39.0f) {
        postQuitMessage(0);
        return;
    }
    r->bindTexture(g_creditsBack);
    r->setColorRGB(vector3(1.0f, 1.0f, 1.0f));
    r->drawQuad(vector2(0.0f, 0.0f), vector2(10.0f, 10.0f));
    r->bindTexture(g_creditsTitle);
    r->drawQuad(vector2(6.8f, 1.5f), vector2(9.3f, 3.0f));

    const float s = c * 0.5f;
    const float base = 8.5f - s;
    for (int i = 0; i < 5; ++i) {
        // The fifth page takes the sixth slot: it comes ten seconds after
        // the fourth instead of five.
        const int k = i < 4 ? i : 5;
        const float y = base + 2.5f * static_cast<float>(k);
        const float d = std::max(0.0f, s - 2.5f * static_cast<float>(k));
        const float alpha = std::min(1.0f, 5.0f * std::sin(d / 1.8f));
        r->bindTexture(g_creditsPages[i]);
        r->setColorRGBA(vector4(1.0f, 1.0f, 1.0f, alpha));
        r->drawQuad(vector2(6.8f, y), vector2(9.3f, y + 1.5f));
    }
    r->bindTexture(0);
}

} // namespace Korvell
