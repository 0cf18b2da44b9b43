// Credits: loaded once after the show, drawn from the clock every frame.
#include "credits/kvCredits.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>

#include "base/kvFiles.h"
#include "image/kvDataFile.h"
#include "player/kvClock.h"
#include "render/kvRenderer.h"

namespace Korvell {

kvCredits::kvCredits(kvRenderer& renderer_, kvClock& clock_)
    : renderer(renderer_), clock(clock_), over(false)
{
}

const std::vector<std::string>& kvCredits::pictureNames()
{
    static const std::vector<std::string> names = {"credits\\back.jpg", "credits\\title.jpg", "credits\\cr1.jpg",
                                                   "credits\\cr2.jpg", "credits\\cr3.jpg",   "credits\\cr4.jpg",
                                                   "credits\\cr5.jpg"};
    return names;
}

bool kvCredits::anyPicture(const kvDataFile& archive)
{
    for (const std::string& name : pictureNames()) {
        if (archive.isOpen()) {
            if (archive.hasEntry(name)) return true;
            continue;
        }
        struct stat st;
        if (stat(diskPath(name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) return true;
    }
    return false;
}

void kvCredits::loadCredits()
{
    const std::vector<std::string>& names = pictureNames();
    back = renderer.loadTexture(names[0], 1);
    title = renderer.loadTexture(names[1], 1);
    for (int i = 0; i < 5; ++i) pages[i] = renderer.loadTexture(names[static_cast<size_t>(i) + 2], 1);
}

void kvCredits::drawCredits()
{
    kvRenderer* r = &renderer;
    const float t = clock.elapsed();
    // The first second is a hold.
    const float c = t - 1.0f > 0.0f ? t - 1.0f : 0.0f;
    over = c >= 39.0f;
    if (over) return;
    r->bindTexture(back);
    r->setColorRGB(vector3(1.0f, 1.0f, 1.0f));
    r->drawQuad(vector2(0.0f, 0.0f), vector2(10.0f, 10.0f));
    r->bindTexture(title);
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
        r->bindTexture(pages[i]);
        r->setColorRGBA(vector4(1.0f, 1.0f, 1.0f, alpha));
        r->drawQuad(vector2(6.8f, y), vector2(9.3f, y + 1.5f));
    }
    r->bindTexture(kvTextureIndex());
}

void runCredits(kvRenderer& renderer, kvClock& clock,
                const std::function<void(const std::function<bool()>& scene)>& frames)
{
    kvCredits credits(renderer, clock);
    credits.loadCredits();
    frames([&credits]() {
        credits.drawCredits();
        return !credits.isOver();
    });
}

} // namespace Korvell
