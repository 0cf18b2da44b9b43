// The fixed forty-second closing sequence: a background, a title and five
// pages rising along the right side, laid out for a 10 x 10 view. It owns
// the indexes of its seven pictures; the renderer owns the textures.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "image/kvTextureContainer.h"

namespace Korvell {

class kvClock;
class kvDataFile;
class kvRenderer;

class kvCredits {
public:
    kvCredits(kvRenderer& renderer, kvClock& clock);
    // How long they last: a second's hold, then the pages.
    static constexpr double kSeconds = 40.0;

    // Loads the seven pictures (0 for one that fails: drawn plain).
    void loadCredits();
    // Their names: back, title, then the five pages.
    static const std::vector<std::string>& pictureNames();
    // Whether any of them is there, in the archive when one is open (as
    // loadCredits reads them), else on the disk. With none, the forty
    // seconds would be plain white: a show without them has no credits.
    static bool anyPicture(const kvDataFile& archive);
    // One frame at the clock's time; past 40 s draws nothing and is over.
    void drawCredits();
    bool isOver() const { return over; }

    kvTextureIndex getBack() const { return back; }
    kvTextureIndex getTitle() const { return title; }
    kvTextureIndex getPage(int i) const { return pages[i]; }

private:
    kvRenderer& renderer;
    kvClock& clock;
    kvTextureIndex back;
    kvTextureIndex title;
    kvTextureIndex pages[5] = {};
    bool over;
};

// The credits from their first frame to their last, live or rendered:
// made and their pictures loaded, then handed to `frames` as the scene to
// draw a frame at a time (true while it is not over).
void runCredits(kvRenderer& renderer, kvClock& clock,
                const std::function<void(const std::function<bool()>& scene)>& frames);

} // namespace Korvell
