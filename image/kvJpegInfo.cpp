// One walk over the marker segments serves both questions.
#include "image/kvJpegInfo.h"

namespace Korvell {

namespace {

struct Walk {
    bool sound = false;
    bool frame = false;
    int width = 0;
    int height = 0;
};

bool isFrameMarker(uint8_t m) { return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC; }

Walk walk(const uint8_t* data, size_t size)
{
    Walk w;
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return w;
    bool scan = false;
    size_t pos = 2;
    while (pos + 1 < size) {
        if (data[pos] != 0xFF) {
            if (!scan) return w; // stray bytes before the first scan
            ++pos;               // entropy-coded data
            continue;
        }
        const uint8_t marker = data[pos + 1];
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (marker == 0x00 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            if (!scan) return w; // stuffing and restarts belong inside scans
            pos += 2;
            continue;
        }
        if (marker == 0xD9) break; // end of image
        if (marker == 0xD8 || pos + 4 > size) return w;
        const size_t length = (static_cast<size_t>(data[pos + 2]) << 8) | data[pos + 3];
        if (length < 2 || pos + 2 + length > size) return w;
        if (isFrameMarker(marker)) {
            if (length < 7) return w;
            const int h = (data[pos + 5] << 8) | data[pos + 6];
            const int wd = (data[pos + 7] << 8) | data[pos + 8];
            if (h > w.height) w.height = h;
            if (wd > w.width) w.width = wd;
            w.frame = true;
        }
        if (marker == 0xDA) {
            if (!w.frame) return w;
            scan = true;
        }
        pos += 2 + length;
    }
    w.sound = w.frame && scan;
    return w;
}

} // namespace

bool jpegDimensions(const uint8_t* data, size_t size, int* width, int* height)
{
    Walk w = walk(data, size);
    if (!w.frame) return false;
    *width = w.width;
    *height = w.height;
    return true;
}

bool jpegSegmentsSound(const uint8_t* data, size_t size) { return walk(data, size).sound; }

} // namespace Korvell
