// The display modes of the primary display, behind a small seam: the
// program asks SDL, tests hand in a list of their own (Xvfb has one mode).
#pragma once

#include <vector>

namespace Korvell {

struct kvDisplayMode {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    int refreshRate = 0;
};

class kvDisplayModes {
public:
    virtual ~kvDisplayModes() {}
    // Mode number index of the primary display; false past the last one.
    virtual bool getMode(int index, kvDisplayMode& mode) = 0;
    // Whether the display could switch to the mode, without switching.
    virtual bool testMode(const kvDisplayMode& mode) = 0;
};

// Ascending by width, then height, then depth, then rate: the order in
// which the Windows display driver enumerates, and on which the setup
// dialog's preselection (the last mode up to 1024 x 768) relies. SDL lists
// the largest first.
void sortModesAscending(std::vector<kvDisplayMode>& modes);

// The real display, through SDL, in ascending order.
class kvSDLDisplayModes : public kvDisplayModes {
public:
    bool getMode(int index, kvDisplayMode& mode) override;
    bool testMode(const kvDisplayMode& mode) override;
};

} // namespace Korvell
