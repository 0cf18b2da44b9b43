// What a slide should keep in frame, found in the picture itself: the
// faces in it (every one, so a group stays whole), each taken with its
// head and hair; or, without a face, its busiest region (the most detail
// in a third of its width and height). Run by the decoding worker on a
// reduced grey copy, so the frame never pays for it.
#pragma once

#include "math/kvRegion.h"

namespace Korvell {

class kvTexture;

struct kvPictureFocus {
    kvRegion region; // in fractions of the picture as shown
    int faces = 0;   // how many faces it holds (0: the busiest region)
};

// The longest side of the copy the finder looks at.
const int kFocusSide = 800;

kvPictureFocus findFocus(const kvTexture& picture);

} // namespace Korvell
